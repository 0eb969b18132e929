// The pure side keeps its texts as UTF-8 std::string; widgets take QString.
#pragma once

#include <QString>
#include <string>

inline QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }
