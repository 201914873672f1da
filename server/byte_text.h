#pragma once
// Bytes carried in JSON text. JSON strings are Unicode, request and answer
// bodies are bytes (Windows-1252 on this wire), so each byte is written as
// the code point of the same number: lossless, and a reader sees \u00e9 for
// the byte 0xE9 and \u0000 for a zero byte.

#include <optional>
#include <string>
#include <string_view>

namespace tarvo::server {

// Each byte b becomes the UTF-8 form of code point b.
std::string bytes_to_json_text(std::string_view bytes);

// The inverse: every code point must be below 0x100 and the UTF-8 well formed.
std::optional<std::string> json_text_to_bytes(std::string_view utf8);

// Standard base64 (RFC 4648); whitespace is ignored, anything else invalid.
std::optional<std::string> base64_decode(std::string_view text);

}  // namespace tarvo::server
