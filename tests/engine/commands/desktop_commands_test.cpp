// logmessage, openbrowser and conduit: the HotSync logs and what the
// desktop's opener is asked to open (a script stands in for xdg-open).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "command_world.h"
#include "engine/shell_open.h"

using namespace cmdtest;

namespace {

class DesktopCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The opener records its arguments, one per line, in a file of its own
    // per start, so a test can wait for each.
    opened = world.root / "opened";
    fs::create_directories(opened);
    const fs::path opener = world.root / "opener.sh";
    WriteFile(
        opener,
        "#!/bin/sh\nout=\"" + opened.string() +
            "/$$\"\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part\"\nmv \"$out.part\" \"$out\"\n");
    chmod(opener.c_str(), 0700);
    setenv("TARVO_OPENER", opener.c_str(), 1);
    ASSERT_TRUE(server.play(world.root / "server", R"({"rules": []})"));
    ASSERT_TRUE(world.Connect());
  }
  void Run(const std::string& cmd) {
    CTarvoServer actual;
    actual.sUrl = server.base() + "/sync.asp";
    world.engine->RunCommand(cmd, actual.sUrl, actual);
  }
  // What the opener was started with, once `count` starts have finished
  // (bounded: a missing start shows as a shorter list).
  std::vector<std::string> Opened(std::size_t count) {
    std::vector<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
      seen.clear();
      for (const auto& entry : fs::directory_iterator(opened)) {
        if (entry.path().extension() != ".part") {
          for (const std::string& line : ReadLines(entry.path())) seen.push_back(line);
        }
      }
      if (seen.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::sort(seen.begin(), seen.end());
    return seen;
  }

  CommandWorld world;
  SyncServer server;
  fs::path opened;
};

}  // namespace

TEST_F(DesktopCommandsTest, LogMessageWritesWhereItsFlagsSay) {
  Run("logmessage handheld=\"1\" desktop=\"1\" message=\"Ol\xE1 \"");
  Run("logmessage handheld=\"yes\" desktop=\"0\" message=\"never\"");
  Run("logmessage desktop=\"1\" message=\"desk only\"");
  Run("logmessage handheld=\"1\" message=\"<b>\"");
  EXPECT_EQ(world.HandheldLog(), "Ol\xC3\xA1 <b>");
  const auto desktop = world.DesktopLog();
  ASSERT_EQ(desktop.size(), 2u);
  EXPECT_TRUE(desktop[0].ends_with("\t-1\tOl\xC3\xA1 ")) << desktop[0];
  EXPECT_TRUE(desktop[1].ends_with("\t-1\tdesk only")) << desktop[1];
}

TEST_F(DesktopCommandsTest, OpenBrowserOpensWebAddressesOnly) {
  const std::string downloaded = world.engine->m_tempPath + "evil.desktop";
  WriteFile(downloaded, "[Desktop Entry]\nExec=false\n");
  for (const std::string url : {"file:///etc/passwd", downloaded.c_str(), "evil.desktop", "", "javascript:x",
                                " http://lead.example/", "http://", "http://a.example/\nb", "ftp://a.example/"}) {
    Run("openbrowser url=\"" + url + "\"");
  }
  Run("openbrowser url=\"https://www.example.com/a b?x=1&y=\xE9\"");
  Run("OpenBrowser url=\"HTTP://-n.example/\"");
  EXPECT_EQ(Opened(2), (std::vector<std::string>{"HTTP://-n.example/", "https://www.example.com/a b?x=1&y=\xC3\xA9"}));
}

TEST_F(DesktopCommandsTest, ConduitStartsTheDownloadOnlyWhenItsChecksumMatches) {
  std::string installer(1024, '\0');
  // Every byte but CR and 0x1A, which a text-mode read would change.
  for (std::size_t i = 0; i < installer.size(); ++i) {
    const auto b = static_cast<char>(i * 7 + 1);
    installer[i] = (b == '\r' || b == 0x1A) ? 'x' : b;
  }
  const fs::path file = server.files() / "setup.bin";
  WriteFile(file, installer);
  // Worked out apart from the product's code (a few lines of Python).
  const uint16_t crc = 48788;
  WriteFile(server.files() / "other.bin", installer);

  Run("conduit url=\"" + server.base() + "/files/other.bin\"");  // no CRC: never started
  Run("conduit url=\"" + server.base() + "/files/other.bin\" CRC=\"" + std::to_string(crc + 1) + "\"");
  Run("conduit url=\"" + server.base() + "/files/setup.bin\" crc=\"" + std::to_string(crc) + "\"");
  Run("conduit url=\"" + server.base() + "/files/missing.bin\" crc=\"0\"");  // a failed download
  EXPECT_EQ(Opened(1), (std::vector<std::string>{world.engine->m_tempPath + "setup.bin"}));
  EXPECT_EQ(ReadFile(world.engine->m_tempPath + "setup.bin"), installer);
  EXPECT_EQ(ReadFile(world.engine->m_tempPath + "other.bin"), installer);  // kept, not started
  EXPECT_EQ(world.engine->m_dlgprg->m_task, "Transferindo novo conduit");
}

TEST(ShellOpen, ReportsAnOpenerThatCannotStart) {
  setenv("TARVO_OPENER", "/nonexistent/opener", 1);
  EXPECT_EQ(tarvo::engine::ShellOpen("https://example.com/"), -1);
  unsetenv("TARVO_OPENER");
  EXPECT_EQ(tarvo::engine::OpenerProgram(), "xdg-open");
}
