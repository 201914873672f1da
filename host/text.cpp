#include "host/text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace tarvo::host {
namespace {

// Converts with iconv; on a byte sequence the target cannot take, appends
// `replacement` and skips one input byte (or one UTF-8 character).
std::string convert(const char* to, const char* from, const std::string& text,
                    const std::string& replacement, bool fromUtf8) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  std::vector<char> buffer(64);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace the offending character.
    out += replacement;
    size_t skip = 1;
    if (fromUtf8) {
      while (skip < inLeft && skip < 4 && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    }
    in += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string cp1252ToUtf8(const std::string& text) {
  return convert("UTF-8", "WINDOWS-1252", text, "\xEF\xBF\xBD", false);
}

std::string utf8ToCp1252(const std::string& text) {
  return convert("WINDOWS-1252", "UTF-8", text, "?", true);
}

}  // namespace tarvo::host
