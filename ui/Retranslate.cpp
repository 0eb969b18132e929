#include "ui/Retranslate.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QVariant>

#include "ui/Text.h"

namespace ui {
namespace {

// Dynamic properties that hold the Chinese sources.
constexpr const char* kText = "korveltSourceText";
constexpr const char* kToolTip = "korveltSourceToolTip";
constexpr const char* kAccessibleName = "korveltSourceAccessibleName";
constexpr const char* kWindowTitle = "korveltSourceWindowTitle";
constexpr const char* kItems = "korveltSourceItems";
constexpr const char* kTabs = "korveltSourceTabs";

QString Shown(const QVariant& source) { return Tr(source.toByteArray().toStdString()); }

void ApplyText(QObject* control, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* action = qobject_cast<QAction*>(control)) {
    action->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setPlaceholderText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(text);
  } else if (auto* menu = qobject_cast<QMenu*>(control)) {
    menu->setTitle(text);
  } else if (auto* widget = qobject_cast<QWidget*>(control)) {
    widget->setWindowTitle(text);
  }
}

void RetranslateOne(QObject* object) {
  if (QVariant source = object->property(kText); source.isValid()) ApplyText(object, Shown(source));
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return;
  if (QVariant source = widget->property(kToolTip); source.isValid()) widget->setToolTip(Shown(source));
  if (QVariant source = widget->property(kAccessibleName); source.isValid())
    widget->setAccessibleName(Shown(source));
  if (QVariant source = widget->property(kWindowTitle); source.isValid()) widget->setWindowTitle(Shown(source));
  if (auto* list = qobject_cast<QComboBox*>(widget)) {
    const QVariantList items = list->property(kItems).toList();
    for (int i = 0; i < items.size() && i < list->count(); ++i) list->setItemText(i, Shown(items[i]));
  }
  if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
    const QVariantList texts = tabs->property(kTabs).toList();
    for (int i = 0; i < texts.size() && i < tabs->count(); ++i) {
      if (!texts[i].toByteArray().isEmpty()) tabs->setTabText(i, Shown(texts[i]));
    }
  }
}

}  // namespace

void SetSourceText(QObject* control, const char* chinese) {
  control->setProperty(kText, QByteArray(chinese));
  ApplyText(control, Tr(chinese));
}

void SetSourceToolTip(QWidget* control, const char* chinese) {
  control->setProperty(kToolTip, QByteArray(chinese));
  control->setToolTip(Tr(chinese));
}

void SetSourceAccessibleName(QWidget* control, const char* chinese) {
  control->setProperty(kAccessibleName, QByteArray(chinese));
  control->setAccessibleName(Tr(chinese));
}

void SetSourceWindowTitle(QWidget* window, const char* chinese) {
  window->setProperty(kWindowTitle, QByteArray(chinese));
  window->setWindowTitle(Tr(chinese));
}

void SetSourceItems(QComboBox* list, const std::vector<const char*>& chinese) {
  QVariantList items;
  for (size_t i = 0; i < chinese.size(); ++i) {
    items.append(QByteArray(chinese[i]));
    if (static_cast<int>(i) < list->count()) {
      list->setItemText(static_cast<int>(i), Tr(chinese[i]));
    } else {
      list->addItem(Tr(chinese[i]));
    }
  }
  list->setProperty(kItems, items);
}

void SetSourceTabText(QTabWidget* tabs, int index, const char* chinese) {
  QVariantList texts = tabs->property(kTabs).toList();
  while (texts.size() <= index) texts.append(QByteArray());
  texts[index] = QByteArray(chinese);
  tabs->setProperty(kTabs, texts);
  tabs->setTabText(index, Tr(chinese));
}

void Retranslate(QObject* root) {
  RetranslateOne(root);
  for (QObject* child : root->findChildren<QObject*>()) RetranslateOne(child);
}

}  // namespace ui
