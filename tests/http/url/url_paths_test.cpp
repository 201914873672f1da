#include "http/url_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameFromPath, BackslashThenSlashThenEquals) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\dir/sub\\file.prc", "file.prc"},
      {"dir/file.prc", "file.prc"},
      {"http://host/get.asp?name=x.pdb", "get.asp?name=x.pdb"},
      {"get?name=x.pdb", "x.pdb"},
      {"name=x.pdb", "x.pdb"},
      {"plain", "plain"},
      {"C:\\a\\b/c", "b/c"},  // a backslash anywhere wins over a later slash
      {"dir/", ""},
      {"", ""},
      {"caf\xE9/n\xE3o.pdb", "n\xE3o.pdb"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileNameFromPath(c.in), c.out) << c.in;
}

TEST(DirectoryOfPath, KeepsTrailingSlash) {
  EXPECT_EQ(DirectoryOfPath("/home/u/.cache/tarvo/tmp/file.prc"), "/home/u/.cache/tarvo/tmp/");
  EXPECT_EQ(DirectoryOfPath("/file"), "/");
  EXPECT_EQ(DirectoryOfPath("dir/"), "dir/");
  EXPECT_EQ(DirectoryOfPath("file.prc"), "");
  EXPECT_EQ(DirectoryOfPath(""), "");
}

}  // namespace
