// The conduit as the host uses it: dlopen, then the exports.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "hotsync/conduit_api.h"
#include "hotsync/host.h"
#include "settings/settings_store.h"
#include "test_world.h"

namespace fs = std::filesystem;

namespace {

constexpr char kOffline[] = "Tarvo - Conex\xC3\xA3o internet inativa.";  // UTF-8, as logged

std::vector<std::string> g_progressTexts;
int32_t RecordProgress(const char* text) {
  g_progressTexts.emplace_back(text);
  return 0;
}

class ConduitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_progressTexts.clear();
    // Kept mapped after dlclose, as the host does: Qt and libcurl keep
    // process-wide state that must outlive the unload.
    m_library = dlopen(TARVO_CONDUIT_FILE, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(m_library, nullptr) << dlerror();
    m_open = reinterpret_cast<OpenConduitFn>(dlsym(m_library, "OpenConduit"));
    m_name = reinterpret_cast<GetConduitNameFn>(dlsym(m_library, "GetConduitName"));
    m_version = reinterpret_cast<GetConduitVersionFn>(dlsym(m_library, "GetConduitVersion"));
    m_info = reinterpret_cast<GetConduitInfoFn>(dlsym(m_library, "GetConduitInfo"));
    m_configure = reinterpret_cast<ConfigureConduitFn>(dlsym(m_library, "ConfigureConduit"));
    ASSERT_TRUE(m_open && m_name && m_version && m_info && m_configure);
    std::memset(&m_props, 0, sizeof m_props);
    std::strcpy(m_props.m_UserName, "Demo User");
  }
  void TearDown() override {
    hotsync::setOnlineOverride(-1);
    if (hotsync::handheldConnected()) hotsync::disconnectHandheld();
    if (m_library) dlclose(m_library);
    unsetenv("TARVO_PROGRESS");
  }

  void Connect() {
    std::string error;
    ASSERT_TRUE(hotsync::connectHandheld(m_world.MakeHandheld("Demo User", 7, {}), &error)) << error;
    hotsync::setHotSyncThread();
  }

  // (activity code, text) of every desktop log entry of the user.
  std::vector<std::pair<int, std::string>> DesktopLog() {
    std::vector<std::pair<int, std::string>> entries;
    std::istringstream lines(tarvo::test::ReadFile(hotsync::userLogFile("Demo User")));
    std::string line;
    while (std::getline(lines, line)) {
      const size_t first = line.find('\t');
      const size_t second = line.find('\t', first + 1);
      if (first == std::string::npos || second == std::string::npos) continue;
      entries.emplace_back(std::stoi(line.substr(first + 1, second - first - 1)), line.substr(second + 1));
    }
    return entries;
  }

  // Runs OpenConduit with standard error going to a file; returns the result.
  int32_t OpenCapturingStderr(std::string* written) {
    const fs::path file = m_world.root() / "stderr.txt";
    const int saved = dup(STDERR_FILENO);
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDERR_FILENO);
    close(fd);
    const int32_t result = m_open(RecordProgress, m_props);
    dup2(saved, STDERR_FILENO);
    close(saved);
    *written = tarvo::test::ReadFile(file);
    return result;
  }

  tarvo::test::TempWorld m_world;
  void* m_library = nullptr;
  OpenConduitFn m_open = nullptr;
  GetConduitNameFn m_name = nullptr;
  GetConduitVersionFn m_version = nullptr;
  GetConduitInfoFn m_info = nullptr;
  ConfigureConduitFn m_configure = nullptr;
  CSyncProperties m_props;
};

TEST_F(ConduitTest, NamingExportsStayInsideTheCallersBuffers) {
  char name[8];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(m_name(name, 3), 0);
  EXPECT_EQ(std::string(name, 4), std::string("Ta\0x", 4));
  EXPECT_EQ(m_version(), 257u);
  EXPECT_EQ(m_configure(nullptr), -1);

  uint32_t request[2] = {1, 80};
  char out[16];
  uint32_t size = sizeof out;
  EXPECT_EQ(m_info(eConduitInfo, request, nullptr, nullptr), 0x1071);
  EXPECT_EQ(m_info(eConduitInfo, request, out, nullptr), 0x1077);
  EXPECT_EQ(m_info(eConduitInfo, nullptr, out, &size), 0x1074);
  request[1] = 81;
  EXPECT_EQ(m_info(eConduitInfo, request, out, &size), 0x1075);
  request[1] = 80;
  EXPECT_EQ(m_info(eConduitInfo, request, out, &size), 0);
  EXPECT_STREQ(out, "Tarvo");
  size = 0;
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(m_info(eConduitInfo, request, out, &size), 0);  // no room: nothing written
  EXPECT_EQ(out[0], 'x');

  uint32_t value = 0xDEADBEEF;
  size = 8;
  EXPECT_EQ(m_info(eMfcVersion, nullptr, &value, &size), 0x1073);
  EXPECT_EQ(value, 0xDEADBEEFu);
  size = 4;
  EXPECT_EQ(m_info(eMfcVersion, nullptr, &value, &size), 0);
  EXPECT_EQ(value, 0x600u);
  EXPECT_EQ(m_info(static_cast<ConduitInfoEnum>(3), nullptr, &value, &size), 0x1070);
}

TEST_F(ConduitTest, RefusesWithoutCallbackOrRegistration) {
  EXPECT_EQ(m_open(nullptr, m_props), -1);
  // No handheld connected: the Sync Manager refuses, and its code comes back.
  EXPECT_EQ(m_open(RecordProgress, m_props), 0x4013);
  EXPECT_TRUE(g_progressTexts.empty());
  EXPECT_FALSE(fs::exists(hotsync::userLogFile("Demo User")));
}

TEST_F(ConduitTest, OfflineLogsTheNoticeAndRunsNoEngine) {
  Connect();
  hotsync::setOnlineOverride(0);
  EXPECT_EQ(m_open(RecordProgress, m_props), 0);
  EXPECT_TRUE(g_progressTexts.empty());
  const auto log = DesktopLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], std::make_pair(-1, std::string(kOffline)));
  const auto handheld = hotsync::handheldLog();
  ASSERT_FALSE(handheld.empty());
  EXPECT_NE(handheld.back().find("Tarvo - Conex"), std::string::npos);
  // No engine: the settings were never opened.
  EXPECT_FALSE(fs::exists(m_world.root() / "config" / "tarvo" / "settings.sqlite"));
}

TEST_F(ConduitTest, SkippedAndRealSyncsBothLogTheirStartAndEnd) {
  Connect();
  hotsync::setOnlineOverride(1);
  setenv("TARVO_PROGRESS", "lines", 1);
  // The user chose "do nothing" for this HotSync only.
  tarvo::AppSettings().WriteInt("Demo User", "proximo", 0);

  std::string written;
  EXPECT_EQ(OpenCapturingStderr(&written), 1);
  EXPECT_EQ(g_progressTexts, std::vector<std::string>{"Sincronizando Tarvo"});
  EXPECT_EQ(written.find("Tarvo Sync 4.7"), std::string::npos);  // no dialog
  auto log = DesktopLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], std::make_pair(19, std::string()));
  EXPECT_EQ(log[1], std::make_pair(20, std::string("Tarvo")));

  // The registration was released, the choice used up: this one syncs.
  EXPECT_EQ(OpenCapturingStderr(&written), 1);
  EXPECT_NE(written.find("Tarvo Sync 4.7"), std::string::npos);
  log = DesktopLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2].first, 19);
  EXPECT_EQ(log[3], std::make_pair(20, std::string("Tarvo")));
}

}  // namespace
