// Arbitrary answer pages through the envelope reader, then every command
// through the command word and attribute readers.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "engine/envelope.h"
#include "engine/tarvo_conduit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  std::deque<std::string> commands;
  tarvo::engine::ReadEnvelopeCommands(page, commands);
  for (const std::string& cmd : commands) {
    const std::string word = CTarvoConduit::GetCommandId(cmd);
    if (word.size() > cmd.size()) __builtin_trap();
    for (const char* name : {"id", "url", "db", "", "ID"}) {
      const std::string value = CTarvoConduit::GetAttribute(cmd, name, "\x01");
      if (value != "\x01" && value.size() > cmd.size()) __builtin_trap();
    }
  }
  // The attribute reader also sees raw text when a handler is given one.
  CTarvoConduit::GetAttribute(page, "id", "");
  return 0;
}
