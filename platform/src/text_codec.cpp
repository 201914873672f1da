#include "text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace hotsync::detail {
namespace {

// Converts with glibc iconv; an unconvertible input sequence is replaced by
// `replacement` and skipped (one byte, or one UTF-8 character).
std::string convert(std::string_view text, const char* to, const char* from, std::string_view replacement,
                    bool fromUtf8) {
  std::string out;
  if (text.empty()) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
  std::string input(text);
  char* in = input.data();
  size_t inLeft = input.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace the offending sequence and go on.
    out.append(replacement);
    size_t skip = 1;
    if (fromUtf8) {
      const auto lead = static_cast<unsigned char>(*in);
      skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (skip > inLeft) skip = inLeft;
    }
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string cp1252ToUtf8(std::string_view text) {
  return convert(text, "UTF-8", "WINDOWS-1252", "\xEF\xBF\xBD", false);
}

std::string utf8ToCp1252(std::string_view text) { return convert(text, "WINDOWS-1252", "UTF-8", "?", true); }

}  // namespace hotsync::detail
