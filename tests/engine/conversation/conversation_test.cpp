// Conversations with scripted servers: the requests a server receives, byte
// for byte, for the answers it gives; dispatch; the login's credentials.
#include <gtest/gtest.h>

#include "engine/commands/login_prompt.h"
#include "engine_harness.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui/progress/conduit_progress.h"

#ifndef CONVERSATION_DATA
#error "CONVERSATION_DATA must name the folder of the conversation files"
#endif

namespace {

using testing_support::EngineHarness;
using testing_support::Exchange;
using testing_support::MakeDatabase;
using testing_support::ParameterRecord;
using testing_support::ReadConversation;
using testing_support::ScriptedServer;

std::vector<Exchange> Script(ScriptedServer& server, const std::string& name) {
  const auto exchanges = ReadConversation(std::filesystem::path(CONVERSATION_DATA) / name);
  EXPECT_FALSE(exchanges.empty()) << name;
  for (const auto& exchange : exchanges) server.Queue({exchange.answer});
  return exchanges;
}

void ExpectRequests(const ScriptedServer& server, const std::vector<Exchange>& script) {
  const auto sent = server.Requests();
  ASSERT_EQ(sent.size(), script.size());
  for (std::size_t i = 0; i < script.size(); ++i) EXPECT_EQ(sent[i].body, script[i].request) << "request " << i;
}

class Conversation : public ::testing::Test {
 protected:
  void TearDown() override { SetLoginPrompt({}); }

  // The handheld application and one data module, served by `url` through
  // the "syncserver" setting.
  void HandheldWithNews(const std::string& url) {
    auto app = MakeDatabase("Tarvo", "appl", "Tarv");
    app.version = 7;
    hh.AddDatabase(app);
    hh.AddDatabase(MakeDatabase("News", "DATA", "Tarv",
                                {ParameterRecord("ZembraParameterBlock|__tarvo_sync_caption:Not\xED"
                                                 "cias;")}));
    tarvo::AppSettings().WriteText(tarvo::settings::kComunicacao, tarvo::settings::kSyncServer, url);
    hh.Connect();
    ASSERT_EQ(hh.engine->GetModules(), 2);
    ASSERT_EQ(hh.engine->GetServers(), 1);
  }

