#include "ui/TabCtrl.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <algorithm>

#include "ui/Text.h"

CTabCtrl::CTabCtrl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
  bar_->setDrawBase(false);
  bar_->setExpanding(false);
  bar_->setUsesScrollButtons(true);
  connect(bar_, &QTabBar::currentChanged, this, [this](int) {
    if (!programmatic_) emit SelChange();
  });
}

int CTabCtrl::InsertItem(int index, const QString& caption) {
  // The first tab becomes the current one by itself; that is no selection
  // by the operator.
  programmatic_ = true;
  const int inserted = bar_->insertTab(index, caption);
  programmatic_ = false;
  m_sources.insert(m_sources.begin() + std::clamp<qsizetype>(inserted, 0, std::ssize(m_sources)), nullptr);
  bar_->adjustSize();
  update();
  return inserted;
}

int CTabCtrl::InsertItem(int index, const char* chinese) {
  const int inserted = InsertItem(index, Tr(chinese));
  if (inserted >= 0 && static_cast<size_t>(inserted) < m_sources.size()) m_sources[static_cast<size_t>(inserted)] = chinese;
  return inserted;
}

void CTabCtrl::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::LanguageChange) RetranslateCaptions();
}

void CTabCtrl::RetranslateCaptions() {
  for (size_t i = 0; i < m_sources.size() && static_cast<int>(i) < bar_->count(); ++i) {
    if (m_sources[i] != nullptr) bar_->setTabText(static_cast<int>(i), Tr(m_sources[i]));
  }
  bar_->adjustSize();
  update();
}

int CTabCtrl::TabHeight() const {
  if (bar_->count() > 0) return bar_->sizeHint().height();
  QTabBar sample;
  sample.setFont(font());
  sample.setStyle(style());
  sample.addTab(QStringLiteral("X"));
  return sample.sizeHint().height();
}

int CTabCtrl::GetItemCount() const { return bar_->count(); }

int CTabCtrl::GetCurSel() const { return bar_->currentIndex(); }

void CTabCtrl::SetCurSel(int index) {
  programmatic_ = true;
  bar_->setCurrentIndex(index);
  programmatic_ = false;
}

void CTabCtrl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  bar_->setMaximumWidth(width());
  bar_->adjustSize();
}

void CTabCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
  frame.rect = rect().adjusted(0, bar_->height() - overlap, 0, 0);
  frame.shape = QTabBar::RoundedNorth;
  frame.tabBarSize = bar_->size();
  frame.tabBarRect = bar_->geometry();
  frame.selectedTabRect = bar_->tabRect(bar_->currentIndex());
  frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}
