// A field's value as one text, the way the parameter file and the command
// line carry it: an edit's text as the page shows it, a list's item text (the
// extra item of a value no item has, "" for no selection), "是" or "否" for a
// switch, in the language in use. Taking a text back follows the page's
// entry rules, so a text the page would refuse is refused with the page's
// message; an item or a switch is taken in either language, so that a file
// written in one loads in the other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fields/Param.h"
#include "lang/Language.h"

namespace fields {

inline constexpr const char* YesText = "是";
inline constexpr const char* NoText = "否";

// The text of the field's value in `record`, in the language in use or in
// the one asked for.
std::string EntryText(const ParamSpec& field, const uint8_t* record);
std::string EntryText(const ParamSpec& field, const uint8_t* record, lang::Language language);
// Whether `text` is the text of the value in `record` in either language.
bool ShowsValue(const ParamSpec& field, std::string_view text, const uint8_t* record);

// Takes `text` into `record`, which holds the words it goes onto: a list's
// "" (no selection) and its extra item keep the word, a switch also takes
// "1" and "0". Items and switches are taken in Chinese or English. Empty on success, else the message that names the field and
// says what it accepts; the record is then unchanged.
std::string TakeEntryText(const ParamSpec& field, std::string_view text, uint8_t* record);

}  // namespace fields
