// The keys the conduit reads, with their kind and default, so the settings
// command can store a value the way the conduit will read it, warn about a
// key nobody reads, and show what applies when a key is not set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::settings {

struct KnownKey {
  const char* key;
  bool isInteger;
  const char* defaultValue;  // as shown; empty text for none
  int32_t min;               // integers: the values that make sense
  int32_t max;
};

// The keys read from `section`: "Comunicacao", the empty section, a HotSync
// user's name, or "<user>\<server URL>" (names match without regard to case).
std::vector<KnownKey> KeysOfSection(std::string_view section);
std::optional<KnownKey> FindKnownKey(std::string_view section, std::string_view key);

}  // namespace tarvo::settings
