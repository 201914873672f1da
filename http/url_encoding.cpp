#include "http/url_encoding.h"

#include <cstring>

namespace {

bool IsUnreserved(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string FullURLEncode(const void* data, int32_t length) {
  if (!data || length < 0) return {};
  const size_t count = length == 0 ? std::strlen(static_cast<const char*>(data)) : static_cast<size_t>(length);
  std::string out;
  AppendURLEncoded(out, data, count);
  return out;
}

void AppendURLEncoded(std::string& out, const void* data, size_t count) {
  if (!data || count == 0) return;
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t encoded = count;
  for (size_t i = 0; i < count; ++i) encoded += IsUnreserved(bytes[i]) ? 0 : 2;
  const size_t start = out.size();
  out.resize(start + encoded);
  char* to = out.data() + start;
  static constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < count; ++i) {
    const unsigned char b = bytes[i];
    if (IsUnreserved(b)) {
      *to++ = static_cast<char>(b);
    } else {
      to[0] = '%';
      to[1] = kHex[b >> 4];
      to[2] = kHex[b & 0x0F];
      to += 3;
    }
  }
}

int32_t FullURLEdcode(const std::string& source, unsigned char* dest, int32_t capacity) {
  if (!dest || capacity <= 0) return 0;
  size_t i = 0;
  int32_t n = 0;
  while (n < capacity && i < source.size()) {
    unsigned char c = static_cast<unsigned char>(source[i]);
    if (c == '%') {
      // Both digits must be there; a text ending after "%" or "%h" is malformed.
      int high = i + 1 < source.size() ? HexValue(static_cast<unsigned char>(source[i + 1])) : -1;
      int low = i + 2 < source.size() ? HexValue(static_cast<unsigned char>(source[i + 2])) : -1;
      if (high < 0 || low < 0) return 0;
      dest[n] = static_cast<unsigned char>(high * 16 + low);
      i += 3;
    } else {
      dest[n] = c;
      i += 1;
    }
    ++n;
  }
  return n;
}