  EngineHarness hh;
};

TEST_F(Conversation, LoginDeviceAndListUntilNoCommandIsLeft) {
  ScriptedServer server;
  const auto script = Script(server, "login_device_list.conv");
  HandheldWithNews(server.Url());
  tarvo::AppSettings().WriteText(tarvo::settings::UserServerSection("Ann", server.Url()), "login", "097110110");
  tarvo::AppSettings().WriteText(tarvo::settings::UserServerSection("Ann", server.Url()), "senha", "049050051");
  CTarvoConduit& e = *hh.engine;
  e.m_dlgprg->m_rangemin = 20;
  e.m_dlgprg->m_rangemax = 100;

  e.RunServer(e.m_servers.front());
  ExpectRequests(server, script);
  EXPECT_TRUE(e.m_commands.empty());
  EXPECT_EQ(e.m_device_id, "");  // the last device command had an empty id
  EXPECT_EQ(e.m_credentials, "login=097110110&senha=049050051");
  // The second list found three commands: a quarter of what was left each.
  EXPECT_GT(e.m_cmdStep, 0);
  EXPECT_LE(e.m_dlgprg->m_rangemin, e.m_dlgprg->m_rangemax);
}

TEST_F(Conversation, ServersAreVisitedInOrderEachWithItsModules) {
  ScriptedServer first, second;
  auto sports = MakeDatabase("Sports", "DATA", "Tarv",
                             {ParameterRecord("ZembraParameterBlock|__tarvo_sync_server:" + second.Url() + ";")});
  hh.AddDatabase(sports);
  hh.AddDatabase(MakeDatabase("News", "DATA", "Tarv"));
  tarvo::AppSettings().WriteText(tarvo::settings::kComunicacao, tarvo::settings::kSyncServer, first.Url());
  hh.Connect();
  CTarvoConduit& e = *hh.engine;
  ASSERT_EQ(e.GetModules(), 2);
  ASSERT_EQ(e.GetServers(), 2);
  for (ScriptedServer* s : {&first, &second}) {
    s->Queue({"<tarvoconduit><list/></tarvoconduit>"});
    s->Queue({"<tarvoconduit></tarvoconduit>"});
  }
  while (!e.m_servers.empty() && !e.m_dlgprg->m_cancel) {
    CTarvoServer server = e.m_servers.front();
    e.m_servers.pop_front();
    e.RunServer(server);
  }
  const auto a = first.Requests();
  const auto b = second.Requests();
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_LT(a.back().sequence, b.front().sequence);  // the server made last goes first
  EXPECT_EQ(b[0].body.rfind("language=PT&cmd=login&", 0), 0u);
  EXPECT_NE(b[1].body.find("&modulo=Sports&"), std::string::npos);
  EXPECT_EQ(b[1].body.find("News"), std::string::npos);
  EXPECT_NE(a[1].body.find("&modulo=News&"), std::string::npos);
}

TEST_F(Conversation, InvalidLoginAsksTheUserAndRemembers) {
  ScriptedServer server;
  const auto script = Script(server, "fresh_credentials.conv");
  HandheldWithNews(server.Url());
  LoginPromptRequest asked;
  int prompts = 0;
  SetLoginPrompt([&](const LoginPromptRequest& request) {
    asked = request;
    ++prompts;
    return LoginPromptAnswer{true, "jo", "pw", true};
  });
  hh.engine->RunServer(hh.engine->m_servers.front());
  ExpectRequests(server, script);
  EXPECT_EQ(prompts, 1);  // an empty stored login is sent, not asked for
  EXPECT_TRUE(asked.corporate);
  EXPECT_EQ(asked.host, "127.0.0.1");
  EXPECT_EQ(asked.countdownSeconds, 30);
  const std::string section = tarvo::settings::UserServerSection("Ann", server.Url());
  EXPECT_EQ(tarvo::AppSettings().ReadText(section, "login", ""), "106111");
  EXPECT_EQ(tarvo::AppSettings().ReadText(section, "senha", ""), "112119");
  // The caption of the module that made the server (the application: none).
  EXPECT_EQ(tarvo::AppSettings().ReadText(section, "nome", "-"), "");
}

TEST_F(Conversation, DefaultServerCredentialsAndEmptyAnswer) {
  ScriptedServer server;
  hh.Connect();
  CTarvoConduit& e = *hh.engine;
  tarvo::AppSettings().WriteText("Ann", "login", "097");
  tarvo::AppSettings().WriteText("Ann", "senha", "098");
  server.Queue({""});
  // The url attribute moves the post; the credentials are still the default server's.
  const std::string cmd = "login url=\"" + server.Url() + "\"";
  EXPECT_EQ(e.RunCommandLogin(cmd, DefaultSyncServerUrl(), CTarvoServer()), 12007);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].body, "language=PT&cmd=login&login=097&senha=098" + e.m_baseParams);

  // A stored "none" asks; the default server's dialog has its own countdown.
  tarvo::AppSettings().WriteText("Ann", "login", "none");
  LoginPromptRequest asked;
  SetLoginPrompt([&](const LoginPromptRequest& request) {
    asked = request;
    return LoginPromptAnswer{};
  });
  EXPECT_EQ(e.RunCommandLogin(cmd, DefaultSyncServerUrl(), CTarvoServer()), 0);
  EXPECT_FALSE(asked.corporate);
  EXPECT_EQ(asked.countdownSeconds, 60);
  EXPECT_EQ(asked.titleSuffix, "Tarvo");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(Conversation, Dispatch) {
  hh.Connect();
  CTarvoConduit& e = *hh.engine;
  e.RunCommand(R"(DEVICE id="5")", "", CTarvoServer());
  EXPECT_EQ(e.m_device_id, "5");
  e.RunCommand(R"(devices id="6")", "", CTarvoServer());  // not a known word
  e.RunCommand(R"(pput url="x")", "", CTarvoServer());    // recognised, handled later
  EXPECT_EQ(e.m_device_id, "5");
  e.m_dlgprg->m_cancel = true;
  e.RunCommand(R"(device id="7")", "", CTarvoServer());
  EXPECT_EQ(e.m_device_id, "5");
}

TEST_F(Conversation, ListSpreadsTheSliceOverTheQueuedCommands) {
  ScriptedServer server;
  HandheldWithNews(server.Url());
  CTarvoConduit& e = *hh.engine;
  e.m_dlgprg->m_rangemin = 20;
  e.m_dlgprg->m_rangemax = 60;
  server.Queue({"<tarvoconduit><a/><b/><c/></tarvoconduit>"});
  e.RunCommandListModules("list", server.Url(), e.m_servers.front());
  EXPECT_EQ(e.m_cmdStep, 10);  // 40 / (3 + 1)
  while (!e.m_commands.empty()) e.RunNextCommand(server.Url(), e.m_servers.front());
  EXPECT_EQ(e.m_dlgprg->m_rangemin, 50);
}

TEST_F(Conversation, CancelDuringASlowAnswerEndsTheConversation) {
  ScriptedServer server(hh.cancelWhen);
  HandheldWithNews(server.Url());
  CTarvoConduit& e = *hh.engine;
  server.Queue({"<tarvoconduit><list/></tarvoconduit>", 200, true});
  e.RunServer(e.m_servers.front());
  EXPECT_TRUE(e.m_dlgprg->m_cancel);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(e.m_commands.empty());  // the answer never arrived
  e.Finalize();
  server.Release();
  EXPECT_EQ(e.m_dlgprg, nullptr);
  EXPECT_FALSE(e.m_pageWorker.joinable());
}

}  // namespace
