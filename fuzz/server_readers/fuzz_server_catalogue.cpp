// The content service's catalogue reader: any catalogue.json is a catalogue
// or one CatalogueError; nothing else may come out of it.
#include <cstdint>
#include <string_view>

#include "catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tarvo::server::parse_catalogue(std::string_view(reinterpret_cast<const char*>(data), size), "/nonexistent");
  } catch (const tarvo::server::CatalogueError&) {
  }
  return 0;
}
