// Writing: the published layout byte for byte, unchanged databases written
// back as read, changed ones reread as written, and what cannot be written.
#include <gtest/gtest.h>

#include <functional>

#include "image_builder.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

TEST(Serialize, ProducesThePublishedLayout) {
  // Hand-built images with the two pad bytes are what our writer must make.
  for (const auto& image : {test::recordImage(2), test::resourceImage()}) {
    EXPECT_EQ(serialize(parse(image)), image);
  }
  test::HeaderFields h;
  const std::vector<uint8_t> empty = test::header(h).zeros(2).bytes;
  EXPECT_EQ(serialize(parse(empty)), empty);
}

TEST(LoadedDatabase, UnchangedGivesBackTheOriginalBytes) {
  // No gap after the list and junk after the name: our writer would differ.
  std::vector<uint8_t> original = test::recordImage(0);
  original[10] = 'j';
  LoadedDatabase loaded{parse(original), original};
  ASSERT_NE(serialize(loaded.db), original);
  EXPECT_EQ(loaded.image(), original);
}

TEST(LoadedDatabase, ChangedIsWrittenAfreshAndRereadsEqual) {
  const std::vector<uint8_t> original = test::recordImage(0);
  const std::vector<std::function<void(Database&)>> changes = {
      [](Database& db) { db.records[2].data.push_back('x'); },
      [](Database& db) { db.records.push_back(Record{0x10, 0, {1, 2, 3}}); },
      [](Database& db) { db.records.erase(db.records.begin()); },
      [](Database& db) { db.appInfo.clear(); },
      [](Database& db) { db.name = "Other"; },
      [](Database& db) { db.modificationNumber++; },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    LoadedDatabase loaded{parse(original), original};
    changes[i](loaded.db);
    const std::vector<uint8_t> image = loaded.image();
    EXPECT_NE(image, original) << "change " << i;
    EXPECT_EQ(parse(image), loaded.db) << "change " << i;
  }
}

TEST(LoadedDatabase, WithoutAValidOriginalSerializes) {
  Database db;
  db.name = "New";
  db.records.push_back(Record{0, 1, {9}});
  LoadedDatabase loaded{db, {}};
  EXPECT_EQ(parse(loaded.image()), db);
}

TEST(Serialize, RefusesWhatTheFormatCannotHold) {
  const Database base = parse(test::recordImage(2));
  const std::vector<std::pair<const char*, std::function<void(Database&)>>> cases = {
      {"name too long", [](Database& db) { db.name = std::string(32, 'n'); }},
      {"zero in name", [](Database& db) { db.name = std::string("a\0b", 3); }},
      {"unique id over 24 bits", [](Database& db) { db.records[0].uniqueId = 0x1000000; }},
      {"resources in a record db", [](Database& db) { db.resources.push_back(Resource{}); }},
      {"records in a resource db", [](Database& db) { db.attributes |= kAttrResourceDb; }},
      {"too many records", [](Database& db) { db.records.resize(65536); }},
  };
  for (const auto& [label, damage] : cases) {
    Database db = base;
    damage(db);
    EXPECT_THROW(serialize(db), FormatError) << label;
  }
  Database longest = base;
  longest.name = std::string(31, 'n');
  longest.records.resize(65535);
  EXPECT_EQ(parse(serialize(longest)), longest);
}

}  // namespace
}  // namespace pdb
