// Reading files from disk and replacing them without ever leaving a
// half-written database behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "image_builder.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "pdb-io-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<uint8_t> contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::size_t entriesInDir() { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
  static fs::perms perms(const fs::path& p) { return fs::status(p).permissions(); }

  fs::path dir;
};

TEST_F(FileIo, WritesReplacesAndLeavesNoTemporaries) {
  const fs::path file = dir / "News.pdb";
  const std::vector<uint8_t> first = test::recordImage(2);
  writeFileAtomic(file, first);
  EXPECT_EQ(contents(file), first);
  EXPECT_EQ(perms(file), fs::perms::owner_read | fs::perms::owner_write);

  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::vector<uint8_t> second = test::resourceImage();
  writeFileAtomic(file, second);
  EXPECT_EQ(contents(file), second);
  EXPECT_EQ(perms(file), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  writeFileAtomic(file, {});
  EXPECT_TRUE(contents(file).empty());
  EXPECT_EQ(entriesInDir(), 1u);
}

TEST_F(FileIo, FailedWriteLeavesTheFolderAsItWas) {
  EXPECT_THROW(writeFileAtomic(dir / "missing" / "x.pdb", test::recordImage(2)), std::runtime_error);
  // Renaming onto a folder fails after the temporary was written.
  fs::create_directory(dir / "taken.pdb");
  try {
    writeFileAtomic(dir / "taken.pdb", test::recordImage(2));
    FAIL() << "wrote over a folder";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("taken.pdb"), std::string::npos) << e.what();
  }
  EXPECT_EQ(entriesInDir(), 1u);
}

TEST_F(FileIo, ReadChangeWriteRead) {
  const fs::path file = dir / "db.pdb";
  writeFileAtomic(file, test::recordImage(0));
  LoadedDatabase loaded = readFile(file);
  EXPECT_EQ(loaded.original, test::recordImage(0));
  loaded.db.records[0].data = {'n', 'e', 'w'};
  writeFileAtomic(file, loaded.image());
  EXPECT_EQ(readFile(file).db, loaded.db);
}

TEST_F(FileIo, ReadErrorsNameThePath) {
  const fs::path bad = dir / "bad.pdb";
  std::vector<uint8_t> damaged = test::recordImage(2);
  damaged.resize(60);
  writeFileAtomic(bad, damaged);
  for (const fs::path& p : {dir / "absent.pdb", bad, dir}) {
    try {
      readFile(p);
      FAIL() << p << " was read";
    } catch (const FormatError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(p.string() + ": ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace pdb
