// tarvo-hotsync configure and wizard with the real conduit: the forms on a
// pseudo-terminal, the unattended run, and the HotSync that follows the
// wizard against the reference server (reached as a proxy on loopback, so
// the default server's name is never resolved).
#include <gtest/gtest.h>

#include <filesystem>

#include "files.h"
#include "pty_session.h"
#include "run_program.h"
#include "server_process.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using tarvo::test::ProgramResult;

class ConfigCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(fs::path(TARVO_EXAMPLES) / "handheld", root / "handheld", fs::copy_options::recursive);
    fs::remove(root / "handheld" / "card0" / "Tarvo.prc");  // the wizard brings it
    env = {{"XDG_DATA_HOME", (root / "data").string()},
           {"XDG_CONFIG_HOME", (root / "config").string()},
           {"XDG_CACHE_HOME", (root / "cache").string()}};
  }
  ProgramResult host(const std::vector<std::string>& args, bool terminal = false) {
    std::map<std::string, std::string> run = env;
    if (!terminal) run["TARVO_NO_TTY"] = "1";
    run["TARVO_NO_GUI"] = "1";
    return tarvo::test::runProgram(TARVO_HOST_BIN, args, run);
  }
  // An offline HotSync (status 6) makes the handheld's user a HotSync user.
  void MakeUser() {
    ASSERT_EQ(host({"sync", "--offline", "--conduit", TARVO_CONDUIT_LIB, "--handheld", handheld()}).status, 6);
  }
  std::string handheld() const { return (root / "handheld").string(); }
  // Types each line once its prompt shows.
  void Answer(tarvo::test::PtySession& pty, const std::vector<std::pair<std::string, std::string>>& prompts) {
    for (const auto& [prompt, line] : prompts) {
      ASSERT_TRUE(pty.waitFor(prompt)) << pty.screen();
      pty.type(line + "\n");
    }
  }

  tarvo::test::TempFolder temp{"tarvo-config-e2e"};
  fs::path root = temp.path();
  std::map<std::string, std::string> env;
};

TEST_F(ConfigCommands, WizardOnATerminalThenAHotSyncLogsInAndInstallsTheApplication) {
  fs::create_directories(root / "catalogue" / "files");
  fs::copy(fs::path(TARVO_EXAMPLES) / "catalogue" / "catalogue.json", root / "catalogue");
  ASSERT_EQ(tarvo::test::runProgram(TARVO_MAKE_EXAMPLE,
                                    {"--news-edition", (root / "catalogue" / "files" / "Tarvo_News.pdb").string()}, {})
                .status,
            0);
  syncserver_test::ServerProcess server;
  ASSERT_TRUE(
      server.start_logged(root, {"--catalogue", (root / "catalogue").string(), "--state", (root / "state").string()}));
  const std::string port = server.url().substr(server.url().rfind(':') + 1, std::string::npos);
  MakeUser();

  tarvo::test::PtySession pty;
  ASSERT_TRUE(pty.spawn(TARVO_HOST_BIN, {"wizard", "--no-gui", "--conduit", TARVO_CONDUIT_LIB}, env));
  ASSERT_TRUE(pty.waitFor("  1 Demo User")) << pty.screen();
  Answer(pty, {{"[1]: ", ""},
               {"Escolha [p]: ", ""},
               {"Login: ", "demo"},
               {"Senha: ", "palmtop"},
               {"Escolha [p]: ", "p"},
               {"[1]: ", ""},
               {"[1]: ", ""},
               {"Escolha [p]: ", ""},
               {"[60]: ", ""},
               {"Internet Explorer (s/n) [n]: ", "s"},
               {"Servidor: ", "127.0.0.1"},
               {"Porta [80]: ", port.substr(0, port.find('/'))},
               {"Proxy (s/n) [n]: ", ""},
               {"Escolha [p]: ", ""},
               {"Hotsync. (s/n) [n]: ", ""},
               {"Escolha [t]: ", ""}});
  EXPECT_EQ(pty.finish(), 0) << pty.screen();
  EXPECT_EQ(pty.screen().find("palmtop"), std::string::npos) << "the password was echoed";
  EXPECT_NE(pty.screen().find("queued tarvo.prc for Demo User"), std::string::npos) << pty.screen();
  EXPECT_NE(pty.screen().find("queued tarvoprefs.pdb for Demo User"), std::string::npos);

  const ProgramResult sync = host({"sync", "--online", "--conduit", TARVO_CONDUIT_LIB, "--handheld", handheld()});
  EXPECT_EQ(sync.status, 0) << sync.err;
  EXPECT_NE(sync.out.find("installed 2 queued files"), std::string::npos) << sync.out;
  const std::string listing = host({"handheld", "list", "--handheld", handheld()}).out;
  EXPECT_NE(listing.find("Tarvo Prefs"), std::string::npos) << listing;
  EXPECT_NE(listing.find("appl"), std::string::npos) << listing;

  const std::vector<nlohmann::json> log = server.logged();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0]["target"], "http://sync.tarvo.example/sync.asp");
  EXPECT_EQ(syncserver_test::form_value(log[0], "cmd"), "login");
  EXPECT_EQ(syncserver_test::form_value(log[0], "login"), "100101109111");  // "demo", scrambled
  EXPECT_EQ(syncserver_test::form_value(log[0], "senha"), "*");             // the service logs no password...
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(syncserver_test::form_value(log[1], "cmd"), "list");  // ...but took "palmtop" for demo's
  server.stop();
}

