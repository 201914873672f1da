// The engine's set-up and driver against a simulated handheld.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "engine/tarvo_conduit.h"
#include "handheld/palm_sync.h"
#include "hotsync/host.h"
#include "recording_views.h"
#include "settings/settings_store.h"
#include "test_world.h"
#include "ui/progress/conduit_progress.h"

namespace fs = std::filesystem;

namespace {

using tarvo::test::TestModule;

class EngineTest : public ::testing::Test {
 protected:
  void Connect(const std::string& user = "Demo User", const std::vector<TestModule>& modules = {}) {
    const fs::path dir = m_world.MakeHandheld(user, 42, modules);
    std::string error;
    ASSERT_TRUE(hotsync::connectHandheld(dir, &error)) << error;
    hotsync::setHotSyncThread();
    g_pMobileDeviceSync = new CPalmSync();
  }
  void TearDown() override {
    hotsync::setYieldPump({});
    delete g_pMobileDeviceSync;
    g_pMobileDeviceSync = nullptr;
    if (hotsync::handheldConnected()) hotsync::disconnectHandheld();
    unsetenv("TARVO_TRACE");
  }
  static tarvo::SettingsStore Settings() { return tarvo::AppSettings(); }

  // The server slices the driver announced, from its trace lines.
  std::vector<std::pair<int, int>> RunAndReadSlices() {
    const fs::path trace = m_world.root() / "trace.log";
    setenv("TARVO_TRACE", trace.c_str(), 1);
    CTarvoConduit engine;
    EXPECT_TRUE(engine.Engage());
    unsetenv("TARVO_TRACE");
    const std::string text = tarvo::test::ReadFile(trace);
    std::vector<std::pair<int, int>> slices;
    const std::regex line(R"(m_rangemin >(-?\d+)<[^\n]*\n[^\n]*m_rangemax >(-?\d+)<)");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
      slices.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    }
    return slices;
  }

  tarvo::test::TempWorld m_world;
  tarvo::test::RecordingViews m_views;
};

TEST_F(EngineTest, ChoiceOfDoingNothingIsUsedOnceAndDefaultComesNext) {
  Connect();
  Settings().WriteInt("Demo User", "proximo", 0);
  Settings().WriteInt("Demo User", "padrao", 1);
  const bool first = CTarvoConduit().Engage();
  EXPECT_FALSE(first);
  EXPECT_EQ(m_views.record().created, 0);  // no dialog when nothing is done
  const bool second = CTarvoConduit().Engage();
  EXPECT_TRUE(second);

  Settings().WriteInt("Demo User", "padrao", 0);
  const bool third = CTarvoConduit().Engage();  // still "proximo" 1 from before
  const bool fourth = CTarvoConduit().Engage();
  EXPECT_TRUE(third);
  EXPECT_FALSE(fourth);
  EXPECT_EQ(m_views.record().created, 2);
}

TEST_F(EngineTest, IdentityGoesIntoTheBaseParameters) {
  // A trailing form feed survives device.conf but not the engine's trim.
  Connect(
      "Ana L\xC3\xBA"
      "cia\f");
  CTarvoConduit engine;
  ASSERT_TRUE(engine.Initialize());
  EXPECT_EQ(engine.m_baseParams, "&conduit=1.00f&palmos=4.1&processor=196608&userid=42&username=Ana%20L%facia");
  EXPECT_EQ(std::string(engine.m_userInfo.m_pName),
            "Ana L\xFA"
            "cia\f");
  // The per-user settings use the name exactly as the handheld gave it.
  EXPECT_EQ(Settings().ReadInt("Ana L\xFA"
                               "cia\f",
                               "proximo", -1),
            1);
  ASSERT_NE(engine.m_dlgprg, nullptr);
  EXPECT_EQ(engine.m_pHttp, &engine.m_dlgprg->m_http);
}

TEST_F(EngineTest, HttpClientTakesTimeoutAgentAndProxySettings) {
  Connect();
  {
    CTarvoConduit engine;  // a fresh store
    ASSERT_TRUE(engine.Initialize());
    EXPECT_EQ(engine.m_pHttp->m_timeout, 60000);
    EXPECT_EQ(engine.m_pHttp->m_userAgent, "Tarvo Sync 1.0");
    EXPECT_EQ(engine.m_pHttp->m_proxy, "");
  }
  Settings().WriteInt("Comunicacao", "timeout", 30);
  Settings().WriteText("Comunicacao", "proxyhost", "proxy.local");
  Settings().WriteInt("Comunicacao", "usarautenticacao", 1);  // without usarproxy: ignored
  Settings().WriteText("Comunicacao", "proxyusuario", "CORP\\ana");
  Settings().WriteText("Comunicacao", "proxysenha", "097098099");
  {
    CTarvoConduit engine;
    ASSERT_TRUE(engine.Initialize());
    EXPECT_EQ(engine.m_pHttp->m_timeout, 30000);
    EXPECT_EQ(engine.m_pHttp->m_proxy, "");
    EXPECT_EQ(engine.m_pHttp->m_proxyUser, "");
  }
  Settings().WriteInt("Comunicacao", "usarproxy", 1);
  {
    CTarvoConduit engine;  // "proxyport" missing: the host alone
    ASSERT_TRUE(engine.Initialize());
    EXPECT_EQ(engine.m_pHttp->m_proxy, "proxy.local");
    EXPECT_EQ(engine.m_pHttp->m_proxyUser, "CORP\\ana");
    EXPECT_EQ(engine.m_pHttp->m_proxyPassword, "abc");
  }
  Settings().WriteInt("Comunicacao", "proxyport", 8080);
  Settings().WriteInt("Comunicacao", "timeout", 3000000);  // seconds that overflow 32-bit milliseconds
  {
    CTarvoConduit engine;
    ASSERT_TRUE(engine.Initialize());
    EXPECT_EQ(engine.m_pHttp->m_proxy, "proxy.local:8080");
    EXPECT_EQ(engine.m_pHttp->m_timeout, INT32_MAX);
  }
}

