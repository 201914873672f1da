#include "settings/password_scramble.h"

std::string UsrEncriptaSenha(std::string clear) {
  std::string out;
  out.reserve(clear.size() * 3);
  for (char c : clear) {
    unsigned value = static_cast<unsigned char>(c);
    out.push_back(static_cast<char>('0' + value / 100));
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
  }
  return out;
}

std::string UsrDesencriptaSenha(std::string scrambled) {
  std::string out;
  out.reserve(scrambled.size() / 3);
  for (size_t i = 0; i + 3 <= scrambled.size(); i += 3) {
    // Characters are not checked: any group gives a byte by the same formula.
    // Only the low 8 bits are kept, so reading the characters as unsigned
    // gives the same byte as reading them as signed would.
    int value = (static_cast<unsigned char>(scrambled[i]) - 48) * 100 +
                (static_cast<unsigned char>(scrambled[i + 1]) - 48) * 10 +
                (static_cast<unsigned char>(scrambled[i + 2]) - 48);
    out.push_back(static_cast<char>(static_cast<unsigned char>(value & 0xFF)));
  }
  return out;
}
