#include "settings/server_address.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tarvo::settings {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

}  // namespace

std::string ServerAddressProblem(std::string_view address) {
  if (address.empty()) return "the address is empty";
  for (const char c : address) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return "the address holds a space or a control character";
  }
  std::string_view rest;
  if (StartsWithNoCase(address, "http://")) {
    rest = address.substr(7);
  } else if (StartsWithNoCase(address, "https://")) {
    rest = address.substr(8);
  } else {
    const size_t colon = address.find("://");
    if (colon != std::string_view::npos && colon > 0)
      return std::string(address.substr(0, colon)) + ":// is not for sync servers: use http:// or https://";
    return "the address must start with http:// or https://, e.g. http://" + std::string(address);
  }
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority;
  std::string_view port;
  if (authority.starts_with('[')) {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return "the address has an unclosed [ in its host";
    host = authority.substr(0, close + 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') return "the address has text after its host's ]";
      port = authority.substr(close + 2);
      if (port.empty()) return "the address has a colon but no port number";
    }
    if (host.size() == 2) return "the address has no host";
  } else if (const size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    if (port.empty()) return "the address has a colon but no port number";
  }
  if (host.empty()) return "the address has no host after its scheme";
  if (!port.empty()) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
      return "the port " + std::string(port) + " is not a number from 1 to 65535";
  }
  return {};
}

}  // namespace tarvo::settings