TEST_F(ConfigCommands, ConfigureTellsWhetherTheNextHotSyncRunsTheConduit) {
  MakeUser();
  tarvo::test::PtySession pty;
  ASSERT_TRUE(pty.spawn(TARVO_HOST_BIN, {"configure", "--no-gui", "--conduit", TARVO_CONDUIT_LIB}, env));
  Answer(pty, {{"Login: ", ""},
               {"Senha: ", ""},
               {"Escolha [OK]: ", "2"},
               {"[1]: ", "2"},
               {"[1]: ", ""},
               {"Escolha [OK]: ", ""}});
  EXPECT_EQ(pty.finish(), 0) << pty.screen();
  EXPECT_NE(pty.screen().find("next HotSync of Demo User: the conduit does nothing (that HotSync only)"),
            std::string::npos)
      << pty.screen();
  const std::string text =
      tarvo::test::ReadFile(root / "data" / "tarvo-hotsync" / "users" / "Demo User" / "Tarv.action");
  EXPECT_NE(text.find("action = nothing"), std::string::npos) << text;

  // Unattended: one line, its own status, nothing saved, and the stored
  // choice answered.
  const ProgramResult quiet = host({"configure", "--conduit", TARVO_CONDUIT_LIB});
  EXPECT_EQ(quiet.status, 10);
  EXPECT_EQ(quiet.err, "tarvo: no display and no terminal to show the configuration; nothing was saved\n");
  EXPECT_NE(quiet.out.find("the conduit does nothing"), std::string::npos) << quiet.out;
  // A name no HotSync user has yet is set up ahead of its first HotSync;
  // unattended, nothing of it is kept.
  const ProgramResult early = host({"configure", "--user", "nobody", "--conduit", TARVO_CONDUIT_LIB});
  EXPECT_EQ(early.status, 10);
  EXPECT_NE(early.err.find("warning: no HotSync user is called nobody yet"), std::string::npos) << early.err;
  EXPECT_FALSE(fs::exists(root / "data" / "tarvo-hotsync" / "users" / "nobody"));
}

TEST_F(ConfigCommands, InstallAllQueuesTheApplicationForEveryUserWithoutAsking) {
  const ProgramResult none = host({"wizard", "--installall", "--conduit", TARVO_CONDUIT_LIB});
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_NE(none.out.find("no HotSync users"), std::string::npos);
  MakeUser();
  ASSERT_EQ(host({"install", "--user", "Ana", "--create",
                  (fs::path(TARVO_EXAMPLES) / "handheld" / "card0" / "Tarvo_News.pdb").string()})
                .status,
            0);
  const ProgramResult all = host({"wizard", "--installall", "--conduit", TARVO_CONDUIT_LIB});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, "queued tarvo.prc for Ana\nqueued tarvo.prc for Demo User\n");
  // The interactive wizard without a terminal saves and queues nothing, and
  // its status says it did not run.
  const ProgramResult quiet = host({"wizard", "--conduit", TARVO_CONDUIT_LIB});
  EXPECT_EQ(quiet.status, 10);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "tarvo: no display and no terminal to show the wizard; nothing was saved or queued\n");
}

}  // namespace
