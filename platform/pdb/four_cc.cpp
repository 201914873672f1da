// Four-character codes.
#include "pdb/four_cc.h"

namespace pdb {

uint32_t fourCC(const char* text) {
  uint32_t code = 0;
  bool ended = text == nullptr;
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = ended ? 0 : static_cast<uint8_t>(text[i]);
    ended = ended || c == 0;
    code = (code << 8) | c;
  }
  return code;
}

std::string fourCCText(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((code >> shift) & 0xFF);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::string fourCCShown(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<uint8_t>(code >> shift);
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
  }
  return text;
}

}  // namespace pdb
