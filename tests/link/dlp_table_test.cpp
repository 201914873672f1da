// The DLP message table against hand-written bytes of the documented
// layouts: what a real handheld or desktop sends decodes to the right
// fields, what we send has the documented bytes, and layouts too short for
// their fields are refused.
#include <gtest/gtest.h>

#include "dlp/table.h"

namespace {

namespace msg = dlp::msg;
using Bytes = std::vector<uint8_t>;

std::vector<dlp::Arg> arg(Bytes data, uint8_t id = dlp::kFirstArgId) { return {dlp::Arg{id, std::move(data)}}; }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(DlpTable, ADatabaseListAnswerHasItsCountAfterThreeBytes) {
  // Last index 0x0102, more, one entry: size, misc flags, flags, type, creator,
  // version, modification number, three dates, index, name.
  const Bytes entry = join({{46, 0x40, 0x00, 0x08},
                            {'D', 'A', 'T', 'A'},
                            {'T', 'a', 'r', 'v'},
                            {0, 3, 0, 0, 0, 9},
                            {0x07, 0xE8, 1, 2, 3, 4, 5, 0},
                            Bytes(16),
                            {1, 2, 'N', 0}});
  const Bytes bytes = join({{0x01, 0x02, 0x80, 1}, entry});
  const auto answer = msg::ReadDBList::Answer::decode(arg(bytes));
  EXPECT_EQ(answer.lastIndex, 0x0102);
  EXPECT_TRUE(answer.more);
  ASSERT_EQ(answer.entries.size(), 1u);
  const dlp::DbEntry& e = answer.entries[0];
  EXPECT_EQ(e.miscFlags, 0x40);
  EXPECT_EQ(e.flags, 0x0008);
  EXPECT_EQ(e.type, 0x44415441u);
  EXPECT_EQ(e.creator, 0x54617276u);
  EXPECT_EQ(e.version, 3);
  EXPECT_EQ(e.modNumber, 9u);
  EXPECT_EQ(e.created, (dlp::DateTime{2024, 1, 2, 3, 4, 5}));
  EXPECT_EQ(e.index, 0x0102);
  EXPECT_EQ(e.name, "N");
  EXPECT_EQ(answer.encode(), arg(bytes));

  // An entry announced and missing, or cut inside.
  EXPECT_THROW(msg::ReadDBList::Answer::decode(arg({0, 0, 0, 2, 46})), dlp::WireError);
  EXPECT_THROW(msg::ReadDBList::Answer::decode(arg(Bytes(bytes.begin(), bytes.end() - 3))), dlp::WireError);
}

TEST(DlpTable, ACardAnswerCarriesItsFieldsAndCountsWhenTheHandheldSendsThem) {
  // Last card, more, pad, one card; its size; card 0, version 1, a date, ROM,
  // RAM, free RAM, the name and maker lengths, "RAM" "Palm".
  const Bytes card = join({{0, 0, 1},
                           {0x07, 0xE8, 6, 1, 12, 0, 0, 0},
                           {0x10, 0, 0, 0},
                           {0x20, 0, 0, 0},
                           {0x08, 0, 0, 0},
                           {3, 4, 'R', 'A', 'M', 'P', 'a', 'l', 'm'}});  // 32 bytes: no pad
  const Bytes first = join({{0, 0, 0, 1, static_cast<uint8_t>(card.size() + 1)}, card});
  auto answer = msg::ReadStorageInfo::Answer::decode(arg(first));
  EXPECT_EQ(answer.card.card, 0);
  EXPECT_EQ(answer.card.version, 1);
  EXPECT_EQ(answer.card.created, (dlp::DateTime{2024, 6, 1, 12, 0, 0}));
  EXPECT_EQ(answer.card.romSize, 0x10000000u);
  EXPECT_EQ(answer.card.ramSize, 0x20000000u);
  EXPECT_EQ(answer.card.freeRam, 0x08000000u);
  EXPECT_EQ(answer.card.name, "RAM");
  EXPECT_EQ(answer.card.maker, "Palm");
  EXPECT_FALSE(answer.counted);  // an older handheld: no second argument

  std::vector<dlp::Arg> args = arg(first);
  args.push_back({dlp::kFirstArgId + 1, join({{0, 2, 0, 14}, Bytes(16)})});
  answer = msg::ReadStorageInfo::Answer::decode(args);
  EXPECT_TRUE(answer.counted);
  EXPECT_EQ(answer.card.romDbCount, 2);
  EXPECT_EQ(answer.card.ramDbCount, 14);
  EXPECT_EQ(answer.encode(), args);

  EXPECT_THROW(msg::ReadStorageInfo::Answer::decode(arg({0, 0, 0, 0})), dlp::WireError);  // no card
  EXPECT_THROW(msg::ReadStorageInfo::Answer::decode(arg({0, 0, 0, 1, 10, 0})), dlp::WireError);
}

TEST(DlpTable, SystemAndUserAnswersDecodeFromAHandheldsBytes) {
  // ROM 3.5, locale, pad, product id "ab"; versions 1.2, compatibility, max record size.
  const Bytes system = {0x03, 0x50, 0x30, 0x00, 0, 0, 0, 1, 0, 2, 'a', 'b'};
  std::vector<dlp::Arg> args = arg(system);
  args.push_back({dlp::kFirstArgId + 1, {0, 1, 0, 2, 0, 1, 0, 0, 0, 0, 0xFF, 0xFF}});
  auto sys = msg::ReadSysInfo::Answer::decode(args).info;
  EXPECT_EQ(sys.romVersion, 0x03503000u);
  EXPECT_EQ(sys.productId, "ab");
  EXPECT_EQ(sys.dlpMajor << 8 | sys.dlpMinor, 0x0102);
  EXPECT_EQ(sys.maxRecordSize, 0xFFFFu);
  sys = msg::ReadSysInfo::Answer::decode(arg(system)).info;  // DLP 1.0 sends no versions
  EXPECT_EQ(sys.dlpMajor << 8 | sys.dlpMinor, 0x0100);

  // Ids, last sync PC, two dates, name length with its zero, password length.
  const Bytes user = join({{0, 0, 0, 77, 0, 0, 0, 0, 0xC0, 0xA8, 0, 1}, Bytes(16), {4, 2, 'A', 'n', 'n', 0, 'p', 'w'}});
  const auto u = msg::ReadUserInfo::Answer::decode(arg(user)).user;
  EXPECT_EQ(u.userId, 77u);
  EXPECT_EQ(u.lastSyncPc, 0xC0A80001u);
  EXPECT_EQ(u.name, "Ann");
  EXPECT_EQ(u.password, (Bytes{'p', 'w'}));
}

TEST(DlpTable, RecordAndResourceRequestsNameTheirKeyByArgument) {
  // ReadRecord: by index in the second argument, by id in the first.
  const Bytes byIndex = {3, 0, 0, 7, 0, 0x10, 0xFF, 0x9B};
  auto record = msg::ReadRecord::Query::decode(arg(byIndex, 0x21));
  EXPECT_TRUE(record.byIndex);
  EXPECT_EQ(record.handle, 3);
  EXPECT_EQ(record.index, 7);
  EXPECT_EQ(record.offset, 0x10);
  EXPECT_EQ(record.length, 0xFF9B);
  EXPECT_EQ(record.encode(), arg(byIndex, 0x21));
  record = msg::ReadRecord::Query::decode(arg({3, 0, 0, 0x12, 0x34, 0x56, 0, 0, 0x01, 0}));
  EXPECT_FALSE(record.byIndex);
  EXPECT_EQ(record.id, 0x123456u);
  EXPECT_EQ(record.length, 0x100);

  // ReadResource the other way round: by index first, by type and id second.
  auto resource = msg::ReadResource::Query::decode(arg({2, 0, 0, 5, 0, 0, 0, 0x40}));
  EXPECT_TRUE(resource.byIndex);
  EXPECT_EQ(resource.index, 5);
  const Bytes byType = {2, 0, 'c', 'o', 'd', 'e', 0, 1, 0, 0, 0xFF, 0xFF};
  resource = msg::ReadResource::Query::decode(arg(byType, 0x21));
  EXPECT_FALSE(resource.byIndex);
  EXPECT_EQ(resource.type, 0x636F6465u);
  EXPECT_EQ(resource.id, 1);
  EXPECT_EQ(resource.encode(), arg(byType, 0x21));

  // The answers: id, index, size, attributes, category, then the slice.
  const auto answer = msg::ReadRecord::Answer::decode(arg({0, 0, 0, 9, 0, 2, 0, 5, 0x40, 3, 'a', 'b'}));
  EXPECT_EQ(answer.id, 9u);
  EXPECT_EQ(answer.index, 2);
  EXPECT_EQ(answer.size, 5);
  EXPECT_EQ(answer.attributes, 0x40);
  EXPECT_EQ(answer.category, 3);
  EXPECT_EQ(answer.data, (Bytes{'a', 'b'}));
  const auto res = msg::ReadResource::Answer::decode(arg({'c', 'o', 'd', 'e', 0, 1, 0, 0, 0, 3, 'x', 'y', 'z'}));
  EXPECT_EQ(res.size, 3);
  EXPECT_EQ(res.data, (Bytes{'x', 'y', 'z'}));
}

TEST(DlpTable, DesktopRequestsHaveTheDocumentedBytes) {
  EXPECT_EQ((msg::OpenDB::Query{0, 0xC0, "Memo"}.encode()), arg({0, 0xC0, 'M', 'e', 'm', 'o', 0}));
  EXPECT_EQ((msg::CreateDB::Query{0x54617276, 0x44415441, 0, 0x0008, 2, "N"}.encode()),
            arg({'T', 'a', 'r', 'v', 'D', 'A', 'T', 'A', 0, 0, 0, 8, 0, 2, 'N', 0}));
  EXPECT_EQ((msg::WriteRecord::Query{4, 0, 0x40, 2, {'x'}}.encode()), arg({4, 0x80, 0, 0, 0, 0, 0x40, 2, 'x'}));
  EXPECT_EQ((msg::WriteResource::Query{4, 0x636F6465, 1, {'x', 'y'}}.encode()),
            arg({4, 0, 'c', 'o', 'd', 'e', 0, 1, 0, 2, 'x', 'y'}));
  EXPECT_EQ((msg::ReadDBList::Query{0xA0, 1, 0x0203}.encode()), arg({0xA0, 1, 2, 3}));
  EXPECT_EQ((msg::CloseDB::Query{0, true}.encode()), arg({}, 0x21));
  EXPECT_EQ(msg::EndOfSync::Query{}.encode(), arg({0, 0}));
  EXPECT_EQ(msg::ReadSysInfo::Query{}.encode(), arg({0, 1, 0, 2}));
}

TEST(DlpTable, DecodersIgnoreWhatTheyDoNotKnowAndRefuseWhatIsMissing) {
  // An extra argument and bytes after the fields change nothing.
  std::vector<dlp::Arg> args = arg({0, 0x80, 'M', 0, 0xEE, 0xEE});
  args.push_back({0x30, {1, 2, 3}});
  const auto open = msg::OpenDB::Query::decode(args);
  EXPECT_EQ(open.mode, 0x80);
  EXPECT_EQ(open.name, "M");
  // Close-all is its own argument; a desktop without an EndOfSync status is a normal end.
  EXPECT_TRUE(msg::CloseDB::Query::decode(arg({}, 0x21)).all);
  EXPECT_EQ(msg::CloseDB::Query::decode(arg({5})).handle, 5);
  EXPECT_EQ(msg::EndOfSync::Query::decode({}).status, 0);

  EXPECT_THROW(msg::OpenDB::Query::decode({}), dlp::WireError);
  EXPECT_THROW(msg::AddSyncLogEntry::Query::decode(arg({})), dlp::WireError);     // an empty argument has no text
  EXPECT_THROW(msg::OpenDB::Query::decode(arg({0, 0x80, 'M'})), dlp::WireError);  // a name without its end
  EXPECT_THROW(msg::WriteAppBlock::Query::decode(arg({1, 0, 0, 9, 'a'})), dlp::WireError);  // 9 announced, 1 there
  EXPECT_THROW(msg::ReadRecord::Query::decode(arg({3, 0, 0, 7}, 0x21)), dlp::WireError);
}

}  // namespace
