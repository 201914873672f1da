// Files made by other Palm tools: read, written back unchanged, rewritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "pdb/pdb.h"

namespace pdb {
namespace {

const std::filesystem::path kFolder = TARVO_PDB_TESTDATA;

struct RealFile {
  const char* file;
  const char* name;
  const char* type;
  const char* creator;
  std::size_t entries;
};

class RealFiles : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealFiles, ReadAndWriteBack) {
  const RealFile& f = GetParam();
  const std::filesystem::path path = kFolder / f.file;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " not available";

  const LoadedDatabase loaded = readFile(path);
  EXPECT_EQ(loaded.db.name, f.name);
  EXPECT_EQ(fourCCText(loaded.db.type), f.type);
  EXPECT_EQ(fourCCText(loaded.db.creator), f.creator);
  EXPECT_EQ(loaded.db.isResourceDb() ? loaded.db.resources.size() : loaded.db.records.size(), f.entries);
  EXPECT_EQ(loaded.image(), loaded.original);

  // These tools lay files out as we do, so our rewrite matches them byte
  // for byte, except for whatever they left after the name's terminator.
  std::vector<uint8_t> expected = loaded.original;
  std::fill(expected.begin() + static_cast<std::ptrdiff_t>(loaded.db.name.size()),
            expected.begin() + static_cast<std::ptrdiff_t>(kNameSize), 0);
  EXPECT_EQ(serialize(loaded.db), expected);
}

void PrintTo(const RealFile& f, std::ostream* os) { *os << f.file; }

INSTANTIATE_TEST_SUITE_P(
    Files, RealFiles,
    ::testing::Values(RealFile{"MemoDB.pdb", "MemoDB", "DATA", "memo", 5},
                      RealFile{"ToDoDB.pdb", "ToDoDB", "DATA", "todo", 3},
                      RealFile{"DatebookDB.pdb", "DatebookDB", "DATA", "date", 3},
                      RealFile{"ExpenseDB.pdb", "ExpenseDB", "DATA", "exps", 0},
                      RealFile{"AddressDB-LifeDrive.pdb", "AddressDB", "DATA", "addr", 2},
                      RealFile{"OnBoard.prc", "OnBoard", "appl", "OnBA", 26}),
    [](const auto& info) { return std::string(info.param.name); });

LoadedDatabase loadOrSkip(const char* file) {
  const std::filesystem::path path = kFolder / file;
  if (!std::filesystem::exists(path)) return {};
  return readFile(path);
}

TEST(RealFileDetails, RecordsBlocksAndIds) {
  if (!std::filesystem::exists(kFolder)) GTEST_SKIP() << kFolder << " not available";

  const Database memo = loadOrSkip("MemoDB.pdb").db;
  EXPECT_TRUE(memo.attributes & kAttrBackup);
  EXPECT_FALSE(memo.appInfo.empty());
  for (const Record& r : memo.records) EXPECT_FALSE(r.data.empty());

  const Database todo = loadOrSkip("ToDoDB.pdb").db;
  ASSERT_EQ(todo.records.size(), 3u);
  EXPECT_EQ(todo.records[0].uniqueId, 3u);
  EXPECT_EQ(todo.records[1].uniqueId, 2u);
  EXPECT_EQ(todo.records[2].uniqueId, 4u);

  const Database expense = loadOrSkip("ExpenseDB.pdb").db;
  EXPECT_TRUE(expense.records.empty());
  EXPECT_FALSE(expense.appInfo.empty());

  const Database datebook = loadOrSkip("DatebookDB.pdb").db;
  ASSERT_EQ(datebook.records.size(), 3u);
  EXPECT_GT(datebook.records[0].uniqueId, 0xFFFFu);

  const Database onboard = loadOrSkip("OnBoard.prc").db;
  ASSERT_EQ(onboard.resources.size(), 26u);
  EXPECT_EQ(onboard.resources[0].type, fourCC("MBAR"));
  EXPECT_EQ(onboard.resources[0].id, 1000);
  EXPECT_TRUE(onboard.records.empty());
}

}  // namespace
}  // namespace pdb
