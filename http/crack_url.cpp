#include "http/crack_url.h"

#include <array>
#include <cctype>

namespace {

struct KnownScheme {
  std::string_view name;
  unsigned defaultPort;
};

// The schemes the URL splitter has always recognised, with their ports.
constexpr std::array<KnownScheme, 14> kKnownSchemes{{
    {"http", 80},
    {"https", 443},
    {"ftp", 21},
    {"gopher", 70},
    {"file", 0},
    {"mailto", 0},
    {"mid", 0},
    {"cid", 0},
    {"news", 119},
    {"nntp", 119},
    {"prospero", 1525},
    {"telnet", 23},
    {"wais", 210},
    {"afs", 0},
}};

bool IsSchemeChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

bool IsHostChar(char c) {
  if (std::isalnum(static_cast<unsigned char>(c))) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '%':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
      return true;
    default:
      return false;
  }
}

bool NeedsEscape(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return true;
  switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return true;
    default:
      return false;
  }
}

std::string Escape(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  return out;
}

bool ValidHost(std::string_view host) {
  if (host.empty()) return true;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (char c : host) {
    if (!IsHostChar(c)) return false;
  }
  return true;
}

}  // namespace

std::optional<CrackedUrl> CrackUrl(std::string_view url) {
  const size_t sep = url.find("://");
  if (sep == std::string_view::npos || sep == 0) return std::nullopt;
  const std::string_view schemeText = url.substr(0, sep);
  if (!std::isalpha(static_cast<unsigned char>(schemeText.front()))) return std::nullopt;
  for (char c : schemeText) {
    if (!IsSchemeChar(c)) return std::nullopt;
  }

  CrackedUrl out;
  std::string lower;
  for (char c : schemeText) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& known : kKnownSchemes) {
    if (known.name == lower) {
      out.scheme = lower;
      out.port = known.defaultPort;
    }
  }

  std::string_view rest = url.substr(sep + 3);
  // A fragment never goes on the wire.
  if (const size_t hash = rest.find('#'); hash != std::string_view::npos) rest = rest.substr(0, hash);

  const size_t authorityEnd = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, authorityEnd);
  const std::string_view object =
      authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);

  // Credentials written into the URL are never kept.
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);

  std::string_view host = authority;
  std::string_view portText;
  const bool bracketed = !authority.empty() && authority.front() == '[';
  size_t colon = std::string_view::npos;
  if (!bracketed) {
    colon = authority.find(':');
  } else if (const size_t close = authority.find(']'); close != std::string_view::npos) {
    colon = authority.find(':', close);
  }
  if (colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    portText = authority.substr(colon + 1);
  }
  if (!ValidHost(host)) return std::nullopt;
  if (!portText.empty()) {
    if (portText.size() > 5) return std::nullopt;
    unsigned port = 0;
    for (char c : portText) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
      port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port > 65535) return std::nullopt;
    out.port = port;
  }
  out.host = std::string(host);
  out.objectName = Escape(object);
  return out;
}
