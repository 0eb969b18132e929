// A tab control in the manner of the dialog's: a row of tabs over a framed
// area in which the owner places and shows its pages itself. The pages are
// children of this control; the control only tells when the operator picks
// another tab.
#pragma once

#include <QWidget>
#include <vector>

class QTabBar;

class CTabCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CTabCtrl(QWidget* parent = nullptr);

  // Inserts a tab with `caption` at `index`; returns its index.
  int InsertItem(int index, const QString& caption);
  // A caption written in Chinese, shown in the language in use and again
  // after a switch.
  int InsertItem(int index, const char* chinese);
  // Sets those captions again in the language now in use; done on
  // QEvent::LanguageChange, and by a window that measures the tabs first.
  void RetranslateCaptions();
  int GetItemCount() const;
  // The selected tab, -1 when there is none.
  int GetCurSel() const;
  // Selects a tab without telling the owner, as a program's selection does.
  void SetCurSel(int index);
  // The whole control in its own coordinates; pages go inside it.
  QRect GetClientRect() const { return rect(); }
  QTabBar* TabBar() const { return bar_; }
  // Height of the row of tabs in this control's font and style, also before
  // the first tab exists.
  int TabHeight() const;

 signals:
  // The operator selected another tab.
  void SelChange();

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTabBar* bar_;
  bool programmatic_ = false;
  std::vector<const char*> m_sources;  // per tab; null for a caption without one
};
