// Small conversions the command handlers share: numbers and file names taken
// from attribute values, and the one-argument texts of the string table.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::engine {

// The leading decimal number of `text` after optional blanks and a sign, as
// a 32-bit integer; no digits give 0, and a number too large for 32 bits
// stops at the nearest limit instead of wrapping.
int32_t LeadingInt32(const std::string& text);

// Where a file downloaded from `url` is kept: the private temporary folder
// followed by the URL's last component (see FileNameFromPath), as UTF-8.
// Empty, meaning "save nothing", when there is no private folder or when the
// name is empty, "." or "..", or holds a '/' or a zero byte, so a server
// can never make the conduit write outside that folder.
std::string DownloadPath(const std::string& tempPath, const std::string& url);

// `format` with its first "%s" replaced by `value` (a string-table text such
// as "Transferindo %s"); a '%' inside `value` stays as it is.
std::string FillText(const std::string& format, const std::string& value);

}  // namespace tarvo::engine
