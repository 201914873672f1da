#include "ui/term/login_keys.h"

namespace tarvo::term {

std::vector<Key> KeyDecoder::Feed(std::string_view bytes) {
  std::vector<Key> keys;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    switch (m_state) {
      case State::kEscape:
        m_state = byte == '[' ? State::kCsi : byte == 'O' ? State::kSs3 : State::kNormal;
        continue;  // Alt+key and the sequence introducers are not input
      case State::kCsi:
        if (byte >= 0x40 && byte <= 0x7E) m_state = State::kNormal;
        continue;
      case State::kSs3:
        m_state = State::kNormal;
        continue;
      case State::kNormal:
        break;
    }
    if (m_missing > 0) {
      if ((byte & 0xC0) == 0x80) {
        m_partial.push_back(static_cast<char>(byte));
        if (--m_missing == 0) {
          keys.push_back({KeyKind::kText, m_partial});
          m_partial.clear();
        }
        continue;
      }
      m_partial.clear();  // a broken character is dropped; this byte starts afresh
      m_missing = 0;
    }
    if (byte == 0x1B) {
      if (i + 1 == bytes.size()) {
        keys.push_back({KeyKind::kCancel, {}});
      } else {
        m_state = State::kEscape;
      }
    } else if (byte == '\r' || byte == '\n') {
      keys.push_back({KeyKind::kEnter, {}});
    } else if (byte == '\t') {
      keys.push_back({KeyKind::kTab, {}});
    } else if (byte == 0x7F || byte == 0x08) {
      keys.push_back({KeyKind::kBackspace, {}});
    } else if (byte == 0x15) {
      keys.push_back({KeyKind::kClear, {}});
    } else if (byte == 0x03 || byte == 0x04) {
      keys.push_back({KeyKind::kCancel, {}});
    } else if (byte < 0x20) {
      // other control characters: nothing
    } else if (byte < 0x80) {
      keys.push_back({KeyKind::kText, std::string(1, static_cast<char>(byte))});
    } else if (byte >= 0xC2 && byte <= 0xF4) {
      m_partial.assign(1, static_cast<char>(byte));
      m_missing = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : 1;
    }
    // stray continuation bytes and invalid lead bytes: nothing
  }
  return keys;
}

}  // namespace tarvo::term
