// Windows-1252 (handheld and conduit text) <-> UTF-8 (files, logs, screen).
#pragma once

#include <string>
#include <string_view>

namespace hotsync::detail {

// Bytes with no character in Windows-1252 become U+FFFD.
std::string cp1252ToUtf8(std::string_view text);
// Characters Windows-1252 lacks become '?'.
std::string utf8ToCp1252(std::string_view text);

}  // namespace hotsync::detail
