// The product's one Windows-1252 <-> UTF-8 codec. Handheld, conduit and wire
// text is Windows-1252; the screen, terminal, file names, settings database
// and logs are UTF-8. Bodies of downloads never pass here.
#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Every byte has a character, so nothing is lost on the way to UTF-8 and
// back: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the C1 controls of the same value, as Windows converts them.
// A user or database name holding one keeps its bytes through a file name,
// a settings row or a log line; U+FFFD would merge such names into one.
std::string Cp1252ToUtf8(std::string_view text);

// A character Windows-1252 cannot hold, or a malformed UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1252(std::string_view text);

// True when the text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// True for the five bytes without a printable character; displays show them
// as they show other control characters.
bool IsUndefinedCp1252(unsigned char byte);

}  // namespace tarvo
