// Where a station's records go: mqtt://[user[:password]@]host[:port], or
// mqtts:// for TLS checked against the system's CA certificates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace publish {

struct BrokerUrl {
  bool tls = false;
  std::string user;      // empty: no login
  std::string password;  // never shown
  std::string host;
  uint16_t port = 0;     // 1883, or 8883 with TLS, when the URL names none

  // The URL without the password, for messages.
  std::string Shown() const;
};

struct ParsedUrl {
  std::optional<BrokerUrl> url;
  std::string refusal;  // why not, when url is empty; names no password
};

// User and password may carry %XX for characters a URL cannot hold;
// an IPv6 address goes in brackets.
ParsedUrl ParseBrokerUrl(const std::string& text);

}  // namespace publish
