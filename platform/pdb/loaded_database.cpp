// An unchanged database goes back to disk as the very bytes it came from:
// other tools' files keep their padding, name tails and block order.
#include "pdb/pdb.h"

namespace pdb {

std::vector<uint8_t> LoadedDatabase::image() const {
  try {
    if (parse(original) == db) return original;
  } catch (const FormatError&) {
    // `original` was never a valid image (or was replaced): write `db` fresh.
  }
  return serialize(db);
}

}  // namespace pdb
