#include "resources/trace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Trace, SilentUnlessEnabledThenWholeLinesFromManyThreads) {
  char path[] = "/tmp/tarvo-trace-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);

  unsetenv("TARVO_TRACE");
  TarvoTrace("hidden %d", 1);
  DebugOutput("hidden");
  setenv("TARVO_TRACE", path, 1);
  DebugOutput("swallowed\n");       // already ends its line
  std::string longText(2000, 'x');  // longer than the stack buffer
  TarvoTrace("%s", longText.c_str());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) TarvoTrace("thread %d line %d end", t, i);
    });
  for (auto& th : threads) th.join();
  unsetenv("TARVO_TRACE");

  std::ifstream in(path);
  std::string line;
  int threadLines = 0;
  std::vector<std::string> others;
  while (std::getline(in, line)) {
    if (line.find("thread") == std::string::npos) {
      others.push_back(line);
      continue;
    }
    // One message per line, never two mixed.
    EXPECT_EQ(line.find("thread", line.find("thread") + 1), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 4), " end") << line;
    ++threadLines;
  }
  unlink(path);
  EXPECT_EQ(threadLines, 800);
  ASSERT_EQ(others.size(), 2u);
  EXPECT_NE(others[0].find("swallowed"), std::string::npos);
  EXPECT_NE(others[1].find(longText), std::string::npos);
}

}  // namespace
