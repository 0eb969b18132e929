// The pure side keeps its texts as UTF-8 std::string; widgets take QString.
// Texts are written in Chinese and shown in the language in use (lang/).
#pragma once

#include <QString>
#include <string>

#include "lang/Texts.h"

inline QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }

// `chinese` in the language in use.
inline QString Tr(const char* chinese) { return QString::fromUtf8(lang::Tr(chinese)); }
inline QString Tr(const std::string& chinese) { return ToQString(lang::Tr(chinese)); }
