// Password scrambling: any bytes scramble to digits and back unchanged, and
// unscrambling any text stays within its bounds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/password_scramble.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string scrambled = UsrEncriptaSenha(bytes);
  if (scrambled.size() != 3 * bytes.size()) std::abort();
  if (UsrDesencriptaSenha(scrambled) != bytes) std::abort();
  if (UsrDesencriptaSenha(bytes).size() != bytes.size() / 3) std::abort();
  return 0;
}
