// Keys of a terminal in raw mode, as the login prompt understands them.
// Bytes may arrive split anywhere (a UTF-8 character or an escape sequence
// across two reads); the decoder keeps what it has not finished.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo::term {

enum class KeyKind {
  kText,  // one character, `text` holds its UTF-8 bytes
  kEnter,
  kTab,
  kBackspace,
  kClear,   // Ctrl-U: empty the field
  kCancel,  // Escape, Ctrl-C, Ctrl-D
};

struct Key {
  KeyKind kind;
  std::string text;
  bool operator==(const Key&) const = default;
};

class KeyDecoder {
 public:
  // Keys completed by `bytes`. Escape sequences (arrows, function keys) and
  // other control characters are dropped; a lone Escape at the end of a
  // read is the Escape key.
  std::vector<Key> Feed(std::string_view bytes);

 private:
  enum class State { kNormal, kEscape, kCsi, kSs3 };
  State m_state = State::kNormal;
  std::string m_partial;  // an unfinished UTF-8 character
  int m_missing = 0;      // continuation bytes it still needs
};

}  // namespace tarvo::term
