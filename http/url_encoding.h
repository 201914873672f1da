// Percent-encoding of bytes placed into form bodies, and its inverse for
// record data that servers send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Letters and digits stay; every other byte becomes "%" and two lower-case
// hex digits. length 0 means: up to the first NUL. A negative length or a
// null pointer gives an empty text.
std::string FullURLEncode(const void* data, int32_t length);

// The same encoding of exactly `count` bytes, appended to `out`, which grows
// once by the encoded size.
void AppendURLEncoded(std::string& out, const void* data, std::size_t count);

// Decodes "%hh" escapes into dest (a '+' stays a '+'); stops at capacity.
// Returns the number of bytes written, or 0 on a malformed escape (the bytes
// written before it stay in dest) and for an empty source. A destination as
// large as the source is always enough.
int32_t FullURLEdcode(const std::string& source, unsigned char* dest, int32_t capacity);
