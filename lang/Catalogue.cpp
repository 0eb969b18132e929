#include "lang/Catalogue.h"

#include <cstdint>
#include <cstring>

#include <fstream>
#include <iterator>

namespace lang {
namespace {

constexpr uint32_t kMagic = 0x950412de;
constexpr uint32_t kSwappedMagic = 0xde120495;
// Far above what the tool's texts take in any language.
constexpr size_t kLimit = 16u << 20;

uint32_t Swap(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

}  // namespace

std::string Catalogue::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "无法打开";
  std::string bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (bytes.size() > kLimit) return "文件过大";
  }
  if (in.bad()) return "无法读取";
  return Parse(std::move(bytes));
}

std::string Catalogue::Parse(std::string bytes) {
  m_texts.clear();
  m_bytes = std::move(bytes);
  const std::string_view all(m_bytes);
  bool swapped = false;
  auto word = [&](size_t at, uint32_t& out) {
    if (at > all.size() || all.size() - at < 4) return false;
    std::memcpy(&out, all.data() + at, 4);
    if (swapped) out = Swap(out);
    return true;
  };
  uint32_t magic = 0, revision = 0, count = 0, originals = 0, translations = 0;
  if (!word(0, magic) || (magic != kMagic && magic != kSwappedMagic)) return "不是消息目录文件";
  swapped = magic == kSwappedMagic;
  word(4, revision);
  if (!word(8, count) || !word(12, originals) || !word(16, translations) || (revision >> 16) != 0)
    return "消息目录文件的版本不支持";
  // One entry: a length and an offset; the text must end in a NUL inside the file.
  auto text = [&](size_t table, uint32_t index, std::string_view& out) {
    uint32_t length = 0, offset = 0;
    if (!word(table + size_t{index} * 8, length) || !word(table + size_t{index} * 8 + 4, offset)) return false;
    if (offset > all.size() || all.size() - offset <= length || all[offset + length] != '\0') return false;
    out = all.substr(offset, length);
    return true;
  };
  for (uint32_t i = 0; i < count; ++i) {
    std::string_view source, translation;
    if (!text(originals, i, source) || !text(translations, i, translation)) {
      m_texts.clear();
      return "消息目录文件已损坏";
    }
    // A plural entry holds its forms NUL-separated; the first is the singular.
    source = source.substr(0, source.find('\0'));
    if (source.empty() || translation.empty()) continue;  // the header, or untranslated
    m_texts.emplace(source, translation.data());
  }
  return {};
}

const char* Catalogue::Find(std::string_view source) const {
  const auto it = m_texts.find(source);
  return it == m_texts.end() ? nullptr : it->second;
}

}  // namespace lang
