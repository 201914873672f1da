// A whole HotSync whose server uses every command once, against the
// reference server: the requests byte for byte, then the handheld, the logs,
// the install queue and what the desktop was asked to open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "command_world.h"
#include "engine/commands/conduit_checksum.h"
#include "hotsync/host.h"
#include "http/url_encoding.h"

using namespace cmdtest;

namespace {

std::string ParameterRecord(const std::string& url) {
  return std::string(4, '\0') + "ZembraParameterBlock|__tarvo_sync_server:" + url + ";" + '\0';
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// "== TARGET" lines, each followed by the body on one line; @URL@ stands for
// the server's address as a form value.
std::vector<LoggedRequest> ExpectedRequests(const fs::path& file, const std::string& url) {
  std::vector<LoggedRequest> requests;
  const std::vector<std::string> lines = ReadLines(file);
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
    requests.push_back({"POST", lines[i].substr(3),
                        Replace(lines[i + 1], "@URL@", FullURLEncode(url.data(), static_cast<int32_t>(url.size())))});
  }
  return requests;
}

}  // namespace

TEST(Conversation, EveryCommandAgainstTheReferenceServer) {
  CommandWorld world;
  const fs::path opened = world.root / "opened.txt";
  const fs::path opener = world.root / "opener.sh";
  WriteFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + opened.string() + "\"\n");
  chmod(opener.c_str(), 0700);
  setenv("TARVO_OPENER", opener.c_str(), 1);

  // The installer: text with CR LF line ends, two full chunks of it.
  std::string installer;
  while (installer.size() < 2100) installer += "echo installing\r\n";
  const fs::path setup = world.root / "setup.bin";
  WriteFile(setup, installer);
  const std::string crc = std::to_string(tarvo::engine::ConduitFileChecksum(setup.string()));

  const std::string script = Replace(ReadFile(fs::path(COMMANDS_DATA) / "every_command.json"), "@CRC@", crc);
  SyncServer server;
  ASSERT_TRUE(server.play(world.root / "server", script));
  WriteFile(server.files() / "setup.bin", installer);
  const std::vector<uint8_t> extra = pdb::serialize(RecordDb("Extra", {"e1"}));
  WriteFile(server.files() / "Extra.pdb", std::string(extra.begin(), extra.end()));

  const std::string url = server.base() + "/sync.asp";
  world.AddDatabase(RecordDb("News", {"velho", "apagar", ParameterRecord(url)}));
  world.AddDatabase(RecordDb("Old", {"x"}));
  ASSERT_TRUE(world.Connect());
  // A fresh engine for the whole HotSync, as OpenConduit makes it.
  world.engine = std::make_unique<CTarvoConduit>();
  world.engine->m_installTarget = CommandWorld::kUser;
  ASSERT_TRUE(world.engine->Engage());

  const auto expected = ExpectedRequests(fs::path(COMMANDS_DATA) / "every_command.requests", url);
  const auto requests = server.requests();
  std::string seen;
  for (const LoggedRequest& r : requests) seen += "== " + r.target + "\n" + r.body + "\n";
  ASSERT_EQ(requests.size(), expected.size()) << seen;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].target, expected[i].target) << "request " << i + 1;
    EXPECT_EQ(requests[i].body, expected[i].body) << "request " << i + 1;
  }

  EXPECT_EQ(world.HandheldLog(), "Bem-vindo. Tarvo: Extra\nFim.");
  const auto desktop = world.DesktopLog();
  ASSERT_FALSE(desktop.empty());
  EXPECT_TRUE(desktop[0].ends_with("\t-1\tBem-vindo. "));

  // The host's install step at the next HotSync.
  EXPECT_EQ(hotsync::installQueuedFiles(nullptr), 1);
  world.Disconnect();
  EXPECT_EQ(world.Database("Old"), nullptr);
  ASSERT_NE(world.Database("Extra"), nullptr);
  const auto news = world.Database("News");
  ASSERT_NE(news, nullptr);
  ASSERT_EQ(news->records.size(), 2u);
  EXPECT_EQ(news->records[0].data, std::vector<uint8_t>({'n', 'o', 'v', 'o', ' ', 't', 'e', 'x', 't', 'o', 0}));

  // The opener ran once for the web page and once for the installer.
  std::vector<std::string> lines;
  for (int i = 0; i < 2000 && lines.size() < 2; ++i) {
    lines = ReadLines(opened);
    if (lines.size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::sort(lines.begin(), lines.end());
  const std::string cache = (world.root / "cache" / "tarvo" / "tmp" / "setup.bin").string();
  EXPECT_EQ(lines, (std::vector<std::string>{cache, "https://www.tarvo.example/novidades?v=2"}));
}
