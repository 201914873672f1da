// Arbitrary bytes: the reader refuses them or accepts them, and whatever it
// accepts our writer must write and the reader read back to the same thing.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pdb/pdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  pdb::Database db;
  try {
    db = pdb::parse(bytes);
  } catch (const pdb::FormatError&) {
    return 0;
  }
  // No try here: the writer refusing a database the reader accepted is a bug.
  const std::vector<uint8_t> image = pdb::serialize(db);
  if (!(pdb::parse(image) == db)) std::abort();
  if (pdb::serialize(pdb::parse(image)) != image) std::abort();

  const pdb::LoadedDatabase unchanged{db, bytes};
  if (unchanged.image() != bytes) std::abort();
  return 0;
}
