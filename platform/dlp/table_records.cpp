// The table's messages about records and resources.
#include "dlp/table.h"
#include "dlp/table_args.h"

namespace dlp::msg {

namespace {

// ReadRecord: by unique id in the first argument, by index in the second.
// ReadResource the other way round: by index first, by type and id second.
constexpr uint8_t kSecondArg = kFirstArgId + 1;

// The argument a by-index or by-key request came in, and which it was.
std::span<const uint8_t> keyedArg(Args args, uint8_t indexId, bool* byIndex) {
  const Arg* first = findArg(args, kFirstArgId);
  const Arg* second = findArg(args, kSecondArg);
  const Arg* arg = first != nullptr ? first : second != nullptr ? second : args.empty() ? nullptr : &args.front();
  if (arg == nullptr) throw WireError("a message without its argument");
  *byIndex = arg->id == indexId;
  return arg->data;
}

}  // namespace

std::vector<Arg> ReadRecord::Query::encode() const {
  Writer w;
  w.u8(handle).u8(0);
  if (byIndex) {
    w.u16(index);
  } else {
    w.u32(id);
  }
  w.u16(offset).u16(length);
  return {Arg{byIndex ? kSecondArg : kFirstArgId, std::move(w.out())}};
}

ReadRecord::Query ReadRecord::Query::decode(Args args) {
  Query q;
  Reader r(keyedArg(args, kSecondArg, &q.byIndex));
  q.handle = r.u8();
  r.u8();
  if (q.byIndex) {
    q.index = r.u16();
  } else {
    q.id = r.u32();
  }
  q.offset = r.u16();
  q.length = r.u16();
  return q;
}

std::vector<Arg> ReadRecord::Answer::encode() const {
  Writer w;
  w.u32(id).u16(index).u16(size).u8(attributes).u8(category).bytes(data);
  return one(w);
}

ReadRecord::Answer ReadRecord::Answer::decode(Args args) {
  Reader r(mainArg(args));
  Answer answer;
  answer.id = r.u32();
  answer.index = r.u16();
  answer.size = r.u16();
  answer.attributes = r.u8();
  answer.category = r.u8();
  const auto data = r.rest();
  answer.data.assign(data.begin(), data.end());
  return answer;
}

constexpr uint8_t kWriteRecordFlags = 0x80;  // what every desktop sends

std::vector<Arg> WriteRecord::Query::encode() const {
  Writer w;
  w.u8(handle).u8(kWriteRecordFlags).u32(id).u8(attributes).u8(category).bytes(data);
  return one(w);
}

WriteRecord::Query WriteRecord::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.handle = r.u8();
  r.u8();
  q.id = r.u32();
  q.attributes = r.u8();
  q.category = r.u8();
  const auto data = r.rest();
  q.data.assign(data.begin(), data.end());
  return q;
}

std::vector<Arg> WriteRecord::Answer::encode() const {
  Writer w;
  w.u32(id);
  return one(w);
}

WriteRecord::Answer WriteRecord::Answer::decode(Args args) { return {Reader(mainArg(args)).u32()}; }

std::vector<Arg> DeleteRecord::Query::encode() const {
  Writer w;
  w.u8(handle).u8(flags).u32(id);
  return one(w);
}

DeleteRecord::Query DeleteRecord::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.handle = r.u8();
  q.flags = r.u8();
  q.id = r.u32();
  return q;
}

std::vector<Arg> ReadResource::Query::encode() const {
  Writer w;
  w.u8(handle).u8(0);
  if (byIndex) {
    w.u16(index);
  } else {
    w.u32(type).u16(id);
  }
  w.u16(offset).u16(length);
  return {Arg{byIndex ? kFirstArgId : kSecondArg, std::move(w.out())}};
}

ReadResource::Query ReadResource::Query::decode(Args args) {
  Query q;
  Reader r(keyedArg(args, kFirstArgId, &q.byIndex));
  q.handle = r.u8();
  r.u8();
  if (q.byIndex) {
    q.index = r.u16();
  } else {
    q.type = r.u32();
    q.id = r.u16();
  }
  q.offset = r.u16();
  q.length = r.u16();
  return q;
}

std::vector<Arg> ReadResource::Answer::encode() const {
  Writer w;
  w.u32(type).u16(id).u16(index).u16(size).bytes(data);
  return one(w);
}

ReadResource::Answer ReadResource::Answer::decode(Args args) {
  Reader r(mainArg(args));
  Answer answer;
  answer.type = r.u32();
  answer.id = r.u16();
  answer.index = r.u16();
  answer.size = r.u16();
  const auto data = r.rest();
  answer.data.assign(data.begin(), data.end());
  return answer;
}

std::vector<Arg> WriteResource::Query::encode() const {
  if (data.size() > 0xFFFF) throw WireError("a resource longer than 65535 bytes");
  Writer w;
  w.u8(handle).u8(0).u32(type).u16(id).u16(static_cast<uint16_t>(data.size())).bytes(data);
  return one(w);
}

WriteResource::Query WriteResource::Query::decode(Args args) {
  Reader r(mainArg(args));
  Query q;
  q.handle = r.u8();
  r.u8();
  q.type = r.u32();
  q.id = r.u16();
  const auto data = r.take(r.u16());
  q.data.assign(data.begin(), data.end());
  return q;
}

}  // namespace dlp::msg
