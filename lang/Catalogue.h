// A compiled message catalogue (msgfmt's .mo file): the translation of each
// source text. Read once and kept; lookups hand out views into it.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace lang {

class Catalogue {
public:
  // Empty on success, else what is wrong with the file: a source text, for
  // the caller to translate where it shows it.
  std::string Load(const std::string& path);
  // Takes the bytes of a .mo file.
  std::string Parse(std::string bytes);

  // The translation of `source`, or nullptr when the catalogue has none.
  // Points into the catalogue, NUL-terminated.
  const char* Find(std::string_view source) const;
  size_t Size() const { return m_texts.size(); }

private:
  std::string m_bytes;
  std::unordered_map<std::string_view, const char*> m_texts;
};

}  // namespace lang
