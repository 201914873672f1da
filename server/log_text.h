#pragma once
// Pieces of the service's log lines.

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::server {

// Now in UTC, to the millisecond: "2024-06-01T12:00:00.000Z".
std::string utc_time();
// A moment (Unix seconds) in UTC, laid out by strftime's `format`.
std::string utc_text(std::int64_t seconds, const char* format);

// A value for a log line as one word: "-" when empty; quoted, with
// control, non-ASCII, quote and backslash bytes as \xNN, when it holds any
// of them or a blank. A login or file name can never forge a field.
std::string log_field(std::string_view bytes);

}  // namespace tarvo::server
