#pragma once
// Wire text (Windows-1252 bytes) as UTF-8, for people to read: the admin
// command's lines and the status page.

#include <string>

namespace tarvo::server {

// Bytes Windows-1252 leaves undefined come out as '?'.
std::string utf8_from_windows_1252(const std::string& bytes);

}  // namespace tarvo::server
