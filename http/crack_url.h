// Splitting an absolute URL into the parts the HTTP client keeps.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct CrackedUrl {
  std::string scheme;      // lower case; empty for a scheme not in the known list
  std::string host;        // as written (an IPv6 literal keeps its brackets); may be empty
  unsigned port = 0;       // given or the scheme's default; 0 when neither
  std::string objectName;  // path and query, unsafe characters escaped, no fragment
};

// Parses "scheme://[user[:password]@]host[:port][/path][?query][#fragment]".
// User and password are dropped. Spaces, control bytes, bytes of 128 and
// above and the characters " < > \ ^ ` { | } in path and query become %XX
// escapes; an existing escape is left alone. Returns nothing when the text
// is not such a URL: no "://", a bad scheme name, a host with characters a
// host cannot have, or a port that is not a number up to 65535.
std::optional<CrackedUrl> CrackUrl(std::string_view url);
