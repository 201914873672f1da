#include "file_store.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

using namespace tarvo::server;
namespace fs = std::filesystem;

namespace {

class FileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("syncserver-files-" + std::to_string(::getpid()));
    fs::remove_all(base_);
    fs::create_directories(base_ / "root" / "sub");
    write(base_ / "root" / "sub" / "News.pdb", std::string("\x00\x01\xE9", 3));
    write(base_ / "secret.txt", "outside");
    fs::create_symlink(base_ / "secret.txt", base_ / "root" / "link.txt");
  }
  void TearDown() override { fs::remove_all(base_); }
  static void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  fs::path base_;
};

}  // namespace

TEST_F(FileStoreTest, ServesFilesInsideTheFolderByteForByte) {
  FileStore store(base_ / "root");
  EXPECT_EQ(store.read("/files/sub/News.pdb"), std::string("\x00\x01\xE9", 3));
  EXPECT_EQ(store.read("/files//sub/./News.pdb"), std::string("\x00\x01\xE9", 3));
  EXPECT_EQ(store.read("/files/sub/none.pdb"), std::nullopt);
  EXPECT_EQ(store.read("/files/sub"), std::nullopt);  // a folder
  EXPECT_EQ(store.read("/files/"), std::nullopt);
  EXPECT_EQ(store.read("/other/sub/News.pdb"), std::nullopt);
}

TEST_F(FileStoreTest, NeverReachesOutsideTheFolder) {
  FileStore store(base_ / "root");
  EXPECT_EQ(store.read("/files/../secret.txt"), std::nullopt);
  EXPECT_EQ(store.read("/files/sub/../../secret.txt"), std::nullopt);
  EXPECT_EQ(store.read("/files/link.txt"), std::nullopt);
  EXPECT_EQ(store.read("/files/" + (base_ / "secret.txt").string()), std::nullopt);
  EXPECT_EQ(store.read(std::string("/files/sub/News.pdb\0.txt", 24)), std::nullopt);
}
