#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "resources/trace.h"

namespace {

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvo-trace-XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = pattern;
  }
  void TearDown() override {
    unsetenv("TARVO_TRACE");
    unlink(path_.c_str());
  }
  std::string Contents() const {
    std::ifstream in(path_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string path_;
};

TEST_F(TraceTest, SilentUnlessEnabledThenAppendsWholeLines) {
  unsetenv("TARVO_TRACE");
  TarvoTrace("hidden %d", 1);
  DebugOutput("hidden too");
  setenv("TARVO_TRACE", path_.c_str(), 1);
  TarvoTrace("CTarvoConduit::RunServer(%s) %d", "S", 7);
  DebugOutput("swallowed\n");
  std::string long_text(2000, 'x');
  TarvoTrace("%s", long_text.c_str());
  std::string text = Contents();
  EXPECT_EQ(text.find("hidden"), std::string::npos);
  EXPECT_NE(text.find("CTarvoConduit::RunServer(S) 7\n"), std::string::npos);
  EXPECT_NE(text.find("swallowed\n"), std::string::npos);
  EXPECT_EQ(text.find("swallowed\n\n"), std::string::npos);
  EXPECT_NE(text.find(long_text + "\n"), std::string::npos);
}

TEST_F(TraceTest, LinesFromManyThreadsDoNotInterleave) {
  setenv("TARVO_TRACE", path_.c_str(), 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) TarvoTrace("thread %d line %d end", t, i);
    });
  for (auto& th : threads) th.join();
  std::istringstream in(Contents());
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    EXPECT_NE(line.find(" end"), std::string::npos) << line;
    EXPECT_EQ(line.find("thread", line.find("thread") + 1), std::string::npos) << line;
    ++count;
  }
  EXPECT_EQ(count, 800);
}

}  // namespace
