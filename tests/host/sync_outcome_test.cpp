// How a HotSync ended, as a script sees it: the real host and conduit
// against the scripted sync server on loopback, output on pipes. Each
// failure gives one line in the desktop log and in the output, and its own
// exit status; signals cancel cleanly in every progress mode.
#include <signal.h>

#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "host_fixture.h"
#include "scripted_server.h"
#include "server_process.h"

namespace tarvo::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kServersFailed = 4;
constexpr int kCancelled = 5;
constexpr int kOffline = 6;

class SyncOutcomeTest : public HostTest {
 protected:
  // Never the built-in default server, even when a server fails to start.
  void SetUp() override {
    HostTest::SetUp();
    useServer(kNobody);
  }
  static constexpr const char* kNobody = "http://127.0.0.1:1/sync";  // nothing listens on port 1

  // Starts the scripted server with `rules` and points the conduit at it.
  void serve(const nlohmann::json& rules) {
    ASSERT_TRUE(server_.play(root_ / "server", rules.dump()));
    useServer(server_.url() + "sync");
  }
  void useServer(const std::string& url) {
    ASSERT_EQ(host({"settings", "set", "Comunicacao", "syncserver", url}).status, 0);
  }
  std::filesystem::path requestLog() const { return root_ / "server" / "requests.jsonl"; }
  std::vector<std::string> syncArgs(const char* mode = "--online") const {
    return {"sync", "--no-gui", mode, "--conduit", TARVO_CONDUIT_LIB, "--handheld", handheld_.string()};
  }
  std::map<std::string, std::string> env(const std::string& progress = "none") const {
    return hostEnv({{"TARVO_NO_TTY", "1"}, {"TARVO_PROGRESS", progress}});
  }
  // The desktop log's entries as `log --json` gives them.
  // The conduit's entries; the lines the host writes where each conduit
  // starts and ends ("Conduit Tarvo started") are left out.
  std::vector<nlohmann::json> logEntries() {
    const ProgramResult r = host({"log", "--user", "Demo User", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<nlohmann::json> entries;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
      nlohmann::json entry = nlohmann::json::parse(line);
      if (entry["log"] != "desktop") continue;  // the handheld's kept log follows the user's lines
      // The conduit's entries only, not the host's around them.
      const std::string text = entry["text"].get<std::string>();
      if (!text.starts_with("Conduit ") && !text.starts_with("HotSync ") && !text.starts_with("Backup: "))
        entries.push_back(std::move(entry));
    }
    return entries;
  }
  // The one warning of the run, checked in the output and in the log.
  void expectOneWarning(const ProgramResult& r, const std::string& reason) {
    EXPECT_THAT(r.err, HasSubstr("tarvo-hotsync: Tarvo - 127.0.0.1: " + reason)) << r.out;
    int warnings = 0;
    for (const auto& entry : logEntries()) {
      if (entry["activity"] != 21) continue;
      ++warnings;
      EXPECT_EQ(entry["word"], "aviso");
      EXPECT_THAT(entry["text"].get<std::string>(), HasSubstr(reason));
    }
    EXPECT_EQ(warnings, 1);
  }

  syncserver_test::ServerProcess server_;
};

TEST_F(SyncOutcomeTest, EachServerFailureHasItsLineAndTheStatusSaysSomeFailed) {
  struct Case {
    nlohmann::json answer;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{{"status", 500}, {"body", "oops"}}, "o servidor respondeu com o erro HTTP 500."},
      {{{"body", ""}}, "o servidor enviou uma resposta vazia."},
      {{{"body", "<html>maintenance</html>"}}, "o servidor enviou uma resposta ilegível."},
      // Asked again for a login, and nobody there to give it.
      {{{"body", "<tarvoconduit><login invalido=\"1\"/></tarvoconduit>"}}, "login não informado."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    nlohmann::json rule = c.answer;
    rule["match"] = {{"cmd", "login"}};
    serve(nlohmann::json::array({rule}));
    const ProgramResult r = runProgram(TARVO_HOST_BIN, syncArgs(), env());
    EXPECT_EQ(r.status, kServersFailed) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("some servers could not be done"));
    expectOneWarning(r, c.reason);
    // With nobody to ask the login of, the host says why, here and in the log.
    const std::string why = "Login not asked: no display and no terminal to ask on (1 server)";
    const bool notAsked = c.reason == "login não informado.";
    EXPECT_EQ(r.err.find(why) != std::string::npos, notAsked) << r.err;
    EXPECT_EQ(host({"log", "--user", "Demo User"}).out.find(why) != std::string::npos, notAsked);
    server_.stop();
    std::filesystem::remove_all(dataHome_);  // a fresh desktop log
  }
}