TEST_F(EngineTest, TemporaryFolderIsPrivate) {
  Connect();
  const fs::path tmp = m_world.cacheHome() / "tarvo" / "tmp";
  fs::create_directories(tmp);
  chmod(tmp.c_str(), 0755);
  {
    CTarvoConduit engine;
    ASSERT_TRUE(engine.Initialize());
    EXPECT_EQ(engine.m_tempPath, tmp.string() + "/");
  }
  struct stat info {};
  ASSERT_EQ(stat(tmp.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // A link planted in its place is not followed.
  fs::remove_all(tmp);
  fs::create_directories(m_world.root() / "elsewhere");
  fs::create_directory_symlink(m_world.root() / "elsewhere", tmp);
  CTarvoConduit engine;
  ASSERT_TRUE(engine.Initialize());
  EXPECT_EQ(engine.m_tempPath, "");
}

TEST_F(EngineTest, EmptyHandheldOpensAndClosesTheDialog) {
  Connect();
  CTarvoConduit engine;
  EXPECT_TRUE(engine.Engage());
  EXPECT_EQ(engine.m_dlgprg, nullptr);
  EXPECT_EQ(engine.m_pHttp, nullptr);
  EXPECT_EQ(m_views.record().created, 1);
  EXPECT_EQ(m_views.record().closed, 1);
}

TEST_F(EngineTest, ServersShareTheBarAfterDiscovery) {
  const std::string base = "http://127.0.0.1:" + std::to_string(tarvo::test::FreeLoopbackPort());
  Connect("Demo User", {{"Tarvo", "appl", base + "/one"}});
  EXPECT_EQ(RunAndReadSlices(), (std::vector<std::pair<int, int>>{{20, 100}}));
}

TEST_F(EngineTest, ThreeServersGetEqualSlicesThatStopShortOf100) {
  const std::string base = "http://127.0.0.1:" + std::to_string(tarvo::test::FreeLoopbackPort());
  Connect("Demo User",
          {{"News", "DATA", base + "/a"}, {"Sports", "DATA", base + "/b"}, {"Weather", "DATA", base + "/c"}});
  EXPECT_EQ(RunAndReadSlices(), (std::vector<std::pair<int, int>>{{20, 46}, {46, 72}, {72, 98}}));
  EXPECT_EQ(m_views.record().closed, 1);
}

TEST_F(EngineTest, CancelDuringDiscoveryEndsTheSyncWithoutServers) {
  const std::string base = "http://127.0.0.1:" + std::to_string(tarvo::test::FreeLoopbackPort());
  Connect("Demo User", {{"News", "DATA", base + "/a"}});
  hotsync::setYieldPump(&ProgressPump);  // what the conduit does during a sync
  m_views.record().cancelOnPoll = 1;
  CTarvoConduit engine;
  EXPECT_FALSE(engine.Engage());
  EXPECT_EQ(engine.m_dlgprg, nullptr);
  EXPECT_EQ(m_views.record().closed, 1);
  EXPECT_TRUE(engine.m_modules.empty());
}

TEST_F(EngineTest, FinalizeIsSafeTwiceAndWithoutAHandheld) {
  Connect("Demo User", {{"News", "DATA", ""}});
  {
    CTarvoConduit engine;
    ASSERT_TRUE(engine.Initialize());
    engine.GetModules();
    ASSERT_NE(engine.dblist, nullptr);
    engine.Finalize();
    EXPECT_EQ(engine.m_dlgprg, nullptr);
    EXPECT_EQ(engine.dblist, nullptr);
    engine.Finalize();
  }  // and the destructor a third time
  EXPECT_EQ(m_views.record().closed, 1);

  delete g_pMobileDeviceSync;
  g_pMobileDeviceSync = nullptr;
  CTarvoConduit engine;
  EXPECT_FALSE(engine.Engage());  // no handheld access object: refused, not a crash
}

}  // namespace
