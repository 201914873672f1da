// What the content service writes, the conduit reads back exactly: record
// commands for any database name the catalogue accepts, read by the
// conduit's own envelope and attribute readers.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <stdexcept>
#include <string>

#include "catalogue_commands.h"
#include "engine/envelope.h"
#include "engine/tarvo_conduit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const uint32_t id = (data[0] | data[1] << 8 | data[2] << 16) & 0xFFFFFF;
  const uint32_t card = data[3];
  const std::size_t nameSize = std::min<std::size_t>(data[4] % 32, size - 5);
  const std::string db(reinterpret_cast<const char*>(data + 5), nameSize);
  const std::string record(reinterpret_cast<const char*>(data + 5 + nameSize), size - 5 - nameSize);
  // The catalogue refuses these in a database name.
  if (db.empty() || db.find_first_of(std::string("\"<>\0", 4)) != std::string::npos) return 0;

  std::string put, del;
  try {
    put = tarvo::server::commands::rput(db, card, id, record);
    del = tarvo::server::commands::rdel(db, card, id);
  } catch (const std::invalid_argument&) {
    std::abort();  // every such name must be writable
  }
  std::deque<std::string> commands;
  tarvo::engine::ReadEnvelopeCommands(tarvo::server::commands::envelope({put, del}), commands);
  if (commands.size() != 2) std::abort();
  const std::string encoded = tarvo::server::commands::full_url_encode(record);
  for (const std::string& cmd : commands) {
    if (CTarvoConduit::GetAttribute(cmd, "db", "") != db) std::abort();
    if (CTarvoConduit::GetAttribute(cmd, "cardno", "") != std::to_string(card)) std::abort();
    if (CTarvoConduit::GetAttribute(cmd, "id", "") != std::to_string(id)) std::abort();
  }
  if (CTarvoConduit::GetAttribute(commands[0], "data", "") != encoded) std::abort();
  return 0;
}