TEST_F(SyncOutcomeTest, AServerThatIsDownIsReported) {
  const ProgramResult r = runProgram(TARVO_HOST_BIN, syncArgs(), env());
  EXPECT_EQ(r.status, kServersFailed) << r.out << r.err;
  expectOneWarning(r, "servidor inacessível (erro 12029).");
}

TEST_F(SyncOutcomeTest, DoneOfflineAndTheLogsWords) {
  serve(nlohmann::json::array({{{"match", {{"cmd", "login"}}}, {"body", "<tarvoconduit></tarvoconduit>"}}}));
  const ProgramResult done = runProgram(TARVO_HOST_BIN, syncArgs(), env("lines"));
  EXPECT_EQ(done.status, 0) << done.out << done.err;
  EXPECT_THAT(done.out, HasSubstr("OpenConduit returned 1\n"));
  EXPECT_THAT(done.out, ::testing::EndsWith("HotSync finished\n"));
  // Plain progress lines, and the last says the bar got to the end.
  EXPECT_THAT(done.err, Not(HasSubstr("tarvo-hotsync:")));
  const auto lastLine = done.err.rfind('\n', done.err.size() - 2);
  EXPECT_EQ(done.err.compare(lastLine + 1, 7, "[100%] "), 0) << done.err;

  const ProgramResult offline = runProgram(TARVO_HOST_BIN, syncArgs("--offline"), env());
  EXPECT_EQ(offline.status, kOffline) << offline.out << offline.err;
  EXPECT_THAT(offline.out, HasSubstr("log: Tarvo - Conexão internet inativa."));
  EXPECT_THAT(offline.out, HasSubstr("HotSync not run: offline"));

  // The log shows words beside the codes, in both forms.
  const ProgramResult text = host({"log", "--user", "Demo User"});
  EXPECT_THAT(text.out, HasSubstr("\t19 início\t"));
  EXPECT_THAT(text.out, HasSubstr("\t20 fim\tTarvo"));
  EXPECT_THAT(text.out, HasSubstr("\t-1 texto\tTarvo - Conexão internet inativa."));
  const auto entries = logEntries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0]["word"], "início");
  EXPECT_EQ(entries[1]["activity"], 20);
  EXPECT_EQ(entries[2]["text"], "Tarvo - Conexão internet inativa.");
}

