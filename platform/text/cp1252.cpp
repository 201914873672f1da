#include "text/cp1252.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

// Length of the well-formed UTF-8 sequence at text[pos], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t pos) {
  auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = at(pos);
  size_t avail = text.size() - pos;
  auto cont = [&](size_t i) { return i < avail && (at(pos + i) & 0xC0) == 0x80; };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return cont(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    unsigned char b1 = at(pos + 1);
    if (lead == 0xE0 && b1 < 0xA0) return 0;   // overlong
    if (lead == 0xED && b1 >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    unsigned char b1 = at(pos + 1);
    if (lead == 0xF0 && b1 < 0x90) return 0;   // overlong
    if (lead == 0xF4 && b1 >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can; returns the number of input bytes consumed.
  // Stops at the first byte sequence iconv refuses.
  size_t Run(std::string_view in, std::string& out) {
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t r = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<size_t>(outPtr - buffer));
      if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
    }
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    return in.size() - inLeft;
  }

 private:
  iconv_t m_cd;
};

}  // namespace

namespace tarvo {

// iconv refuses these bytes; they are converted by hand below.
bool IsUndefinedCp1252(unsigned char byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  Converter conv("UTF-8", "WINDOWS-1252");
  size_t pos = 0;
  while (pos < text.size()) {
    size_t used = conv.ok() ? conv.Run(text.substr(pos), out) : 0;
    pos += used;
    if (pos >= text.size()) break;
    unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (IsUndefinedCp1252(b) || !conv.ok()) {
      // U+0080..U+00FF as two UTF-8 bytes (also the fallback if iconv is missing).
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    } else {
      out.push_back('?');
    }
    ++pos;
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  Converter conv("WINDOWS-1252", "UTF-8");
  size_t pos = 0;
  while (pos < text.size()) {
    // iconv would stop at a malformed sequence anyway; check ourselves so an
    // overlong or surrogate form never slips through.
    size_t end = pos;
    while (end < text.size()) {
      size_t n = Utf8SequenceLength(text, end);
      if (n == 0) break;
      end += n;
    }
    if (end > pos) {
      std::string_view chunk = text.substr(pos, end - pos);
      size_t used = conv.ok() ? conv.Run(chunk, out) : 0;
      pos += used;
      if (pos < end) {
        // A well-formed character iconv cannot place in Windows-1252.
        size_t n = Utf8SequenceLength(text, pos);
        unsigned code = 0;
        if (n == 2) {
          code = ((static_cast<unsigned char>(text[pos]) & 0x1F) << 6) |
                 (static_cast<unsigned char>(text[pos + 1]) & 0x3F);
        }
        if (n == 1) {
          out.push_back(text[pos]);  // only without iconv
        } else if (code >= 0x80 && code <= 0xFF &&
                   (IsUndefinedCp1252(static_cast<unsigned char>(code)) || !conv.ok())) {
          out.push_back(static_cast<char>(code));
        } else {
          out.push_back('?');
        }
        pos += n;
      }
      continue;
    }
    out.push_back('?');  // malformed byte
    ++pos;
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    size_t n = Utf8SequenceLength(text, pos);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

}  // namespace tarvo
