// Download addresses: what a signature covers, and until when it holds.
#include "edition_links.h"

#include <gtest/gtest.h>

namespace tarvo::server {
namespace {

TEST(EditionLinks, HoldForTheirEditionAndTimeOnly) {
  const EditionLinks links("key", std::chrono::seconds(600));
  const std::string path = links.path({"News.pdb", "20240601"}, 1000);
  EXPECT_EQ(path.rfind("/files/20240601/1600/", 0), 0u) << path;
  EXPECT_TRUE(path.ends_with("/News.pdb"));  // the conduit names the download after it

  const auto link = links.check(path, 1600);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->file, "News.pdb");
  EXPECT_EQ(link->edition, "20240601");
  EXPECT_FALSE(links.check(path, 1601));  // expired

  // Another key, another time, edition or file: the signature no longer holds.
  EXPECT_FALSE(EditionLinks("other", std::chrono::seconds(600)).check(path, 1000));
  auto changed = [&](const std::string& from, const std::string& to) {
    std::string p = path;
    p.replace(p.find(from), from.size(), to);
    return links.check(p, 1000).has_value();
  };
  EXPECT_FALSE(changed("/1600/", "/9999/"));
  EXPECT_FALSE(changed("20240601", "20240501"));
  EXPECT_FALSE(changed("News.pdb", "Other.pdb"));
  EXPECT_FALSE(changed("News.pdb", "x/News.pdb"));

  for (const char* bad : {"/files/News.pdb", "/files/1/2/3", "/files/1/2/3/", "/files/a/2/3/x", "/sync"})
    EXPECT_FALSE(links.check(bad, 0)) << bad;
  EXPECT_NE(EditionLinks::new_key(), EditionLinks::new_key());
}

}  // namespace
}  // namespace tarvo::server
