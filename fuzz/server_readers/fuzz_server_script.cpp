// The sync server's script reader: any text is a script or one ScriptError;
// nothing else may come out of it.
#include <cstdint>
#include <string_view>

#include "script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tarvo::server::parse_script(std::string_view(reinterpret_cast<const char*>(data), size), "/nonexistent");
  } catch (const tarvo::server::ScriptError&) {
  }
  return 0;
}
