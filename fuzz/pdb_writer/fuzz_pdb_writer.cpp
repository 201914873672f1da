// The writer first: a database built from arbitrary bytes (not one the
// reader produced) is written, read back identical, and written again to
// the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pdb/pdb.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  uint8_t byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  uint32_t u32() { return static_cast<uint32_t>(byte()) << 24 | byte() << 16 | byte() << 8 | byte(); }
  std::vector<uint8_t> block() {
    const std::size_t length = std::min<std::size_t>(byte() | static_cast<std::size_t>(byte()) << 8, size);
    std::vector<uint8_t> out(data, data + length);
    data += length;
    size -= length;
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  pdb::Database db;
  for (uint8_t c = in.byte(); c != 0 && db.name.size() < 31; c = in.byte()) db.name.push_back(static_cast<char>(c));
  db.attributes = static_cast<uint16_t>(in.byte() << 8 | in.byte());
  db.version = static_cast<uint16_t>(in.byte());
  db.creationDate = in.u32();
  db.modificationDate = in.u32();
  db.modificationNumber = in.u32();
  db.type = in.u32();
  db.creator = in.u32();
  db.uniqueIdSeed = in.u32();
  if (in.byte() & 1) db.appInfo = in.block();
  if (in.byte() & 1) db.sortInfo = in.block();
  const unsigned count = in.byte();
  for (unsigned i = 0; i < count && in.size > 0; ++i) {
    if (db.isResourceDb()) {
      const uint32_t type = in.u32();
      const auto id = static_cast<uint16_t>(in.byte() << 8 | in.byte());
      db.resources.push_back(pdb::Resource{type, id, in.block()});
    } else {
      const uint8_t attributes = in.byte();
      const uint32_t id = in.u32() & pdb::kMaxUniqueId;
      db.records.push_back(pdb::Record{attributes, id, in.block()});
    }
  }
  std::vector<uint8_t> image;
  try {
    image = pdb::serialize(db);
  } catch (const std::exception&) {
    return 0;  // the writer may refuse what cannot be written
  }
  if (!(pdb::parse(image) == db)) std::abort();
  if (pdb::serialize(pdb::parse(image)) != image) std::abort();
  return 0;
}
