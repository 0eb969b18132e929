#include "publish/BrokerUrl.h"

#include <cctype>
#include <charconv>

#include "lang/Texts.h"

namespace publish {
namespace {

using lang::Fill;
using lang::Tr;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX decoded; nothing when a '%' is not followed by two hex digits.
std::optional<std::string> Decoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]);
    const int low = high < 0 ? -1 : HexDigit(text[i + 2]);
    if (low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

bool HostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

ParsedUrl Refused(const std::string& why) { return {std::nullopt, Fill(Tr("代理地址无效: {1}"), {why})}; }

}  // namespace

std::string BrokerUrl::Shown() const {
  std::string text = tls ? "mqtts://" : "mqtt://";
  if (!user.empty()) text += user + "@";
  text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return text + ":" + std::to_string(port);
}

ParsedUrl ParseBrokerUrl(const std::string& text) {
  BrokerUrl url;
  std::string rest;
  if (text.rfind("mqtt://", 0) == 0) {
    rest = text.substr(7);
  } else if (text.rfind("mqtts://", 0) == 0) {
    url.tls = true;
    rest = text.substr(8);
  } else {
    return Refused(Tr("应以 mqtt:// 或 mqtts:// 开头"));
  }
  // The last '@' ends the login, so that a password may hold '/', '?', '#'
  // and even '@' (better written %40) without them being read as the host's.
  const size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    const std::string login = rest.substr(0, at);
    rest = rest.substr(at + 1);
    const size_t colon = login.find(':');
    const std::optional<std::string> user = Decoded(login.substr(0, colon));
    const std::optional<std::string> password =
        colon == std::string::npos ? std::optional<std::string>("") : Decoded(login.substr(colon + 1));
    if (!user || !password) return Refused(Tr("用户名或密码中的 % 后应有两位十六进制数"));
    if (user->empty()) return Refused(Tr("@ 前缺少用户名"));
    url.user = *user;
    url.password = *password;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.find_first_of("/?#") != std::string::npos) return Refused(Tr("主机后不能有路径"));
  std::string port;
  bool portGiven = false;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos) return Refused(Tr("IPv6 地址缺少 ]"));
    url.host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty() && after.front() != ':') return Refused(Tr("] 后应为 :端口"));
    portGiven = !after.empty();
    if (portGiven) port = after.substr(1);
    for (char c : url.host) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return Refused(Tr("IPv6 地址无效"));
    }
  } else {
    const size_t colon = rest.find(':');
    url.host = rest.substr(0, colon);
    portGiven = colon != std::string::npos;
    if (portGiven) port = rest.substr(colon + 1);
    for (char c : url.host) {
      if (!HostCharacter(c)) return Refused(Tr("主机名中有无效字符"));
    }
  }
  if (url.host.empty()) return Refused(Tr("缺少主机"));
  url.port = url.tls ? 8883 : 1883;
  if (portGiven) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) {
      return Refused(Tr("端口应为 1 到 65535"));
    }
    url.port = static_cast<uint16_t>(value);
  }
  return {url, {}};
}

}  // namespace publish
