// A page of the main window's tab control: a child dialog that the main
// window creates on the tab control from the page's template. The page
// object exists, without a window of its own, from the main window's
// construction on; a page constructor must not reach the main window.
#pragma once

#include <QDialog>

class CTabPage : public QDialog {
 public:
  explicit CTabPage(int templateId);

  // Creates the page as a hidden child of `parent` and builds its controls.
  // Fails, creating nothing, when `templateId` is not this page's template
  // or the page exists already.
  bool Create(int templateId, QWidget* parent);
  bool IsCreated() const { return created_; }
  int TemplateId() const { return templateId_; }

 protected:
  // Builds the page's controls once it is a child of the tab control.
  virtual bool OnInitDialog() { return true; }
  // Enter and Esc belong to the main window, not to a page.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const int templateId_;
  bool created_ = false;
};
