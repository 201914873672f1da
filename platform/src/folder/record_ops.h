// A database held in memory during a HotSync, and the changes made to it.
// The same change list is applied live and when a journal is replayed, so
// both paths give the same database.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "pdb/pdb.h"

namespace hotsync::detail {

struct DbState {
  pdb::Database db;
  std::unordered_map<uint32_t, std::size_t> positions;  // record id -> index

  explicit DbState(pdb::Database database);
  void rebuildPositions();
  // An id no record holds, from the database's seed on; 0 when all are taken.
  uint32_t unusedId() const;
  std::size_t entryCount() const { return db.isResourceDb() ? db.resources.size() : db.records.size(); }
};

enum class OpKind : uint8_t {
  Write = 'W',       // id, attributes, data: replace the record or append it
  Delete = 'D',      // id: mark deleted, data dropped
  Purge = 'P',       // drop deleted records
  ResetFlags = 'R',  // date: clear dirty bits, set the backup date
  Stamp = 'S',       // date, number: modification date and number
  BackupDate = 'B',  // date: the backup date only; no modification stamp follows
};

struct Op {
  OpKind kind = OpKind::Write;
  uint32_t id = 0;
  uint8_t attributes = 0;
  uint32_t date = 0;
  uint32_t number = 0;
  std::vector<uint8_t> data;
};

void encodeOp(const Op& op, std::string* out);
// Decodes a whole change list; false when it is malformed.
bool decodeOps(const std::string& payload, std::vector<Op>* ops);
// Whether the op can apply to this database at all (no records in a
// resource database, ids and sizes in range); a journal frame holding one
// that cannot is refused whole.
bool opFits(const DbState& state, const Op& op);
// False when the op names a record that is not there (a no-op then).
bool applyOp(DbState& state, const Op& op);

struct ReplayResult {
  bool applied = false;     // some frame changed the database
  std::size_t refused = 0;  // frames refused whole
};
// Applies a journal's frames in order, each whole or (when one of its
// changes cannot apply) not at all; stops at a frame that does not decode.
ReplayResult replayFrames(DbState& state, const std::vector<std::string>& frames);

}  // namespace hotsync::detail
