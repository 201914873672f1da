// Journal replay at connect: whatever a journal holds, the replayed database
// is still one the writer can write and the reader read back, and a
// resource database never gains records.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "folder/journal.h"
#include "folder/record_ops.h"
#include "pdb/pdb.h"

namespace {

pdb::Database startingDatabase(bool resources) {
  pdb::Database db;
  db.name = "Fuzz";
  db.type = pdb::fourCC("DATA");
  db.creator = pdb::fourCC("Tarv");
  if (resources) {
    db.attributes = pdb::kAttrResourceDb;
    db.resources.push_back(pdb::Resource{pdb::fourCC("code"), 1, {1, 2, 3}});
  } else {
    db.records.push_back(pdb::Record{pdb::kRecDirty, 5, {'a'}});
    db.records.push_back(pdb::Record{0, 6, {}});
    db.uniqueIdSeed = 7;
  }
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool resources = (data[0] & 1) != 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  // The bytes once as a journal file (frames behind checksums)...
  (void)hotsync::detail::parseJournal(rest);
  // ...and once as frames that passed their checksums: 2-byte length, payload.
  std::vector<std::string> frames;
  for (std::size_t at = 0; at + 2 <= rest.size();) {
    const std::size_t length =
        static_cast<uint8_t>(rest[at]) | static_cast<std::size_t>(static_cast<uint8_t>(rest[at + 1])) << 8;
    at += 2;
    frames.push_back(rest.substr(at, length));
    at += std::min(length, rest.size() - at);
  }
  hotsync::detail::DbState state(startingDatabase(resources));
  hotsync::detail::replayFrames(state, frames);
  if (state.db.isResourceDb() != resources || (resources && !state.db.records.empty())) std::abort();
  // No try: a replayed database the writer refuses would brick the handheld.
  const std::vector<uint8_t> image = pdb::serialize(state.db);
  if (!(pdb::parse(image) == state.db)) std::abort();
  return 0;
}
