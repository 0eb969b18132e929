#include "testplan/Pattern.h"

#include "lang/Texts.h"

namespace testplan {
namespace {

bool Printable(char c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

std::optional<Pattern> Pattern::Parse(std::string_view text, std::string& refusal) {
  const auto refuse = [&refusal](const char* why) {
    refusal = lang::Tr(why);
    return std::nullopt;
  };
  if (text.empty()) return refuse("模式为空");
  if (text.size() > MaxPatternLength) {
    refusal = lang::Fill(lang::Tr("模式超过 {1} 个字符"), {std::to_string(MaxPatternLength)});
    return std::nullopt;
  }
  for (const char c : text) {
    if (!Printable(c)) return refuse("模式只能含可打印的 ASCII 字符");
  }
  Pattern pattern;
  pattern.text_ = std::string(text);
  for (size_t i = 0; i < text.size(); ++i) {
    Token token;
    const char c = text[i];
    if (c == '*') {
      token.kind = Kind::AnyRun;
    } else if (c == '?') {
      token.kind = Kind::AnyOne;
    } else if (c == '\\') {
      if (++i == text.size()) return refuse("模式以 \\ 结尾");
      token.character = text[i];
    } else if (c == '[') {
      token.kind = Kind::Set;
      size_t j = i + 1;
      const bool negated = j < text.size() && text[j] == '!';
      if (negated) ++j;
      std::bitset<128> set;
      bool closed = false;
      while (j < text.size()) {
        char first = text[j];
        if (first == ']') {
          closed = true;
          break;
        }
        if (first == '\\' && ++j == text.size()) break;
        first = text[j];
        char last = first;
        if (j + 2 < text.size() && text[j + 1] == '-' && text[j + 2] != ']') {
          j += 2;
          if (text[j] == '\\' && ++j == text.size()) break;
          last = text[j];
          if (last < first) return refuse("模式中的范围颠倒 (如 [z-a])");
        }
        for (int x = first; x <= last; ++x) set.set(static_cast<size_t>(x));
        ++j;
      }
      if (!closed) return refuse("模式中的 [ 没有对应的 ]");
      if (set.none()) return refuse("模式中有空的字符集 []");
      token.set = negated ? ~set : set;
      i = j;
    } else {
      token.character = c;
    }
    pattern.tokens_.push_back(token);
  }
  return pattern;
}

std::string Pattern::Escaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '*' || c == '?' || c == '[' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

bool Pattern::Takes(const Token& token, char c) const {
  switch (token.kind) {
    case Kind::Character:
      return token.character == c;
    case Kind::AnyOne:
      return true;
    case Kind::Set:
      return static_cast<unsigned char>(c) < 128 && token.set.test(static_cast<unsigned char>(c));
    case Kind::AnyRun:
      break;
  }
  return false;
}

// The last '*' is the only point to go back to: each text character is
// tried against each token at most once per '*', so a hostile pattern
// costs no more than length by length.
bool Pattern::Matches(std::string_view text) const {
  size_t t = 0;
  size_t p = 0;
  size_t starToken = tokens_.size();
  size_t starText = 0;
  while (t < text.size()) {
    if (p < tokens_.size() && tokens_[p].kind == Kind::AnyRun) {
      starToken = p++;
      starText = t;
    } else if (p < tokens_.size() && Takes(tokens_[p], text[t])) {
      ++p;
      ++t;
    } else if (starToken < tokens_.size()) {
      p = starToken + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (p < tokens_.size() && tokens_[p].kind == Kind::AnyRun) ++p;
  return p == tokens_.size();
}

size_t Pattern::ShortestMatch() const {
  size_t count = 0;
  for (const Token& token : tokens_) count += token.kind == Kind::AnyRun ? 0 : 1;
  return count;
}

bool Pattern::Literal() const {
  for (const Token& token : tokens_) {
    if (token.kind != Kind::Character) return false;
  }
  return true;
}

}  // namespace testplan
