// Windows-1252 <-> UTF-8, for the edges of the conduit (screen, terminal,
// file names, settings database, logs). Bodies of downloads never pass here.
#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Every byte has a character: the five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value, as
// Windows does, so the conversion back gives the same bytes.
std::string Cp1252ToUtf8(std::string_view text);

// A character Windows-1252 cannot hold, or a malformed UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1252(std::string_view text);

// True when the text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace tarvo