// Runs a HotSync whose login the server holds for a long time, sends
// `signals` once it is waiting, and returns how the host ended.
class SignalTest : public SyncOutcomeTest {
 protected:
  ProgramResult syncAndSignal(const std::string& progress, const std::vector<int>& signals, bool closedStdout = false,
                              const std::vector<std::string>& args = {}) {
    serve(nlohmann::json::array(
        {{{"match", {{"cmd", "login"}}}, {"delay_ms", 60000}, {"body", "<tarvoconduit></tarvoconduit>"}}}));
    RunningProgram program(TARVO_HOST_BIN, args.empty() ? syncArgs() : args, env(progress), closedStdout);
    EXPECT_TRUE(program.started());
    // The server logs a request as it arrives, before its delay.
    while (program.running() && !std::filesystem::exists(requestLog()))
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    while (program.running() && std::filesystem::file_size(requestLog()) == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto sent = std::chrono::steady_clock::now();
    for (int number : signals) program.signal(number);
    ProgramResult r = program.wait();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
    std::printf("ended %lld ms after the signal\n", static_cast<long long>(took.count()));
    server_.stop();
    return r;
  }
};

TEST_F(SignalTest, EachSignalCancelsInEveryProgressMode) {
  for (const char* progress : {"none", "lines", "term"}) {
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(std::string(progress) + " " + strsignal(number));
      const ProgramResult r = syncAndSignal(progress, {number});
      EXPECT_EQ(r.status, kCancelled) << r.out << r.err;
      EXPECT_THAT(r.out, HasSubstr("HotSync cancelled"));
      EXPECT_THAT(r.err, HasSubstr("tarvo-hotsync: Tarvo - HotSync cancelado."));
      if (std::string(progress) == "none")
        EXPECT_THAT(r.err, Not(HasSubstr("Autenticando")));
      else
        EXPECT_THAT(r.err, HasSubstr("Autenticando"));
      // The desktop log got its end entries; no warning blames the server.
      const auto entries = logEntries();
      ASSERT_GE(entries.size(), 2u);
      EXPECT_EQ(entries[entries.size() - 2]["word"], "cancelado");
      EXPECT_EQ(entries.back()["word"], "fim");
      for (const auto& entry : entries) EXPECT_NE(entry["activity"], 21);
      std::filesystem::remove_all(dataHome_);
    }
  }
  // Folded: no journal is left for the next HotSync.
  for (const auto& file : std::filesystem::recursive_directory_iterator(handheld_))
    EXPECT_THAT(file.path().filename().string(), Not(HasSubstr("journal")));
}

// A live handheld is told how its HotSync ended, so that a cancelled or
// failed one does not show "HotSync complete" on the handheld's screen.
TEST_F(SignalTest, TheHandheldHearsHowItsHotSyncEnded) {
  const std::string desktop = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
  RunningProgram played(TARVO_HANDHELD_BIN, {"--handheld", handheld_.string(), "--hotsync", desktop, "--retry", "30"},
                        {});
  const ProgramResult r = syncAndSignal(
      "none", {SIGINT}, false, {"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB, "--listen=" + desktop});
  EXPECT_EQ(r.status, kCancelled) << r.out << r.err;
  const ProgramResult cancelled = played.wait();
  EXPECT_EQ(cancelled.status, 0) << cancelled.err;
  EXPECT_THAT(cancelled.out, HasSubstr("HotSync cancelled"));
  EXPECT_THAT(cancelled.out, Not(HasSubstr("HotSync complete")));

  // A conduit that fails: the handheld hears of a failure.
  RunningProgram again(TARVO_HANDHELD_BIN, {"--handheld", handheld_.string(), "--hotsync", desktop, "--retry", "30"},
                       {});
  const ProgramResult failed =
      host({"sync", "--no-gui", "--online", "--conduit", TARVO_STUB_CONDUIT, "--listen=" + desktop},
           {{"TARVO_STUB_RESULT", "-1"}, {"TARVO_NO_TTY", "1"}, {"TARVO_PROGRESS", "none"}});
  EXPECT_EQ(failed.status, 3) << failed.out << failed.err;
  EXPECT_THAT(again.wait().out, HasSubstr("HotSync failed (end status 3)"));
}

TEST_F(SignalTest, ASecondSignalEndsTheHostAtOnce) {
  // Two different signals, so that both are pending at once; whichever the
  // host takes second ends it.
  const ProgramResult r = syncAndSignal("lines", {SIGTERM, SIGHUP});
  EXPECT_TRUE(r.signal == SIGTERM || r.signal == SIGHUP) << r.signal << r.out << r.err;
}

TEST_F(SignalTest, AClosedOutputDoesNotKillTheHost) {
  const ProgramResult r = syncAndSignal("lines", {SIGINT}, /*closedStdout=*/true);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, kCancelled) << r.err;
}

}  // namespace
}  // namespace tarvo::test
