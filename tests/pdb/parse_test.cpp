// Hand-built images in the published layout, with and without the customary
// pad bytes, read back field by field.
#include <gtest/gtest.h>

#include "image_builder.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

class RecordLayout : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RecordLayout, ReadsEveryFieldWhateverTheGapAfterTheList) {
  const Database db = parse(test::recordImage(GetParam()));
  EXPECT_EQ(db.name, "Test");
  EXPECT_EQ(db.version, 1);
  EXPECT_EQ(db.creationDate, 0xB9000001u);
  EXPECT_EQ(db.modificationDate, 0xB9000002u);
  EXPECT_EQ(db.backupDate, 0xB9000003u);
  EXPECT_EQ(db.modificationNumber, 7u);
  EXPECT_EQ(fourCCText(db.type), "DATA");
  EXPECT_EQ(db.creator, fourCC("Tarv"));
  EXPECT_EQ(db.uniqueIdSeed, 0x1000u);
  EXPECT_EQ(db.appInfo, bytesOf("AI"));
  EXPECT_EQ(db.sortInfo, bytesOf("SORT"));
  ASSERT_EQ(db.records.size(), 3u);
  EXPECT_EQ(db.records[0], (Record{0x41, 0, bytesOf("one")}));
  EXPECT_EQ(db.records[1], (Record{0x80, 0, {}}));  // shares its offset with the next one
  EXPECT_EQ(db.records[2], (Record{0x02, 0xABCDEF, bytesOf("three!")}));
  EXPECT_TRUE(db.resources.empty());
}

INSTANTIATE_TEST_SUITE_P(Gaps, RecordLayout, ::testing::Values(0, 2, 5));

TEST(Parse, ResourceDatabase) {
  const Database db = parse(test::resourceImage());
  EXPECT_TRUE(db.isResourceDb());
  EXPECT_EQ(db.name, "Res");
  ASSERT_EQ(db.resources.size(), 2u);
  EXPECT_EQ(db.resources[0], (Resource{fourCC("tSTR"), 1000, bytesOf("hello")}));
  EXPECT_EQ(db.resources[1], (Resource{fourCC("code"), 0, {0x4e, 0x75}}));
  EXPECT_TRUE(db.records.empty());
}

TEST(Parse, EmptyDatabasesWithAndWithoutPad) {
  test::HeaderFields h;
  std::vector<uint8_t> bare = test::header(h).bytes;
  std::vector<uint8_t> padded = test::header(h).zeros(2).bytes;
  for (const auto& image : {bare, padded}) {
    const Database db = parse(image);
    EXPECT_TRUE(db.records.empty());
    EXPECT_TRUE(db.appInfo.empty());
    EXPECT_TRUE(db.sortInfo.empty());
  }
  // App info only, as in an empty address book with its categories.
  h.appInfo = 80;
  const Database withAppInfo = parse(test::header(h).zeros(2).text("categories").bytes);
  EXPECT_EQ(withAppInfo.appInfo, bytesOf("categories"));
}

TEST(Parse, BlocksEndWhereTheNextOneStartsWhateverTheirOrder) {
  // Records first, then sort info, then app info: lengths still come from
  // the next block's start, not from list order.
  test::HeaderFields h;
  h.count = 2;
  const uint32_t data = 78 + 16 + 2;
  h.sortInfo = data + 4;
  h.appInfo = data + 7;
  test::ImageBuilder b = test::header(h);
  b.u32(data).u8(0).u24(1).u32(data + 2).u8(0).u24(2);
  b.zeros(2).text("r1").text("r2").text("srt").text("app");
  const Database db = parse(b.bytes);
  EXPECT_EQ(db.records[0].data, bytesOf("r1"));
  EXPECT_EQ(db.records[1].data, bytesOf("r2"));
  EXPECT_EQ(db.sortInfo, bytesOf("srt"));
  EXPECT_EQ(db.appInfo, bytesOf("app"));
  EXPECT_EQ(parse(serialize(db)), db);
}

TEST(Parse, NameKeepsHighBytesAndStopsAtTheFirstZero) {
  test::HeaderFields h;
  test::ImageBuilder b = test::header(h);
  const std::string name = "Not\xED" "cias";  // Windows-1252
  std::copy(name.begin(), name.end(), b.bytes.begin());
  b.bytes[name.size()] = 0;
  b.bytes[name.size() + 1] = 'x';  // leftovers after the terminator are not part of it
  EXPECT_EQ(parse(b.bytes).name, name);
}

TEST(FourCC, ConvertsBothWays) {
  EXPECT_EQ(fourCC("Tarv"), 0x54617276u);
  EXPECT_EQ(fourCCText(0x54617276u), "Tarv");
  EXPECT_EQ(fourCCText(fourCC("psys")), "psys");
  EXPECT_EQ(fourCC("ab"), 0x61620000u);  // short text: missing bytes are zero
  EXPECT_EQ(fourCC(nullptr), 0u);
}

}  // namespace
}  // namespace pdb
