#include "folder/record_ops.h"

#include <algorithm>

namespace hotsync::detail {

DbState::DbState(pdb::Database database) : db(std::move(database)) { rebuildPositions(); }

void DbState::rebuildPositions() {
  positions.clear();
  positions.reserve(db.records.size());
  for (std::size_t i = 0; i < db.records.size(); ++i) positions[db.records[i].uniqueId] = i;
}

uint32_t DbState::unusedId() const {
  uint32_t id = db.uniqueIdSeed & pdb::kMaxUniqueId;
  for (uint32_t tries = 0; tries < pdb::kMaxUniqueId; ++tries) {
    if (id == 0) id = 1;
    if (!positions.contains(id)) return id;
    id = (id + 1) & pdb::kMaxUniqueId;
  }
  return 0;
}

namespace {

void put32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct Reader {
  const std::string& s;
  std::size_t pos = 0;
  bool ok = true;
  uint8_t byte() {
    if (pos >= s.size()) {
      ok = false;
      return 0;
    }
    return static_cast<uint8_t>(s[pos++]);
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    return v;
  }
};

}  // namespace

void encodeOp(const Op& op, std::string* out) {
  out->push_back(static_cast<char>(op.kind));
  switch (op.kind) {
    case OpKind::Write:
      put32(out, op.id);
      out->push_back(static_cast<char>(op.attributes));
      put32(out, static_cast<uint32_t>(op.data.size()));
      out->append(reinterpret_cast<const char*>(op.data.data()), op.data.size());
      break;
    case OpKind::Delete:
      put32(out, op.id);
      break;
    case OpKind::Purge:
      break;
    case OpKind::ResetFlags:
    case OpKind::BackupDate:
      put32(out, op.date);
      break;
    case OpKind::Stamp:
      put32(out, op.date);
      put32(out, op.number);
      break;
  }
}

bool decodeOps(const std::string& payload, std::vector<Op>* ops) {
  Reader r{payload};
  while (r.ok && r.pos < payload.size()) {
    Op op;
    op.kind = static_cast<OpKind>(r.byte());
    switch (op.kind) {
      case OpKind::Write: {
        op.id = r.u32();
        op.attributes = r.byte();
        const uint32_t size = r.u32();
        if (!r.ok || size > payload.size() - r.pos) return false;
        op.data.assign(payload.begin() + static_cast<std::ptrdiff_t>(r.pos),
                       payload.begin() + static_cast<std::ptrdiff_t>(r.pos + size));
        r.pos += size;
        break;
      }
      case OpKind::Delete:
        op.id = r.u32();
        break;
      case OpKind::Purge:
        break;
      case OpKind::ResetFlags:
      case OpKind::BackupDate:
        op.date = r.u32();
        break;
      case OpKind::Stamp:
        op.date = r.u32();
        op.number = r.u32();
        break;
      default:
        return false;
    }
    if (!r.ok) return false;
    ops->push_back(std::move(op));
  }
  return r.ok;
}

bool opFits(const DbState& state, const Op& op) {
  switch (op.kind) {
    case OpKind::Write:
      return !state.db.isResourceDb() && op.id != 0 && op.id <= pdb::kMaxUniqueId && op.data.size() <= 0xFFFF &&
             (state.positions.contains(op.id) || state.db.records.size() < 0xFFFF);
    case OpKind::Delete:
    case OpKind::Purge:
      return !state.db.isResourceDb();
    case OpKind::ResetFlags:
    case OpKind::Stamp:
    case OpKind::BackupDate:
      return true;
  }
  return false;
}

bool applyOp(DbState& state, const Op& op) {
  auto& records = state.db.records;
  switch (op.kind) {
    case OpKind::Write: {
      if (op.id == 0 || op.id > pdb::kMaxUniqueId) return false;
      const auto found = state.positions.find(op.id);
      if (found != state.positions.end()) {
        records[found->second].attributes = op.attributes;
        records[found->second].data = op.data;
      } else {
        records.push_back(pdb::Record{op.attributes, op.id, op.data});
        state.positions[op.id] = records.size() - 1;
      }
      if (op.id >= state.db.uniqueIdSeed) state.db.uniqueIdSeed = (op.id + 1) & pdb::kMaxUniqueId;
      return true;
    }
    case OpKind::Delete: {
      const auto found = state.positions.find(op.id);
      if (found == state.positions.end()) return false;
      auto& record = records[found->second];
      record.attributes |= pdb::kRecDelete | pdb::kRecDirty;
      record.data.clear();
      return true;
    }
    case OpKind::Purge:
      std::erase_if(records, [](const pdb::Record& r) { return (r.attributes & pdb::kRecDelete) != 0; });
      state.rebuildPositions();
      return true;
    case OpKind::ResetFlags:
      for (auto& record : records) record.attributes &= static_cast<uint8_t>(~pdb::kRecDirty);
      state.db.backupDate = op.date;
      return true;
    case OpKind::Stamp:
      state.db.modificationDate = op.date;
      state.db.modificationNumber = op.number;
      return true;
    case OpKind::BackupDate:
      state.db.backupDate = op.date;
      return true;
  }
  return false;
}

ReplayResult replayFrames(DbState& state, const std::vector<std::string>& frames) {
  ReplayResult result;
  for (const std::string& frame : frames) {
    std::vector<Op> ops;
    if (!decodeOps(frame, &ops)) break;
    if (!std::all_of(ops.begin(), ops.end(), [&](const Op& op) { return opFits(state, op); })) {
      ++result.refused;
      continue;
    }
    for (const Op& op : ops) applyOp(state, op);
    result.applied = true;
  }
  return result;
}

}  // namespace hotsync::detail
