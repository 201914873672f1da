// Text at the edge between the handheld (Windows-1252) and the terminal,
// file names and logs (UTF-8).
#pragma once

#include <string>

namespace tarvo::host {

// Bytes that Windows-1252 leaves undefined become U+FFFD.
std::string cp1252ToUtf8(const std::string& text);
// Characters Windows-1252 cannot hold become '?'; invalid UTF-8 too.
std::string utf8ToCp1252(const std::string& text);

}  // namespace tarvo::host
