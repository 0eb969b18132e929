// The texts the tool shows, in the language in use. A text is written in
// the code in Chinese, the tool's own language, and shown through Tr():
//
//   label->setText(Tr("额定电流:"));
//   Fill(Tr("{1}: 请输入 {2} 到 {3} 之间的数值"), {name, low, high});
//
// Tables keep their Chinese texts and are translated where they are shown,
// so one table serves every language. scripts/texts checks that every
// Chinese text of the sources has its translation in each po/CODE.po.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "lang/Language.h"

namespace lang {

// Switches every later Tr() to `language`. A language other than Chinese
// needs its catalogue: when it cannot be read the tool stays as it was and
// the message says why.
// Safe to call while other threads translate.
std::string Use(Language language);
Language InUse();

// `chinese` in the language in use: the catalogue's translation, or
// `chinese` itself (Chinese in use, or a text not translated yet).
const char* Tr(const char* chinese);
std::string_view Tr(std::string_view chinese);
inline std::string Tr(const std::string& chinese) { return std::string(Tr(std::string_view(chinese))); }
// `chinese` in `language`, whatever is in use: a loader accepts both.
std::string_view In(Language language, std::string_view chinese);

// `pattern` with {1} … {9} replaced by the values, in the order the
// language puts them; "{{" is a brace.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values);

// Where the compiled catalogues are: $KORVELT_LOCALEDIR, else share/locale
// beside the program's own folder (the build tree and an installed tree
// alike).
std::string CatalogueFolder();

}  // namespace lang
