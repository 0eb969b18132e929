#include "fields/EntryText.h"

#include <vector>

#include "fields/FieldCodec.h"
#include "fields/ItemList.h"
#include "lang/Texts.h"

namespace fields {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// What a list offers for `record`: its items, and the extra item of a value
// read that none of them has.
std::string ChoiceMessage(const ParamSpec& field, const FieldValue& shown) {
  std::string items;
  for (const ListItem& item : field.items) AppendItem(items, lang::Tr(item.text));
  if (!shown.extraItem.empty()) AppendItem(items, shown.extraItem);
  return lang::Fill(lang::Tr("{1}: 请选择 {2} 之一"), {FieldName(field), items});
}

// A text of the tool's (a list item, 是, 否) as either language writes it.
bool IsText(std::string_view wanted, const char* chinese) {
  return wanted == chinese || wanted == lang::In(lang::Language::English, chinese);
}

// The control's value that the text stands for, or the refusal.
std::string ValueOf(const ParamSpec& field, std::string_view text, const uint8_t* record, FieldValue& value) {
  switch (field.value) {
    case ValueKind::Number:
      value.text = std::string(text);
      return {};
    case ValueKind::Choice: {
      const std::string_view wanted = Trimmed(text);
      const FieldValue shown = FormatField(field, record);
      if (wanted.empty()) return {};
      for (size_t i = 0; i < field.items.size(); ++i) {
        if (IsText(wanted, field.items[i].text)) {
          value.index = static_cast<int>(i);
          return {};
        }
      }
      if (!shown.extraItem.empty() && wanted == shown.extraItem) {
        value = shown;
        return {};
      }
      return ChoiceMessage(field, shown);
    }
    case ValueKind::Flag: {
      const std::string_view wanted = Trimmed(text);
      if (IsText(wanted, YesText) || wanted == "1") {
        value.index = 1;
      } else if (IsText(wanted, NoText) || wanted == "0") {
        value.index = 0;
      } else {
        return lang::Fill(lang::Tr("{1}: 请输入 {2} 或 {3}"), {FieldName(field), lang::Tr(YesText), lang::Tr(NoText)});
      }
      return {};
    }
  }
  return {};
}

}  // namespace

std::string EntryText(const ParamSpec& field, const uint8_t* record) {
  return EntryText(field, record, lang::InUse());
}

std::string EntryText(const ParamSpec& field, const uint8_t* record, lang::Language language) {
  const FieldValue value = FormatField(field, record);
  switch (field.value) {
    case ValueKind::Number:
      return value.text;
    case ValueKind::Choice:
      if (value.index >= 0 && static_cast<size_t>(value.index) < field.items.size()) {
        return std::string(lang::In(language, field.items[static_cast<size_t>(value.index)].text));
      }
      return value.extraItem;
    case ValueKind::Flag:
      return std::string(lang::In(language, value.index != 0 ? YesText : NoText));
  }
  return {};
}

bool ShowsValue(const ParamSpec& field, std::string_view text, const uint8_t* record) {
  return text == EntryText(field, record, lang::Language::Chinese) ||
         text == EntryText(field, record, lang::Language::English);
}

std::string TakeEntryText(const ParamSpec& field, std::string_view text, uint8_t* record) {
  FieldValue value;
  std::string refusal = ValueOf(field, text, record, value);
  if (!refusal.empty()) return refusal;
  // ParseField leaves the record alone when it refuses.
  return ParseField(field, value, record);
}

}  // namespace fields
