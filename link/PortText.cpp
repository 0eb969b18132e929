#include "link/PortText.h"

#include <string_view>

namespace {

struct Scheme {
  std::string_view prefix;
  PortKind kind;
  bool portRequired;
};

constexpr Scheme kSchemes[] = {
    {"tcp://", PortKind::Tcp, true},
    {"rfc2217://", PortKind::Rfc2217, true},
    {"modbus-tcp://", PortKind::ModbusTcp, false},
};

const Scheme* SchemeOf(const std::string& text) {
  for (const Scheme& scheme : kSchemes) {
    if (text.size() >= scheme.prefix.size() && std::string_view(text).substr(0, scheme.prefix.size()) == scheme.prefix) {
      return &scheme;
    }
  }
  return nullptr;
}

std::optional<uint16_t> PortNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 5 || digits[0] == '0') return std::nullopt;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

bool HostCharacters(std::string_view host, bool bracketed) {
  if (host.empty() || host.size() > 253) return false;
  for (char c : host) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_';
    if (!plain && !(bracketed && (c == ':' || c == '%'))) return false;
  }
  return true;
}

}  // namespace

PortKind KindOfPort(const std::string& text) {
  const Scheme* scheme = SchemeOf(text);
  return scheme != nullptr ? scheme->kind : PortKind::Serial;
}

std::optional<NetworkAddress> ParseNetworkPort(const std::string& text) {
  const Scheme* scheme = SchemeOf(text);
  if (scheme == nullptr) return std::nullopt;
  std::string_view rest = std::string_view(text).substr(scheme->prefix.size());
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  NetworkAddress address{scheme->kind, {}, kModbusTcpPort};
  std::string_view host;
  std::string_view port;
  bool bracketed = false;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = rest.substr(1, close - 1);
    bracketed = true;
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return std::nullopt;
      port = after.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else {
    const size_t colon = rest.find(':');
    host = rest.substr(0, colon);
    if (colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
      if (port.empty()) return std::nullopt;
    }
  }
  if (!HostCharacters(host, bracketed)) return std::nullopt;
  if (port.empty()) {
    if (scheme->portRequired) return std::nullopt;
  } else {
    const std::optional<uint16_t> number = PortNumber(port);
    if (!number) return std::nullopt;
    address.port = *number;
  }
  address.host = std::string(host);
  return address;
}

std::string HostAndPort(const NetworkAddress& address) {
  const bool v6 = address.host.find(':') != std::string::npos;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

bool PortSetsLine(PortKind kind) { return kind == PortKind::Serial || kind == PortKind::Rfc2217; }
