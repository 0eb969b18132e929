// A page of the main window's tab control: a child dialog that the main
// window creates on the tab control from the page's template. The page
// object exists, without a window of its own, from the main window's
// construction on; a page constructor must not reach the main window.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class DriverLink;

// Saves every parameter block before the tool changes the driver, then
// says whether to go on.
class BackupService {
 public:
  virtual ~BackupService() = default;
  // `then` runs on the user-interface thread once the backup is saved (true)
  // or has failed and the operator has decided.
  virtual void BackUpThen(QWidget* parent, std::function<void(bool proceed)> then) = 0;
};

// What a page works on: the main window's one link and its current slave
// address, read at the moment of each action, and the backups (none: a
// page on its own backs up nothing).
struct PageContext {
  DriverLink* link = nullptr;
  const uint8_t* address = nullptr;
  BackupService* backup = nullptr;
};

class CTabPage : public QDialog {
 public:
  explicit CTabPage(int templateId);

  // Given by the main window before it creates the page.
  void SetContext(const PageContext& context) { context_ = context; }

  // Creates the page as a hidden child of `parent` and builds its controls.
  // Fails, creating nothing, when `templateId` is not this page's template
  // or the page exists already.
  bool Create(int templateId, QWidget* parent);
  bool IsCreated() const { return created_; }
  int TemplateId() const { return templateId_; }

  // The main window is going away and its link is still open: a page ends
  // whatever it runs in the background here, before the link goes.
  virtual void OnDestroy() {}

 protected:
  // Builds the page's controls once it is a child of the tab control.
  virtual bool OnInitDialog() { return true; }
  // Enter and Esc belong to the main window, not to a page.
  void keyPressEvent(QKeyEvent* event) override;

  const PageContext& Context() const { return context_; }

 private:
  const int templateId_;
  bool created_ = false;
  PageContext context_;
};
