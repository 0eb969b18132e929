#include "TextFit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

namespace {

// The text as drawn: a mnemonic's '&' is not shown.
QString Shown(QString text) { return text.remove(QRegularExpression(QStringLiteral("&(?!&)"))); }

int Widest(const QFontMetrics& metrics, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, metrics.horizontalAdvance(line));
  return widest;
}

void Check(std::vector<CutText>& cuts, const QWidget* control, const QString& text, int has) {
  const QString shown = Shown(text);
  const int needs = Widest(control->fontMetrics(), shown);
  if (needs <= has) return;
  const QString name = control->objectName().isEmpty() ? QString() : QStringLiteral(" ") + control->objectName();
  cuts.push_back({QString::fromUtf8(control->metaObject()->className()) + name, shown, needs, has});
}

int ButtonRoom(const QAbstractButton* button, QStyle::SubElement contents) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  option.icon = button->icon();
  option.iconSize = button->iconSize();
  return button->style()->subElementRect(contents, &option, button).width();
}

int ComboRoom(const QComboBox* combo) {
  QStyleOptionComboBox option;
  option.initFrom(combo);
  option.editable = combo->isEditable();
  option.frame = combo->hasFrame();
  return combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
}

}  // namespace

std::vector<CutText> CutTexts(const QWidget* window) {
  std::vector<CutText> cuts;
  for (const QWidget* control : window->findChildren<QWidget*>()) {
    if (!control->isVisibleTo(window)) continue;
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
      if (label->text().isEmpty() || label->wordWrap()) continue;
      const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                        -label->margin());
      Check(cuts, label, label->text(), room.width());
      const int lines = static_cast<int>(label->text().count(QLatin1Char('\n'))) + 1;
      if (lines * label->fontMetrics().height() > room.height()) {
        cuts.push_back({QStringLiteral("QLabel (height)"), label->text(), lines * label->fontMetrics().height(),
                        room.height()});
      }
    } else if (const auto* check = qobject_cast<const QCheckBox*>(control)) {
      Check(cuts, check, check->text(), ButtonRoom(check, QStyle::SE_CheckBoxContents));
    } else if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
      Check(cuts, radio, radio->text(), ButtonRoom(radio, QStyle::SE_RadioButtonContents));
    } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
      Check(cuts, button, button->text(), ButtonRoom(button, QStyle::SE_PushButtonContents));
    } else if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
      // The closed list shows whichever item is chosen.
      const int room = ComboRoom(combo);
      for (int i = 0; i < combo->count(); ++i) Check(cuts, combo, combo->itemText(i), room);
    }
  }
  return cuts;
}

QString Describe(const std::vector<CutText>& cuts) {
  QString text;
  for (const CutText& cut : cuts) {
    text += QStringLiteral("%1 \"%2\" needs %3 px, has %4\n").arg(cut.control, cut.text).arg(cut.needs).arg(cut.has);
  }
  return text;
}
