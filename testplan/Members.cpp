#include "testplan/Members.h"

#include <algorithm>
#include <cmath>

#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"

namespace testplan {
namespace {

using lang::Fill;
using lang::Tr;

std::string Quoted(std::string_view key) { return "\"" + fields::PrintableCut(key, fields::MaxQuotedKey) + "\""; }

bool HasControl(const std::string& text, bool multiline) {
  return std::any_of(text.begin(), text.end(), [multiline](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && !(multiline && c == '\n')) || byte == 0x7F;
  });
}

}  // namespace

const Json* Members::Find(const char* key) {
  asked_.emplace_back(key);
  const auto found = object_.find(key);
  return found != object_.end() ? &*found : nullptr;
}

std::string Members::Refuse(std::string_view what) const {
  return where_.empty() ? std::string(what) : Fill(Tr("{1}: {2}"), {where_, what});
}

std::string Members::Refuse(const char* key, std::string_view what) const {
  return Refuse(Fill(Tr("{1}: {2}"), {Quoted(key), what}));
}

std::string Members::Text(const char* key, std::string& out, size_t maxBytes, bool multiline) {
  const Json* value = Find(key);
  if (value == nullptr) return Refuse(key, Tr("缺少"));
  if (!value->is_string() || value->get_ref<const std::string&>().empty()) return Refuse(key, Tr("应为非空的文本"));
  const std::string& text = value->get_ref<const std::string&>();
  if (text.size() > maxBytes) return Refuse(key, Fill(Tr("超过 {1} 个字节"), {std::to_string(maxBytes)}));
  if (HasControl(text, multiline)) return Refuse(key, Tr("含有控制字符"));
  out = text;
  return {};
}

std::string Members::Number(const char* key, std::optional<double>& out) {
  const Json* value = Find(key);
  out.reset();
  if (value == nullptr) return {};
  if (!value->is_number() || !std::isfinite(value->get<double>())) return Refuse(key, Tr("应为数值"));
  out = value->get<double>();
  return {};
}

std::string Members::Seconds(const char* key, Milliseconds& out, bool zeroAllowed,
                             std::optional<Milliseconds> fallback) {
  std::optional<double> seconds;
  if (std::string refusal = Number(key, seconds); !refusal.empty()) return refusal;
  if (!seconds) {
    if (!fallback) return Refuse(key, Tr("缺少 (秒数)"));
    out = *fallback;
    return {};
  }
  const auto ms = static_cast<int64_t>(std::llround(std::clamp(*seconds, -1.0, MaxSeconds + 1) * 1000));
  const int64_t lowest = zeroAllowed ? 0 : 1;
  if (ms < lowest || ms > static_cast<int64_t>(MaxSeconds * 1000)) {
    return Refuse(key, Fill(Tr(zeroAllowed ? "应为 0 到 {1} 秒" : "应大于 0 秒, 最多 {1} 秒"),
                            {fields::CFormat("%.0f", MaxSeconds)}));
  }
  out = Milliseconds(ms);
  return {};
}

std::string Members::Choice(const char* key, std::span<const Named> names, uint16_t& out,
                            std::optional<uint16_t> fallback) {
  const Json* value = Find(key);
  if (value == nullptr) {
    if (!fallback) return Refuse(key, Fill(Tr("缺少 (应为 {1})"), {KeysOf(names)}));
    out = *fallback;
    return {};
  }
  if (value->is_string()) {
    for (const Named& name : names) {
      if (value->get_ref<const std::string&>() == name.key) {
        out = name.value;
        return {};
      }
    }
  }
  return Refuse(key, Fill(Tr("应为 {1}"), {KeysOf(names)}));
}

std::string Members::Unasked() const {
  if (!object_.is_object()) return {};
  for (const auto& [key, value] : object_.items()) {
    if (std::find(asked_.begin(), asked_.end(), key) == asked_.end()) {
      return Refuse(Fill(Tr("未知的键 {1}"), {Quoted(key)}));
    }
  }
  return {};
}

std::string KeysOf(std::span<const Named> names) {
  std::string keys;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) keys += i + 1 == names.size() ? Tr(" 或 ") : ", ";
    keys += names[i].key;
  }
  return keys;
}

}  // namespace testplan
