#include "ui/DialogFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {

constexpr int DialogPointSize = 9;

QString ChooseFamily() {
  const QStringList installed = QFontDatabase::families();
  for (const char* preferred : {"宋体", "SimSun"}) {
    if (installed.contains(QString::fromUtf8(preferred), Qt::CaseInsensitive)) return QString::fromUtf8(preferred);
  }
  const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  for (const char* known : {"Noto Sans CJK SC", "WenQuanYi Micro Hei", "Noto Serif CJK SC", "AR PL UMing CN"}) {
    if (chinese.contains(QString::fromUtf8(known), Qt::CaseInsensitive)) return QString::fromUtf8(known);
  }
  for (const QString& family : chinese) {
    // Skip the monospaced variants; a proportional face reads better.
    if (!QFontDatabase::isFixedPitch(family)) return family;
  }
  return chinese.isEmpty() ? QString() : chinese.front();
}

}  // namespace

QFont DialogFont() {
  QFont font;
  const QString family = ChooseFamily();
  if (!family.isEmpty()) font.setFamilies({family});
  font.setPointSize(DialogPointSize);
  return font;
}

forms::DialogUnits DialogUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return forms::DialogUnits(forms::AverageCharWidth(letters), metrics.height());
}
