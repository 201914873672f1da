// The table's messages about the handheld as a whole: its user, system,
// clock, cards and features, the sync log and the HotSync's start and end.
#include "dlp/table.h"
#include "dlp/table_args.h"

namespace dlp::msg {

std::vector<Arg> ReadUserInfo::Answer::encode() const {
  Writer w;
  putUserInfo(w, user);
  return one(w);
}

ReadUserInfo::Answer ReadUserInfo::Answer::decode(Args args) {
  Reader r(mainArg(args));
  return {getUserInfo(r)};
}

std::vector<Arg> ReadSysInfo::Query::encode() const {
  Writer w;
  w.u16(dlpMajor).u16(dlpMinor);
  return one(w);
}

ReadSysInfo::Query ReadSysInfo::Query::decode(Args args) {
  if (args.empty()) return {0, 0};
  Reader r(mainArg(args));
  Query q;
  q.dlpMajor = r.u16();
  q.dlpMinor = r.u16();
  return q;
}

// The system part, then the protocol versions; a handheld older than DLP 1.1
// sends only the first.
std::vector<Arg> ReadSysInfo::Answer::encode() const {
  Writer a;
  const std::string product = info.productId.substr(0, 0xFF);
  a.u32(info.romVersion).u32(info.locale).u8(0).u8(static_cast<uint8_t>(product.size()));
  a.chars(product);
  Writer b;
  b.u16(info.dlpMajor).u16(info.dlpMinor).u16(1).u16(0).u32(info.maxRecordSize);
  return {Arg{kFirstArgId, std::move(a.out())}, Arg{kFirstArgId + 1, std::move(b.out())}};
}

ReadSysInfo::Answer ReadSysInfo::Answer::decode(Args args) {
  Answer answer;
  SysInfo& s = answer.info;
  Reader a(mainArg(args));
  s.romVersion = a.u32();
  s.locale = a.u32();
  a.u8();
  s.productId = a.chars(a.u8());
  if (const Arg* versions = findArg(args, kFirstArgId + 1)) {
    Reader b(versions->data);
    s.dlpMajor = b.u16();
    s.dlpMinor = b.u16();
    b.skip(4);
    s.maxRecordSize = b.u32();
  } else {
    s.dlpMajor = 1;
    s.dlpMinor = 0;
  }
  return answer;
}

std::vector<Arg> GetSysDateTime::Answer::encode() const {
  Writer w;
  w.date(time);
  return one(w);
}

GetSysDateTime::Answer GetSysDateTime::Answer::decode(Args args) { return {Reader(mainArg(args)).date()}; }

std::vector<Arg> SetSysDateTime::Query::encode() const {
  Writer w;
  w.date(time);
  return one(w);
}

SetSysDateTime::Query SetSysDateTime::Query::decode(Args args) { return {Reader(mainArg(args)).date()}; }

std::vector<Arg> ReadStorageInfo::Query::encode() const {
  Writer w;
  w.u8(card).u8(0);
  return one(w);
}

ReadStorageInfo::Query ReadStorageInfo::Query::decode(Args args) { return {Reader(mainArg(args)).u8()}; }

// Last card, more, pad, how many cards follow (one here), then each card
// with its own size byte; the database counts in a second argument.
std::vector<Arg> ReadStorageInfo::Answer::encode() const {
  const std::string name = card.name.substr(0, 0xFF);
  const std::string maker = card.maker.substr(0, 0xFF);
  Writer c;
  c.u8(card.card).u16(card.version).date(card.created).u32(card.romSize).u32(card.ramSize).u32(card.freeRam);
  c.u8(static_cast<uint8_t>(name.size())).u8(static_cast<uint8_t>(maker.size()));
  c.chars(name).chars(maker);
  if (c.out().size() % 2) c.u8(0);
  Writer a;
  a.u8(lastCard).u8(card.more ? 1 : 0).u8(0).u8(1);
  a.u8(static_cast<uint8_t>(c.out().size() + 1)).bytes(c.out());
  std::vector<Arg> args{Arg{kFirstArgId, std::move(a.out())}};
  if (counted) {
    Writer b;
    b.u16(card.romDbCount).u16(card.ramDbCount).zeros(16);
    args.push_back(Arg{kFirstArgId + 1, std::move(b.out())});
  }
  return args;
}

ReadStorageInfo::Answer ReadStorageInfo::Answer::decode(Args args) {
  Answer answer;
  StorageInfo& c = answer.card;
  Reader a(mainArg(args));
  answer.lastCard = a.u8();
  c.more = a.u8() != 0;
  a.u8();
  if (a.u8() == 0) throw WireError("a card description without a card");
  const std::size_t size = a.u8();
  if (size < 26) throw WireError("a card description of " + std::to_string(size) + " bytes");
  Reader e(a.take(size - 1));
  c.card = e.u8();
  c.version = e.u16();
  c.created = e.date();
  c.romSize = e.u32();
  c.ramSize = e.u32();
  c.freeRam = e.u32();
  const std::size_t nameLength = e.u8();
  const std::size_t makerLength = e.u8();
  c.name = e.chars(nameLength);
  c.maker = e.chars(makerLength);
  const Arg* counts = findArg(args, kFirstArgId + 1);
  answer.counted = counts != nullptr;
  if (counts != nullptr) {
    Reader b(counts->data);
    c.romDbCount = b.u16();
    c.ramDbCount = b.u16();
  }
  return answer;
}

std::vector<Arg> ReadFeature::Query::encode() const {
  Writer w;
  w.u32(creator).u16(number);
  return one(w);
}

ReadFeature::Query ReadFeature::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.creator = r.u32();
  q.number = r.u16();
  return q;
}

std::vector<Arg> ReadFeature::Answer::encode() const {
  Writer w;
  w.u32(value);
  return one(w);
}

ReadFeature::Answer ReadFeature::Answer::decode(Args args) { return {Reader(mainArg(args)).u32()}; }

std::vector<Arg> AddSyncLogEntry::Query::encode() const {
  Writer w;
  w.text(text);
  return one(w);
}

AddSyncLogEntry::Query AddSyncLogEntry::Query::decode(Args args) { return {Reader(mainArg(args)).text()}; }

std::vector<Arg> EndOfSync::Query::encode() const {
  Writer w;
  w.u16(status);
  return one(w);
}

EndOfSync::Query EndOfSync::Query::decode(Args args) {
  if (args.empty()) return {};  // some desktops send no status
  return {Reader(mainArg(args)).u16()};
}

}  // namespace dlp::msg
