// From the modules' tags to the ordered servers and their modules.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/tarvo_conduit.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace {

namespace fs = std::filesystem;

struct ModuleSpec {
  std::string name, type, param;
};

struct ServerExpect {
  std::string url;
  std::vector<std::string> modules;
  std::string related;
};

std::string Tags(const std::string& server, const std::string& more = "") {
  return "ZembraParameterBlock|__tarvo_sync_server:" + server + ";" + more;
}

class Servers : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tarvo-srv-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    tarvo::SetSettingsFile(dir_ / "settings.sqlite");
  }
  void TearDown() override {
    tarvo::SetSettingsFile({});
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  static std::vector<ServerExpect> Run(const std::vector<ModuleSpec>& specs) {
    CTarvoConduit engine;
    for (const auto& spec : specs) {
      CTarvoModule module;
      module.sName = spec.name;
      module.sDbtype = spec.type;
      module.sParam = spec.param;
      engine.m_modules.push_back(module);
    }
    const int32_t count = engine.GetServers();
    EXPECT_EQ(count, static_cast<int32_t>(engine.m_servers.size()));
    std::vector<ServerExpect> out;
    for (const auto& server : engine.m_servers) {
      ServerExpect got{server.sUrl, {}, server.sRelated};
      for (const auto& module : server.modules) got.modules.push_back(module.sName);
      out.push_back(got);
    }
    return out;
  }

  fs::path dir_;
};

void ExpectServers(const std::vector<ServerExpect>& got, const std::vector<ServerExpect>& want,
                   const std::string& label) {
  ASSERT_EQ(got.size(), want.size()) << label;
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].url, want[i].url) << label << " server " << i;
    EXPECT_EQ(got[i].modules, want[i].modules) << label << " server " << i;
    EXPECT_EQ(got[i].related, want[i].related) << label << " server " << i;
  }
}

TEST_F(Servers, OrderAndAssignment) {
  const std::string def = DefaultSyncServerUrl();
  struct Case {
    std::string label;
    std::vector<ModuleSpec> modules;
    std::vector<ServerExpect> servers;
  };
  const std::vector<Case> cases = {
      {"named servers newest first, default last",
       {{"A", "DATA", Tags("X")}, {"B", "DATA", Tags("Y")}, {"C", "DATA", ""}, {"D", "DATA", Tags("X")}},
       {{"Y", {"B"}, ""}, {"X", {"A", "D"}, ","}, {def, {"C"}, ""}}},
      {"untagged module goes to the default server", {{"M", "DATA", ""}}, {{def, {"M"}, ""}}},
      {"application joins the last server",
       {{"App", "appl", Tags("X")}, {"News", "DATA", Tags("X")}},
       {{"X", {"App", "News"}, ","}}},
      {"no module of the default server",
       {{"A", "DATA", Tags("X")}, {"B", "DATA", Tags("Y")}},
       {{"Y", {"B"}, ""}, {"X", {"A"}, ""}}},
      {"unterminated server tag means none",
       {{"A", "DATA", "ZembraParameterBlock|__tarvo_sync_server:http://x/s"}},
       {{def, {"A"}, ""}}},
      {"empty type is claimed by the first server, the empty default is dropped",
       {{"A", "DATA", Tags("X")}, {"B", "DATA", Tags("Y")}, {"E", "", ""}},
       {{"Y", {"B", "E"}, ""}, {"X", {"A"}, ""}}},
      {"URLs compare with case",
       {{"A", "DATA", Tags("http://h/s")}, {"B", "DATA", Tags("http://H/s")}},
       {{"http://H/s", {"B"}, ""}, {"http://h/s", {"A"}, ""}}},
      {"related types follow their server",
       {{"A", "DATA", Tags("X", "__tarvo_sync_related:sTbl,sIdx;")},
        {"B", "DATA", Tags("X", "__tarvo_sync_related:sAux;")},
        {"Tbl", "sTbl", ""}},
       {{"X", {"A", "B", "Tbl"}, "sTbl,sIdx,sAux"}}},
  };
  for (const auto& c : cases) ExpectServers(Run(c.modules), c.servers, c.label);
}

TEST_F(Servers, FlagsAndCaptionOfAServer) {
  CTarvoConduit engine;
  for (const auto& param :
       {Tags("X", "__tarvo_sync_caption:First;"), Tags("X", "__tarvo_sync_caption:Second;__tarvo_sync_dontsave:1;"),
        Tags("X", "__tarvo_sync_dontsave:yes;")}) {
    CTarvoModule module;
    module.sDbtype = "DATA";
    module.sParam = param;
    engine.m_modules.push_back(module);
  }
  ASSERT_EQ(engine.GetServers(), 1);
  EXPECT_EQ(engine.m_servers[0].sCaption, "First");
  EXPECT_TRUE(engine.m_servers[0].bDontSave);
  EXPECT_FALSE(engine.m_modules[2].IsDontSave());  // only "1" sets it
}

TEST_F(Servers, ServerOfAModule) {
  CTarvoModule module;
  EXPECT_EQ(module.GetSyncServer(), DefaultSyncServerUrl());
  tarvo::AppSettings().WriteText(tarvo::settings::kComunicacao, tarvo::settings::kSyncServer, "http://corp/s");
  EXPECT_EQ(module.GetSyncServer(), "http://corp/s");  // read afresh, never cached
  module.sParam = Tags("http://own/s", "__tarvo_timestamp:1;");
  EXPECT_EQ(module.GetSyncServer(), "http://own/s");
  EXPECT_EQ(module.GetTag("__tarvo_timestamp:"), "1");
  EXPECT_EQ(module.GetTag("__tarvo_missing:"), "");

  CTarvoServer server;
  server.SetUrl("");
  EXPECT_EQ(server.sUrl, DefaultSyncServerUrl());
}

}  // namespace
