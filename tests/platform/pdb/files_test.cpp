// Files on disk: real databases made by other Palm tools, and replacing a
// file without ever leaving a half-written one behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

#include "image_builder.h"
#include "needs.h"
#include "pdb/pdb.h"
#include "temp_folder.h"

namespace pdb {
namespace {

namespace fs = std::filesystem;

struct RealFile {
  const char* file;
  const char* name;
  const char* creator;
  std::size_t entries;
};
void PrintTo(const RealFile& f, std::ostream* os) { *os << f.file; }

class RealFiles : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealFiles, ReadWriteBackAndRewrite) {
  const fs::path path = fs::path(TARVO_PDB_TESTDATA) / GetParam().file;
  TARVO_NEEDS(
      fs::exists(path),
      path.string() + " is missing: real Palm files made by other tools live beside the project in shared/testdata");
  const LoadedDatabase loaded = readFile(path);
  const Database& db = loaded.db;
  EXPECT_EQ(db.name, GetParam().name);
  EXPECT_EQ(fourCCText(db.creator), GetParam().creator);
  EXPECT_EQ(db.isResourceDb() ? db.resources.size() : db.records.size(), GetParam().entries);
  EXPECT_EQ(loaded.image(), loaded.original);
  EXPECT_EQ(readDatabase(path), db);

  // These tools lay files out as we do, so our rewrite matches them byte for
  // byte, except for what they left after the name's terminator.
  std::vector<uint8_t> expected = loaded.original;
  std::fill(expected.begin() + static_cast<std::ptrdiff_t>(db.name.size()), expected.begin() + 32, 0);
  EXPECT_EQ(serialize(db), expected);

  if (db.creator == fourCC("todo")) {  // ids out of order stay as they are
    EXPECT_EQ(db.records[0].uniqueId, 3u);
    EXPECT_EQ(db.records[1].uniqueId, 2u);
  }
  if (db.isResourceDb()) {
    EXPECT_EQ(db.resources[0].type, fourCC("MBAR"));
    EXPECT_EQ(db.resources[0].id, 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RealFiles,
                         ::testing::Values(RealFile{"MemoDB.pdb", "MemoDB", "memo", 5},
                                           RealFile{"ToDoDB.pdb", "ToDoDB", "todo", 3},
                                           RealFile{"DatebookDB.pdb", "DatebookDB", "date", 3},
                                           RealFile{"ExpenseDB.pdb", "ExpenseDB", "exps", 0},
                                           RealFile{"AddressDB-LifeDrive.pdb", "AddressDB", "addr", 2},
                                           RealFile{"OnBoard.prc", "OnBoard", "OnBA", 26}),
                         [](const auto& info) { return std::string(info.param.name); });

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir.empty()); }
  std::size_t filesInDir() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }

  tarvo::test::TempFolder temp{"pdb-io"};
  fs::path dir = temp.path();
};

TEST_F(FileIo, ReplacesKeepingPermissionsAndLeavesNoTemporaries) {
  const fs::path file = dir / "News.pdb";
  const auto rw = fs::perms::owner_read | fs::perms::owner_write;
  writeFileAtomic(file, test::recordImage(2));
  EXPECT_EQ(readFile(file).original, test::recordImage(2));
  EXPECT_EQ(fs::status(file).permissions(), rw);  // new files are private

  fs::permissions(file, rw | fs::perms::group_read);
  writeFileAtomic(file, test::resourceImage());
  EXPECT_EQ(readFile(file).original, test::resourceImage());
  EXPECT_EQ(fs::status(file).permissions(), rw | fs::perms::group_read);
  EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(FileIo, CopiesAnOpenFileIntoPlace) {
  std::vector<uint8_t> big(3u << 20);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  writeFileAtomic(dir / "source.pdb", big);
  const int source = ::open((dir / "source.pdb").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(source, 0);
  copyFileAtomic(dir / "copy.pdb", source);
  ::close(source);
  std::ifstream copy(dir / "copy.pdb", std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(copy), {}), big);
  EXPECT_EQ(fs::status(dir / "copy.pdb").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(filesInDir(), 2u);
  EXPECT_THROW(copyFileAtomic(dir / "bad.pdb", -1), std::runtime_error);
  EXPECT_EQ(filesInDir(), 2u);
}

TEST_F(FileIo, WritesADatabaseBlockByBlockAsSerializeDoes) {
  Database db;
  db.name = "Blocks";
  db.appInfo.assign(3u << 20, 0xA5);  // larger than one write
  for (uint32_t i = 0; i < 600; ++i)
    db.records.push_back(Record{0, i + 1, std::vector<uint8_t>(i * 7 % 4000, static_cast<uint8_t>(i))});
  EXPECT_EQ(writeDatabaseAtomic(dir / "blocks.pdb", db), serialize(db).size());
  EXPECT_EQ(readFile(dir / "blocks.pdb").original, serialize(db));
  db.name.assign(40, 'x');
  EXPECT_THROW(writeDatabaseAtomic(dir / "blocks.pdb", db), FormatError);
  EXPECT_EQ(filesInDir(), 1u);
}

// Files put in place together: each stands or fails alone, the previous
// contents stay where one fails, and no temporary is ever left behind.
TEST_F(FileIo, StagedFilesArePlacedTogetherAndFailAlone) {
  writeFileAtomic(dir / "kept.pdb", test::recordImage(2));
  fs::create_directory(dir / "taken.pdb");
  Database db;
  db.name = "Staged";
  db.records.push_back(Record{0, 1, {1, 2, 3}});
  std::vector<StagedFile> files;
  files.push_back(stageDatabase(dir / "kept.pdb", db));
  files.push_back(stageFile(dir / "taken.pdb", test::recordImage(2)));
  files.push_back(stageFile(dir / "new.pdb", test::resourceImage()));
  { const StagedFile dropped = stageFile(dir / "dropped.pdb", test::recordImage(2)); }
  EXPECT_EQ(filesInDir(), 5u);  // kept, taken and the three temporaries

  const std::vector<std::string> errors = placeStaged(std::move(files), true);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0], "");
  EXPECT_EQ(errors[1].rfind((dir / "taken.pdb").string() + ": cannot rename into place", 0), 0u) << errors[1];
  EXPECT_EQ(errors[2], "");
  EXPECT_EQ(readFile(dir / "kept.pdb").original, serialize(db));
  EXPECT_EQ(readFile(dir / "new.pdb").original, test::resourceImage());
  EXPECT_TRUE(fs::is_directory(dir / "taken.pdb"));
  EXPECT_EQ(filesInDir(), 3u);
}

TEST_F(FileIo, FailuresNameThePathAndLeaveNothingBehind) {
  EXPECT_THROW(writeFileAtomic(dir / "missing" / "x.pdb", test::recordImage(2)), std::runtime_error);
  fs::create_directory(dir / "taken.pdb");  // the rename fails after the temporary was written
  EXPECT_THROW(writeFileAtomic(dir / "taken.pdb", test::recordImage(2)), std::runtime_error);
  EXPECT_EQ(filesInDir(), 1u);

  std::vector<uint8_t> cut = test::recordImage(2);
  cut.resize(100);  // the list runs past the end
  writeFileAtomic(dir / "cut.pdb", cut);
  for (const fs::path& p : {dir / "absent.pdb", dir / "cut.pdb", dir / "taken.pdb"}) {
    try {
      readFile(p);
      ADD_FAILURE() << p << " was read";
    } catch (const FormatError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(p.string() + ": ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace pdb
