// Hand-built images read field by field, our writer's output compared with
// them byte for byte, and the write-back rules of LoadedDatabase.
#include <gtest/gtest.h>

#include <functional>

#include "image_builder.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

TEST(Parse, RecordsWithAnyGapAfterTheList) {
  for (std::size_t pad : {0, 2, 5}) {
    const Database db = parse(test::recordImage(pad));
    EXPECT_EQ(db.name, "Test");
    EXPECT_EQ(db.creationDate, 0xB9000001u);
    EXPECT_EQ(db.backupDate, 0xB9000003u);
    EXPECT_EQ(db.modificationNumber, 7u);
    EXPECT_EQ(db.creator, fourCC("Tarv"));
    EXPECT_EQ(db.uniqueIdSeed, 0x1000u);
    EXPECT_EQ(db.appInfo, bytesOf("AI"));
    EXPECT_EQ(db.sortInfo, bytesOf("SORT"));
    EXPECT_EQ(db.records, (std::vector<Record>{{0x41, 0, bytesOf("one")},
                                               {0x80, 0, {}},  // shares its offset with the next
                                               {0x02, 0xABCDEF, bytesOf("three!")}}))
        << "pad " << pad;
  }
}

TEST(Parse, ResourcesAndEmptyDatabases) {
  const Database res = parse(test::resourceImage());
  EXPECT_TRUE(res.isResourceDb());
  EXPECT_EQ(res.resources,
            (std::vector<Resource>{{fourCC("tSTR"), 1000, bytesOf("hello")}, {fourCC("code"), 0, bytesOf("Nu")}}));

  EXPECT_EQ(parse(test::header(0, 0, 0, 0).bytes).records.size(), 0u);  // no pad either
  EXPECT_EQ(parse(test::header(0, 80, 0, 0).zeros(2).text("Unfiled").bytes).appInfo, bytesOf("Unfiled"));
}

TEST(Parse, BlockLengthsFollowOffsetsNotListOrder) {
  // Records first, then sort info, then app info.
  test::ImageBuilder b = test::header(0, 103, 100, 2);
  b.u32(96).u8(0).u24(1).u32(98).u8(0).u24(2).zeros(2).text("r1r2srtapp");
  const Database db = parse(b.bytes);
  EXPECT_EQ(db.records[0].data, bytesOf("r1"));
  EXPECT_EQ(db.records[1].data, bytesOf("r2"));
  EXPECT_EQ(db.sortInfo, bytesOf("srt"));
  EXPECT_EQ(db.appInfo, bytesOf("app"));
  EXPECT_EQ(parse(serialize(db)), db);
}

TEST(Serialize, WritesThePublishedLayout) {
  for (const auto& image : {test::recordImage(2), test::resourceImage(), test::header(0, 0, 0, 0).zeros(2).bytes}) {
    EXPECT_EQ(serialize(parse(image)), image);
  }
}

TEST(Serialize, RefusesWhatTheFormatCannotHold) {
  const Database base = parse(test::recordImage(2));
  const std::vector<std::function<void(Database&)>> damages = {
      [](Database& db) { db.name = std::string(32, 'n'); },
      [](Database& db) { db.name = std::string("a\0b", 3); },
      [](Database& db) { db.records[0].uniqueId = kMaxUniqueId + 1; },
      [](Database& db) { db.resources.push_back(Resource{}); },
      [](Database& db) { db.attributes |= kAttrResourceDb; },  // its records would be lost
      [](Database& db) { db.records.resize(65536); },
  };
  for (std::size_t i = 0; i < damages.size(); ++i) {
    Database db = base;
    damages[i](db);
    EXPECT_THROW(serialize(db), FormatError) << "case " << i;
  }
  Database largest = base;
  largest.name = std::string(31, 'n');
  largest.records.resize(65535);
  EXPECT_EQ(parse(serialize(largest)), largest);
}

TEST(LoadedDatabase, UnchangedIsTheOriginalChangedIsRewritten) {
  // No gap after the list and leftovers after the name: our writer differs.
  std::vector<uint8_t> original = test::recordImage(0);
  original[10] = 'j';
  const LoadedDatabase unchanged{parse(original), original};
  EXPECT_EQ(unchanged.db.name, "Test");
  ASSERT_NE(serialize(unchanged.db), original);
  EXPECT_EQ(unchanged.image(), original);

  const std::vector<std::function<void(Database&)>> changes = {
      [](Database& db) { db.records[2].data.push_back('x'); },
      [](Database& db) { db.records.erase(db.records.begin()); },
      [](Database& db) { db.appInfo.clear(); },
      [](Database& db) { db.modificationNumber++; },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    LoadedDatabase loaded = unchanged;
    changes[i](loaded.db);
    EXPECT_EQ(parse(loaded.image()), loaded.db) << "change " << i;
  }
}

}  // namespace
}  // namespace pdb
