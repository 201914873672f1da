// The table's messages about databases: listing, opening, making, closing
// and deleting them, and their application and sort blocks.
#include "dlp/table.h"
#include "dlp/table_args.h"

namespace dlp::msg {

std::vector<Arg> ReadDBList::Query::encode() const {
  Writer w;
  w.u8(flags).u8(card).u16(start);
  return one(w);
}

ReadDBList::Query ReadDBList::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.flags = r.u8();
  q.card = r.u8();
  q.start = r.u16();
  return q;
}

// The last entry's index, a flags byte (0x80: more follow), the count, then
// the entries.
std::vector<Arg> ReadDBList::Answer::encode() const {
  if (entries.size() > 0xFF) throw WireError("too many databases for one list answer");
  Writer w;
  w.u16(lastIndex).u8(more ? 0x80 : 0).u8(static_cast<uint8_t>(entries.size()));
  for (const DbEntry& entry : entries) putDbEntry(w, entry);
  return one(w);
}

ReadDBList::Answer ReadDBList::Answer::decode(Args args) {
  Reader r(mainArg(args));
  Answer answer;
  answer.lastIndex = r.u16();
  answer.more = (r.u8() & 0x80) != 0;
  const std::size_t n = r.u8();
  answer.entries.reserve(n);
  for (std::size_t i = 0; i < n; ++i) answer.entries.push_back(getDbEntry(r));
  return answer;
}

std::vector<Arg> OpenDB::Query::encode() const {
  Writer w;
  w.u8(card).u8(mode).text(name);
  return one(w);
}

OpenDB::Query OpenDB::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.card = r.u8();
  q.mode = r.u8();
  q.name = r.text();
  return q;
}

std::vector<Arg> OpenDB::Answer::encode() const { return {Arg{kFirstArgId, {handle}}}; }

OpenDB::Answer OpenDB::Answer::decode(Args args) { return {Reader(mainArg(args)).u8()}; }

std::vector<Arg> CreateDB::Query::encode() const {
  Writer w;
  w.u32(creator).u32(type).u8(card).u8(0).u16(attributes).u16(version).text(name);
  return one(w);
}

CreateDB::Query CreateDB::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.creator = r.u32();
  q.type = r.u32();
  q.card = r.u8();
  r.u8();
  q.attributes = r.u16();
  q.version = r.u16();
  q.name = r.text();
  return q;
}

constexpr uint8_t kCloseAllArg = kFirstArgId + 1;

std::vector<Arg> CloseDB::Query::encode() const {
  if (all) return {Arg{kCloseAllArg, {}}};
  return {Arg{kFirstArgId, {handle}}};
}

CloseDB::Query CloseDB::Query::decode(Args args) {
  if (findArg(args, kCloseAllArg) != nullptr) return {0, true};
  return {Reader(mainArg(args)).u8(), false};
}

std::vector<Arg> DeleteDB::Query::encode() const {
  Writer w;
  w.u8(card).u8(0).text(name);
  return one(w);
}

DeleteDB::Query DeleteDB::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.card = r.u8();
  r.u8();
  q.name = r.text();
  return q;
}

std::vector<Arg> HandleQuery::encode() const { return {Arg{kFirstArgId, {handle}}}; }

HandleQuery HandleQuery::decode(Args args) { return {Reader(mainArg(args)).u8()}; }

std::vector<Arg> ReadOpenDBInfo::Answer::encode() const {
  Writer w;
  w.u16(count);
  return one(w);
}

ReadOpenDBInfo::Answer ReadOpenDBInfo::Answer::decode(Args args) { return {Reader(mainArg(args)).u16()}; }

std::vector<Arg> ReadAppBlock::Query::encode() const {
  Writer w;
  w.u8(handle).u8(0).u16(offset).u16(length);
  return one(w);
}

ReadAppBlock::Query ReadAppBlock::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.handle = r.u8();
  r.u8();
  q.offset = r.u16();
  q.length = r.u16();
  return q;
}

std::vector<Arg> ReadAppBlock::Answer::encode() const {
  Writer w;
  w.u16(size).bytes(data);
  return one(w);
}

ReadAppBlock::Answer ReadAppBlock::Answer::decode(Args args) {
  Reader r(mainArg(args));
  Answer answer;
  answer.size = r.u16();
  const auto data = r.rest();
  answer.data.assign(data.begin(), data.end());
  return answer;
}

std::vector<Arg> WriteAppBlock::Query::encode() const {
  if (data.size() > 0xFFFF) throw WireError("a block longer than 65535 bytes");
  Writer w;
  w.u8(handle).u8(0).u16(static_cast<uint16_t>(data.size())).bytes(data);
  return one(w);
}

WriteAppBlock::Query WriteAppBlock::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.handle = r.u8();
  r.u8();
  const auto data = r.take(r.u16());
  q.data.assign(data.begin(), data.end());
  return q;
}

std::vector<Arg> SetDBInfo::Query::encode() const {
  Writer w;
  w.u8(handle).u8(0).u16(clearFlags).u16(setFlags).u16(version);
  w.date(created).date(modified).date(backedUp).u32(type).u32(creator).text(name);
  return one(w);
}

SetDBInfo::Query SetDBInfo::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.handle = r.u8();
  r.u8();
  q.clearFlags = r.u16();
  q.setFlags = r.u16();
  q.version = r.u16();
  q.created = r.date();
  q.modified = r.date();
  q.backedUp = r.date();
  q.type = r.u32();
  q.creator = r.u32();
  // The name may be left out altogether.
  if (r.remaining() > 0) q.name = r.text();
  return q;
}

}  // namespace dlp::msg
