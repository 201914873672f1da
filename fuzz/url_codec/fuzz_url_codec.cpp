// Record data from servers through the decoder, and every decoded record
// back through the encoder: decoding never writes past its buffer, and what
// the encoder makes decodes to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "http/url_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::string source(reinterpret_cast<const char*>(data), size);

  // A buffer exactly as long as the text, as the record command allocates it.
  std::vector<unsigned char> decoded(source.size());
  const int32_t n = FullURLEdcode(source, decoded.data(), static_cast<int32_t>(decoded.size()));
  if (n < 0 || static_cast<size_t>(n) > decoded.size()) __builtin_trap();

  // A smaller capacity stops the decoder at the capacity.
  if (!decoded.empty()) {
    std::vector<unsigned char> small(decoded.size() / 2);
    if (FullURLEdcode(source, small.data(), static_cast<int32_t>(small.size())) > static_cast<int32_t>(small.size()))
      __builtin_trap();
  }

  // Encoding the raw input and decoding it gives the input back.
  if (size > 0) {
    const std::string encoded = FullURLEncode(data, static_cast<int32_t>(size));
    std::vector<unsigned char> back(encoded.size());
    const int32_t m = FullURLEdcode(encoded, back.data(), static_cast<int32_t>(back.size()));
    if (m != static_cast<int32_t>(size) || std::memcmp(back.data(), data, size) != 0) __builtin_trap();
  }
  return 0;
}
