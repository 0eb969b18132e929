#include "paramfile/Document.h"

#include <ctime>
#include <optional>
#include <vector>

#include "fields/PrintableText.h"
#include "fields/TimeText.h"
#include "lang/Texts.h"
#include "paramfile/LocalTime.h"
#include "paramfile/StrictJson.h"
#include "base/WholeFile.h"

namespace paramfile {
namespace {

using json = FileJson;

// Deeper than any parameter file nests (document, blocks, block, fields,
// field): the loader stops keeping values below it.
constexpr int kMaxDepth = 8;

std::string NotAFile(std::string_view why) { return lang::Fill(lang::Tr("不是参数文件: {1}"), {why}); }

json BlockJson(const fields::ParamBlock& block, const Words& words) {
  json list = json::array();
  for (const FieldText& field : TextsOf(block, words)) {
    list.push_back({{"key", field.key}, {"name", field.name}, {"text", field.text}, {"unit", field.unit}});
  }
  return {{"start", block.spec->start}, {"words", words}, {"fields", list}};
}

// The text of `document[key]`, or `fallback` when it has none.
std::string StringOr(const json& document, const char* key, const std::string& fallback) {
  const auto found = document.find(key);
  return found != document.end() && found->is_string() ? found->get<std::string>() : fallback;
}

int IntegerOr(const json& document, const char* key, int fallback) {
  const auto found = document.find(key);
  if (found == document.end() || !found->is_number_integer()) return fallback;
  const int64_t value = found->get<int64_t>();
  return value >= 0 && value <= 1000000 ? static_cast<int>(value) : fallback;
}

// The header's informative parts; the loader does not depend on them.
Header HeaderOf(const json& document) {
  Header header;
  header.saved = StringOr(document, "saved", "");
  device::Origin& origin = header.origin;
  origin.tool = StringOr(document, "tool", "");
  if (const auto line = document.find("line"); line != document.end() && line->is_object()) {
    origin.line.port = StringOr(*line, "port", origin.line.port);
    origin.line.baud = IntegerOr(*line, "baud", origin.line.baud);
    const std::string parity = StringOr(*line, "parity", std::string(ParityName(origin.line.parity)));
    origin.line.parity = ParityFromName(parity).value_or(origin.line.parity);
  }
  origin.address = IntegerOr(document, "address", origin.address);
  return header;
}

std::string TakeWords(const fields::ParamBlock& block, const json& list, Words& words) {
  const uint16_t count = block.spec->count;
  // Worded only when refused: a good block is the common case.
  const auto refusal = [&] {
    return lang::Fill(lang::Tr("{1}: words 应为 {2} 个 0 到 65535 之间的整数"),
                      {lang::Tr(block.title), std::to_string(count)});
  };
  if (!list.is_array() || list.size() != count) return refusal();
  for (const json& word : list) {
    if (!word.is_number_integer()) return refusal();
    // Unsigned and signed integers alike; a float is no register word.
    const bool fits = word.is_number_unsigned() ? word.get<uint64_t>() <= 0xFFFF
                                                : word.get<int64_t>() >= 0 && word.get<int64_t>() <= 0xFFFF;
    if (!fits) return refusal();
    words.push_back(static_cast<uint16_t>(word.get<uint64_t>()));
  }
  return {};
}

std::string TakeFields(const fields::ParamBlock& block, const json& list, std::vector<TextEntry>& texts) {
  const std::string title = lang::Tr(block.title);
  if (!list.is_array()) return lang::Fill(lang::Tr("{1}: fields 应为一个列表"), {title});
  for (size_t i = 0; i < list.size(); ++i) {
    const json& field = list[i];
    const auto refusal = [&] {
      return lang::Fill(lang::Tr("{1}: 第 {2} 个字段应有文本 key (或 name) 和 text"), {title, std::to_string(i + 1)});
    };
    if (!field.is_object()) return refusal();
    const auto key = field.find("key");
    const auto name = field.find("name");
    const auto text = field.find("text");
    if (text == field.end() || !text->is_string()) return refusal();
    if (key != field.end() && key->is_string()) {
      texts.push_back({key->get<std::string>(), text->get<std::string>()});
    } else if (key == field.end() && name != field.end() && name->is_string()) {
      texts.push_back({name->get<std::string>(), text->get<std::string>()});
    } else {
      return refusal();
    }
  }
  return {};
}

std::string TakeBlock(const fields::ParamBlock& block, const json& value, FileBlock& taken) {
  const std::string title = lang::Tr(block.title);
  if (!value.is_object()) return lang::Fill(lang::Tr("{1}: 参数块应为一个对象"), {title});
  if (const auto start = value.find("start"); start != value.end()) {
    if (!start->is_number_integer() || start->get<int64_t>() != block.spec->start) {
      return lang::Fill(lang::Tr("{1}: start 应为 {2}"), {title, std::to_string(block.spec->start)});
    }
  }
  if (const auto words = value.find("words"); words != value.end()) {
    Words read;
    if (std::string refusal = TakeWords(block, *words, read); !refusal.empty()) return refusal;
    taken.words = std::move(read);
  }
  if (const auto list = value.find("fields"); list != value.end()) {
    if (std::string refusal = TakeFields(block, *list, taken.texts); !refusal.empty()) return refusal;
  }
  return {};
}

Loaded Refuse(std::string refusal) { return {std::nullopt, std::move(refusal)}; }

}  // namespace

Header HeaderNow(const device::Origin& origin) {
  return {fields::IsoTime(int64_t{std::time(nullptr)} * 1'000'000, 0), origin};
}

json Document(const Header& header, const Identity* device, const BlockWords& blocks) {
  json document = {
      {"format", FormatName},
      {"version", FormatVersion},
      {"saved", header.saved},
      {"tool", header.origin.tool},
      {"line", {{"port", header.origin.line.port}, {"baud", header.origin.line.baud},
                {"parity", ParityName(header.origin.line.parity)}}},
      {"address", header.origin.address},
  };
  if (device != nullptr) document["device"] = device::IdentityJson(*device);
  json list = json::object();
  for (size_t i = 0; i < blocks.size() && i < BlockCount(); ++i) {
    if (!blocks[i].empty()) list[BlockAt(i).key] = BlockJson(BlockAt(i), blocks[i]);
  }
  document["blocks"] = list;
  return document;
}

std::string DocumentText(const json& document) {
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Loaded ParseParamFile(std::string_view bytes) {
  if (bytes.size() > MaxFileBytes) return Refuse(NotAFile(lang::Tr("超过 1 MB")));
  const StrictJson parsed = ParseStrictJson(bytes, kMaxDepth);
  switch (parsed.fault) {
    case JsonFault::None:
      break;
    case JsonFault::Syntax:
      return Refuse(NotAFile(lang::Fill(lang::Tr("JSON 有误 (第 {1} 字节)"), {std::to_string(parsed.byte)})));
    case JsonFault::NumberRange:
      return Refuse(NotAFile(lang::Tr("JSON 有误 (数值超出范围)")));
    case JsonFault::TooDeep:
      return Refuse(NotAFile(lang::Tr("嵌套过深")));
    case JsonFault::DuplicateKey:
      return Refuse(lang::Fill(lang::Tr("参数文件中的键 \"{1}\" 出现了两次"),
                               {fields::PrintableCut(parsed.key, fields::MaxQuotedKey)}));
  }
  const json& document = parsed.document;
  if (!document.is_object() || StringOr(document, "format", "") != FormatName) {
    return Refuse(NotAFile(lang::Fill(lang::Tr("没有 \"format\": \"{1}\""), {FormatName})));
  }
  const auto version = document.find("version");
  if (version == document.end() || !version->is_number_integer() || version->get<int64_t>() != FormatVersion) {
    const std::string which = version == document.end() ? std::string(lang::Tr("(无)")) : version->dump();
    return Refuse(lang::Fill(lang::Tr("参数文件的版本 {1} 不受支持, 本工具读取版本 {2}"),
                             {fields::PrintableCut(which, 40), std::to_string(FormatVersion)}));
  }
  ParamFile file;
  file.header = HeaderOf(document);
  if (const auto device = document.find("device"); device != document.end() && !device->is_null()) {
    Identity identity;
    if (std::string refusal = device::TakeIdentity(*device, identity); !refusal.empty()) return Refuse(refusal);
    file.device = std::move(identity);
  }
  const auto blocks = document.find("blocks");
  if (blocks == document.end() || !blocks->is_object()) return Refuse(lang::Tr("参数文件没有参数块 (\"blocks\")"));
  // In the file's order of blocks, whatever order the document has them in.
  for (const auto& [key, value] : blocks->items()) {
    if (!BlockIndex(key)) {
      return Refuse(lang::Fill(lang::Tr("参数文件有未知的参数块 \"{1}\""),
                               {fields::PrintableCut(key, fields::MaxQuotedKey)}));
    }
  }
  for (size_t i = 0; i < BlockCount(); ++i) {
    const auto value = blocks->find(BlockAt(i).key);
    if (value == blocks->end()) continue;
    FileBlock block;
    block.block = i;
    if (std::string refusal = TakeBlock(BlockAt(i), *value, block); !refusal.empty()) return Refuse(refusal);
    file.blocks.push_back(std::move(block));
  }
  return {std::move(file), {}};
}

Loaded LoadParamFile(const std::string& path) {
  std::string bytes;
  if (std::string refusal = base::ReadWholeFile(path, MaxFileBytes, bytes); !refusal.empty()) return Refuse(refusal);
  Loaded loaded = ParseParamFile(bytes);
  if (!loaded.file) loaded.refusal = path + ": " + loaded.refusal;
  return loaded;
}

}  // namespace paramfile
