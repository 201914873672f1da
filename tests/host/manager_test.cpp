// The resident HotSync manager as real processes: one per user, restarted by
// registration, running the HotSyncs handed to it.
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "files.h"
#include "host_fixture.h"
#include "pty_session.h"
#include "server_process.h"
#include "waits.h"

#include <nlohmann/json.hpp>

namespace tarvo::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

class ManagerTest : public HostTest {
 protected:
  void TearDown() override { host({"manager", "--quit"}); }

  fs::path dir() const { return runtime_ / "tarvo-hotsync"; }
  // The pid in the lock file, when that process still runs.
  int managerPid() const {
    const int pid = std::atoi(ReadFile(dir() / "manager.lock").c_str());
    const std::string stat = pid > 0 ? ReadFile("/proc/" + std::to_string(pid) + "/stat") : "";
    const auto state = stat.find(") ");
    return state != std::string::npos && stat[state + 2] != 'Z' ? pid : 0;
  }
  static std::string commandLine(int pid) {
    std::string text = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
  }
  static unsigned mode(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  // Where the running manager answers network HotSyncs, from its log.
  std::string networkDesktop() const {
    const std::string log = ReadFile(dir() / "manager.log");
    const std::string said = "listening for network HotSync on port ";
    const auto at = log.rfind(said);
    return at == std::string::npos ? "" : "127.0.0.1:" + std::to_string(std::atoi(log.c_str() + at + said.size()));
  }
  // Waits (bounded) until the manager's log holds `text` `times` times.
  bool waitForLog(const std::string& text, size_t times = 1) const {
    return WaitForText(dir() / "manager.log", text, times);
  }
  void registerStub() {
    fs::create_directories(dataHome_ / "tarvo-hotsync");
    std::ofstream(dataHome_ / "tarvo-hotsync" / "conduits.conf") << "Tarv\nTarv\tmodule\t" TARVO_STUB_CONDUIT "\n";
  }
  ProgramResult startManager(const std::map<std::string, std::string>& env = {}) {
    ProgramResult r = host({"manager", "-r"}, env);
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
  }
};

TEST_F(ManagerTest, OnePerUserOwnerOnlyAndQuitsOnRequest) {
  // No manager: closing returns at once.
  EXPECT_EQ(host({"manager", "--quit"}).status, 0);
  startManager();
  const int pid = managerPid();
  ASSERT_GT(pid, 0);
  EXPECT_EQ(mode(dir()), 0700u);
  EXPECT_EQ(mode(dir() / "manager.sock"), 0600u);
  EXPECT_EQ(mode(dir() / "manager.lock"), 0600u);
  // A reload tells a person what the manager now watches, not the protocol's reply.
  const ProgramResult reload = host({"manager", "--reload"});
  EXPECT_EQ(reload.status, 0) << reload.err;
  EXPECT_THAT(reload.out, ::testing::StartsWith("manager.conf read again\n  "));

  const ProgramResult second = host({"manager"});
  EXPECT_EQ(second.status, 1);
  EXPECT_THAT(second.err, HasSubstr("a HotSync manager runs already (pid " + std::to_string(pid) + ")"));
  // The restart switch is content with the one that runs.
  startManager();
  EXPECT_EQ(managerPid(), pid);

  EXPECT_EQ(host({"manager", "--quit"}).status, 0);
  EXPECT_EQ(managerPid(), 0);
  EXPECT_THAT(ReadFile(dir() / "manager.log"), HasSubstr("quits"));
}

TEST_F(ManagerTest, RegisteringRestartsTheManagerWhichReadsTheNewRegistration) {
  fs::create_directories(dataHome_ / "tarvo-hotsync");
  std::ofstream(dataHome_ / "tarvo-hotsync" / "conduits.conf") << "sync\nsync\tmodule\t/old/sync.so\n";
  startManager();
  const int first = managerPid();
  ASSERT_GT(first, 0);

  const ProgramResult reg = host({"register", TARVO_CONDUIT_FILE});
  ASSERT_EQ(reg.status, 0) << reg.err;
  const int second = managerPid();
  ASSERT_GT(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(commandLine(second), "tarvo-hotsync manager -r ");
  const std::string listing = host({"conduits"}).out;
  EXPECT_THAT(listing, Not(HasSubstr("sync\n")));
  EXPECT_THAT(listing, HasSubstr("Tarv\n"));
  EXPECT_THAT(listing, HasSubstr(std::string("  module     ") + TARVO_CONDUIT_FILE + "\n"));
  EXPECT_THAT(listing, HasSubstr("  name       Tarvo\n"));
  EXPECT_THAT(ReadFile(dir() / "manager.log"),
              HasSubstr(std::string("conduit: ") + TARVO_CONDUIT_FILE + " (registered for creator Tarv)"));

  // Unregistering restarts it too, and it finds no registration.
  ASSERT_EQ(host({"unregister", TARVO_CONDUIT_FILE}).status, 0);
  const int third = managerPid();
  EXPECT_GT(third, 0);
  EXPECT_NE(third, second);
  EXPECT_THAT(host({"conduits"}).out, ::testing::StartsWith("no conduit registered\n"));
  EXPECT_THAT(ReadFile(dir() / "manager.log"), HasSubstr("none registered for creator Tarv"));

  // The user's choice stands: the library beside the host no longer stands
  // in, and the user unit's first registration does not come back.
  ASSERT_EQ(host({"manager", "--quit"}).status, 0);
  EXPECT_THAT(host({"conduits"}).out, HasSubstr("Tarv was unregistered: no HotSync runs it"));
  const ProgramResult sync = host({"sync", "--no-gui", "--online", "--handheld", handheld_.string()});
  EXPECT_EQ(sync.status, 7) << sync.out << sync.err;
  EXPECT_THAT(sync.out, Not(HasSubstr("conduit: ")));
  startManager();
  ASSERT_EQ(host({"manager", "--quit"}).status, 0);
  ASSERT_EQ(host({"manager", "-r", "--register", TARVO_CONDUIT_FILE}).status, 0);
  EXPECT_THAT(host({"conduits"}).out, ::testing::StartsWith("no conduit registered\n"));
  // Registering it by hand lifts the choice.
  ASSERT_EQ(host({"register", TARVO_CONDUIT_FILE}).status, 0);
  EXPECT_THAT(host({"conduits"}).out, Not(HasSubstr("was unregistered")));
}

// A script follows the manager through its socket: --status for the state,
// --events for every change in order, from a HotSync's queueing to its end.
TEST_F(ManagerTest, StatusAndEventsTellAHotSyncFromStartToEnd) {
  using nlohmann::json;
  registerStub();
  ASSERT_EQ(host({"install", "--user", "Demo User", "--create",
                  writeDatabase(root_ / "Memo.pdb", "Memo Queued", {"a memo"}).string()})
                .status,
            0);
  startManager();
  auto state = [&] {
    const ProgramResult r = host({"manager", "--status", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    return json::parse(r.out, nullptr, false);
  };
  const json before = state();
  EXPECT_EQ(before["manager"]["pid"], managerPid());
  EXPECT_TRUE(before["hotsync"].is_null());
  EXPECT_TRUE(before["last"].is_null());
  EXPECT_EQ(before["queue"], json::array());

  const fs::path stream = root_ / "events.jsonl";
  RunningProgram events("/bin/sh", {"-c", "exec \"$0\" manager --events > \"$1\"", TARVO_HOST_BIN, stream.string()},
                        hostEnv());
  for (int i = 0; i < 600 && ReadFile(stream).empty(); ++i) ::usleep(50 * 1000);
  const ProgramResult synced = host({"sync", "--no-gui", "--online", "--handheld", handheld_.string()});
  EXPECT_EQ(synced.status, 0) << synced.out << synced.err;

  const json after = state();
  EXPECT_TRUE(after["hotsync"].is_null());
  EXPECT_EQ(after["last"]["user"], "Demo User");
  EXPECT_EQ(after["last"]["origin"], "command");
  EXPECT_EQ(after["last"]["status"], 0);
  EXPECT_EQ(after["last"]["result"], "ok");
  EXPECT_EQ(after["last"]["words"], "HotSync completed");
  ASSERT_EQ(host({"manager", "--quit"}).status, 0);
  EXPECT_EQ(events.wait(60).status, 0);

  std::vector<std::string> types;
  long long seq = -1;
  std::istringstream lines(ReadFile(stream));
  for (std::string line; std::getline(lines, line);) {
    const json event = json::parse(line, nullptr, false);
    ASSERT_TRUE(event.is_object()) << line;
    EXPECT_EQ(event["v"], 1);
    // Numbered without a gap, the first line carrying the state so far.
    if (seq >= 0) {
      EXPECT_EQ(event["seq"].get<long long>(), seq + 1) << line;
    }
    seq = event["seq"].get<long long>();
    const std::string type = event["event"];
    if (type == "progress") continue;
    types.push_back(type);
    if (type == "user") {
      EXPECT_EQ(event["user"], "Demo User");
    }
    if (type == "install") {
      EXPECT_EQ(event["ok"], true) << line;
    }
    if (type == "installing") {
      EXPECT_EQ(event["files"], 1) << line;
    }
    if (type == "conduit-started") {
      EXPECT_EQ(event["conduit"]["creator"], "Tarv");
    }
    if (type == "ended") {
      EXPECT_EQ(event["hotsync"]["status"], 0);
    }
  }
  EXPECT_EQ(types, (std::vector<std::string>{"state", "queued", "started", "user", "installing", "install",
                                             "conduit-started", "conduit-ended", "backup", "ended", "quitting"}));

  // No manager: one line and status 1.
  const ProgramResult none = host({"manager", "--status"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("no HotSync manager runs"));
}

// The socket's requests are typed: a line that is no request, another
// version or an unknown request gets its error reply, and the manager runs on.
TEST_F(ManagerTest, RequestsThatCannotBeReadGetTheirErrorAndTheManagerRunsOn) {
  startManager();
  for (const auto& [line, error] : std::vector<std::pair<std::string, std::string>>{
           {"quit", "bad-request"},
           {R"({"v":2,"request":"state"})", "unsupported-version"},
           {R"({"v":1,"request":"dance"})", "unknown-request"},
           {R"({"v":1,"request":"sync","cwd":"/"})", "bad-request"},
       }) {
    const std::string input = line + "\n";
    const ProgramResult r = runProgramWithInput(
        "/usr/bin/socat", {"-t", "5", "-", "UNIX-CONNECT:" + (dir() / "manager.sock").string()}, {}, &input, 30);
    const nlohmann::json reply = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(reply.is_object()) << line << " -> " << r.out << r.err;
    EXPECT_EQ(reply["reply"], "error") << line;
    EXPECT_EQ(reply["error"], error) << line;
  }
  EXPECT_EQ(host({"manager", "--status"}).status, 0);
}

TEST_F(ManagerTest, RegisteringWithNoManagerStartsOne) {
  ASSERT_EQ(managerPid(), 0);
  ASSERT_EQ(host({"register", TARVO_CONDUIT_FILE}).status, 0);
  EXPECT_GT(managerPid(), 0);
}

TEST_F(ManagerTest, SyncIsHandedToTheManagerOnlyFromItsOwnFolders) {
  // The HotSyncs run in the manager's environment (its desktop session).
  startManager({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "handed"}});
  std::vector<std::string> args = {"sync",      "--no-gui",        "--online", "--handheld", handheld_.string(),
                                   "--conduit", TARVO_STUB_CONDUIT};
  const ProgramResult handed = host(args);
  ASSERT_EQ(handed.status, 0) << handed.out << handed.err;
  EXPECT_THAT(handed.out, HasSubstr("stub: card 0: Tarvo (appl/Tarv), Tarvo News (DATA/Tarv)\n"));
  EXPECT_THAT(handed.out, HasSubstr("HotSync finished"));
  EXPECT_THAT(ReadFile(dir() / "manager.log"), HasSubstr("started in"));
  EXPECT_THAT(host({"handheld", "dump", "--handheld", handheld_.string(), "Tarvo News"}).out, HasSubstr("handed"));
  // The caller's conduit wins over the manager's in either spelling.
  EXPECT_THAT(host({"sync", "--no-gui", "--offline", "--handheld", handheld_.string(),
                    std::string("--conduit=") + TARVO_STUB_CONDUIT})
                  .out,
              HasSubstr("stub: card 0"));

  // A caller with other data folders is not the manager's: it runs alone.
  const std::string before = ReadFile(dir() / "manager.log");
  const ProgramResult alone = host(args, {{"XDG_CACHE_HOME", (root_ / "other-cache").string()}});
  ASSERT_EQ(alone.status, 0) << alone.err;
  EXPECT_EQ(ReadFile(dir() / "manager.log"), before);

  // A failing HotSync's status and messages come back through the manager
  // as they would from a HotSync run alone.
  args.back() = (root_ / "missing.so").string();
  const ProgramResult failed = host(args);
  const ProgramResult failedAlone = host(args, {{"XDG_CACHE_HOME", (root_ / "other-cache").string()}});
  EXPECT_NE(failed.status, 0);
  EXPECT_EQ(failed.status, failedAlone.status);
  EXPECT_EQ(failed.err, failedAlone.err);
  EXPECT_THAT(ReadFile(dir() / "manager.log"), HasSubstr("ended with status " + std::to_string(failed.status)));
}

// With network HotSync on in its settings file, the manager answers handhelds
// with the registered conduit, queued one at a time like handed HotSyncs.
TEST_F(ManagerTest, AnswersNetworkHotSyncsOneAtATime) {
  fs::create_directories(root_ / "config" / "tarvo-hotsync");
  const fs::path conf = root_ / "config" / "tarvo-hotsync" / "manager.conf";
  std::ofstream(conf) << "# comment\nnetwork = 127.0.0.1:0\nlisten = yes\n";
  EXPECT_THAT(host({"manager"}).err, HasSubstr(conf.string() + ":3: unknown setting \"listen\""));
  std::ofstream(conf) << "# an ephemeral port, never the default\nnetwork = 127.0.0.1:0\n";
  fs::create_directories(dataHome_ / "tarvo-hotsync");
  std::ofstream(dataHome_ / "tarvo-hotsync" / "conduits.conf") << "Tarv\nTarv\tmodule\t" TARVO_STUB_CONDUIT "\n";
  startManager({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "over the network"}});
  const std::string desktop = networkDesktop();
  ASSERT_NE(desktop, "") << ReadFile(dir() / "manager.log");

  // Two handhelds call at once; the second waits for the first to end.
  const fs::path second = root_ / "second";
  fs::copy(handheld_, second, fs::copy_options::recursive);
  ProgramResult played[2];
  std::thread players[2];
  for (int i = 0; i < 2; ++i) {
    players[i] = std::thread([&, i] {
      played[i] =
          runProgram(TARVO_HANDHELD_BIN,
                     {"--handheld", (i == 0 ? handheld_ : second).string(), "--hotsync", desktop, "--quiet"}, {});
    });
  }
  for (std::thread& t : players) t.join();
  for (const ProgramResult& r : played) EXPECT_EQ(r.status, 0) << r.err;
  // A handheld hears the end before the manager has seen its HotSync's exit.
  EXPECT_TRUE(waitForLog(" ended with ", 2)) << ReadFile(dir() / "manager.log");

  const std::string after = ReadFile(dir() / "manager.log");
  EXPECT_THAT(after, HasSubstr("stub: card 0: Tarvo (appl/Tarv), Tarvo News (DATA/Tarv)\n"));
  EXPECT_THAT(after, HasSubstr(" started in " + root_.string() + "\n"));  // the user's home
  std::vector<std::string> events;
  std::istringstream lines(after);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" started in ") != std::string::npos) events.push_back("started");
    if (const auto ended = line.find(" ended with "); ended != std::string::npos)
      events.push_back(line.substr(ended + 1));
  }
  const std::string ok = "ended with status 0";
  EXPECT_EQ(events, (std::vector<std::string>{"started", ok, "started", ok})) << after;
  for (const fs::path& folder : {handheld_, second}) {
    EXPECT_THAT(host({"handheld", "dump", "--handheld", folder.string(), "Tarvo News"}).out,
                HasSubstr("over the network"));
  }
}

// A manager started outside the desktop session (a bare environment, as
// at log-in before the desktop is up) runs a handheld's HotSync in the
// session a client in that session handed it; a client without a display
// (ssh, a console) does not take it away.
TEST_F(ManagerTest, AHandheldsHotSyncRunsInTheSessionAClientHandedOver) {
  registerStub();
  fs::create_directories(root_ / "config" / "tarvo-hotsync");
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf") << "network = 127.0.0.1:0\n";
  const fs::path seen = root_ / "session.txt";
  std::vector<std::string> bare;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY", "LC_ALL"})
    bare.insert(bare.end(), {"-u", name});
  bare.insert(bare.end(), {"LANG=C.UTF-8", TARVO_HOST_BIN, "manager", "-r"});
  ASSERT_EQ(runProgram("/usr/bin/env", bare, hostEnv({{"TARVO_STUB_ENV", seen.string()}})).status, 0);
  const std::string desktop = networkDesktop();
  ASSERT_NE(desktop, "") << ReadFile(dir() / "manager.log");
  auto hotSync = [&](size_t round) {
    const ProgramResult played =
        runProgram(TARVO_HANDHELD_BIN, {"--handheld", handheld_.string(), "--hotsync", desktop, "--quiet"}, {});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_TRUE(waitForLog(" ended with ", round)) << ReadFile(dir() / "manager.log");
  };
  hotSync(1);
  EXPECT_EQ(ReadFile(seen),
            "DISPLAY=(unset)\nWAYLAND_DISPLAY=(unset)\nDBUS_SESSION_BUS_ADDRESS=(unset)\nLANG=C.UTF-8\n");

  const std::map<std::string, std::string> session = {
      {"DISPLAY", ":4711"},  // no X server answers there: the HotSync stays on the terminal
      {"WAYLAND_DISPLAY", ""},
      {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root_ / "bus").string()},
      {"LANG", "pt_BR.UTF-8"}};
  const ProgramResult handed = host({"manager", "--session"}, session);
  EXPECT_EQ(handed.status, 0) << handed.err;
  const ProgramResult console = host({"manager", "--session"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(console.status, 1);
  EXPECT_THAT(console.err, HasSubstr("no desktop session here"));
  fs::remove(seen);
  hotSync(2);
  EXPECT_EQ(ReadFile(seen), "DISPLAY=:4711\nWAYLAND_DISPLAY=(unset)\nDBUS_SESSION_BUS_ADDRESS=unix:path=" +
                                (root_ / "bus").string() + "\nLANG=pt_BR.UTF-8\n");

  // A HotSync handed over by a command runs in that command's session as a
  // whole: nothing of the manager's or of the handed one stays behind.
  fs::remove(seen);
  const ProgramResult handedSync =
      host({"sync", "--no-gui", "--offline", "--handheld", handheld_.string()},
           {{"DISPLAY", ":4712"}, {"WAYLAND_DISPLAY", ""}, {"DBUS_SESSION_BUS_ADDRESS", ""}, {"LANG", ""}});
  EXPECT_EQ(handedSync.status, 0) << handedSync.out << handedSync.err;
  EXPECT_EQ(CountOf(ReadFile(dir() / "manager.log"), " ended with status 0\n"), 3u);  // run by the manager
  EXPECT_EQ(ReadFile(seen), "DISPLAY=:4712\nWAYLAND_DISPLAY=(unset)\nDBUS_SESSION_BUS_ADDRESS=(unset)\nLANG=(unset)\n");
}

// A person with no HotSync user yet starts the wizard: it says to press
// HotSync, waits for the manager's first HotSync and goes on with the user
// that HotSync made.
TEST_F(ManagerTest, TheWizardWaitsForTheFirstHotSyncAndGoesOnWithItsUser) {
  registerStub();
  fs::create_directories(root_ / "config" / "tarvo-hotsync");
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf") << "network = 127.0.0.1:0\n";
  startManager();
  const std::string desktop = networkDesktop();
  ASSERT_NE(desktop, "") << ReadFile(dir() / "manager.log");
  ASSERT_THAT(host({"users"}).out, Not(HasSubstr("Demo User")));
  // Nowhere to say it (no terminal, no display): it does not wait unseen.
  const ProgramResult unseen =
      host({"wizard", "--conduit", TARVO_CONDUIT_FILE}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(unseen.status, 10) << unseen.out << unseen.err;
  EXPECT_THAT(unseen.err, HasSubstr("no HotSync user yet, and no display and no terminal"));

  PtySession pty;
  ASSERT_TRUE(pty.spawn(TARVO_HOST_BIN, {"wizard", "--no-gui", "--conduit", TARVO_CONDUIT_FILE}, hostEnv()));
  ASSERT_TRUE(pty.waitFor("press its HotSync button (the HotSync manager waits on usb:, net:127.0.0.1:"))
      << pty.screen();
  const ProgramResult played =
      runProgram(TARVO_HANDHELD_BIN, {"--handheld", handheld_.string(), "--hotsync", desktop, "--quiet"}, {});
  EXPECT_EQ(played.status, 0) << played.err;
  ASSERT_TRUE(pty.waitFor("The wizard goes on for Demo User.")) << pty.screen();
  // The conduit's own wizard, its user list holding the new user.
  EXPECT_TRUE(pty.waitFor("  1 Demo User")) << pty.screen();
}

// With a tty in its settings file, the manager watches it and runs a
// HotSync on that tty when a handheld's first bytes arrive; a tty that is
// not there yet is looked for again.
TEST_F(ManagerTest, RunsAHotSyncOnItsTtyWhenAHandheldCalls) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const std::string tty = ::ttyname(slave);
  fs::create_directories(root_ / "config" / "tarvo-hotsync");
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf") << "port = " << tty << "\n";
  startManager();
  ::close(slave);
  auto logSays = [&](const std::string& what) { return waitForLog(what); };
  ASSERT_TRUE(logSays("watching " + tty + " for a handheld")) << ReadFile(dir() / "manager.log");
  const uint8_t wakeup[] = {0xBE, 0xEF, 0xED};
  ASSERT_EQ(::write(master, wakeup, sizeof wakeup), static_cast<ssize_t>(sizeof wakeup));
  EXPECT_TRUE(logSays("serial HotSync queued")) << ReadFile(dir() / "manager.log");
  EXPECT_TRUE(logSays(" started in ")) << ReadFile(dir() / "manager.log");
  host({"manager", "--quit"});
  ::close(master);

  // A tty that is not there: said once, and the manager runs on.
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf")
      << "port = " << (root_ / "ttyNone").string() << "\n";
  startManager();
  EXPECT_TRUE(logSays((root_ / "ttyNone").string() + ": No such file or directory")) << ReadFile(dir() / "manager.log");
  EXPECT_GT(managerPid(), 0);
}

// Asked to quit during a HotSync, the manager presses its Cancel, lets it
// end cleanly and only then quits: a handed HotSync's caller gets the
// cancelled status, a network handheld is told that the HotSync ended.
TEST_F(ManagerTest, QuitDuringAHotSyncCancelsItCleanlyFirst) {
  syncserver_test::ServerProcess server;
  ASSERT_TRUE(
      server.play(root_ / "server",
                  R"([{"match": {"cmd": "login"}, "delay_ms": 60000, "body": "<tarvoconduit></tarvoconduit>"}])"));
  ASSERT_EQ(host({"settings", "set", "Comunicacao", "syncserver", server.url() + "sync"}).status, 0);
  const std::string before = host({"handheld", "list", "--handheld", handheld_.string()}).out;

  for (const bool network : {false, true}) {
    SCOPED_TRACE(network ? "network HotSync" : "handed HotSync");
    const size_t round = network ? 2 : 1;
    std::vector<std::string> manager = {"manager", "-r"};
    if (network) manager.push_back("--listen=127.0.0.1:0");
    ASSERT_EQ(host(manager, {{"TARVO_NO_TTY", "1"}}).status, 0);
    const std::string desktop = networkDesktop();

    ProgramResult synced;
    std::thread caller([&] {
      synced = network ? runProgram(TARVO_HANDHELD_BIN, {"--handheld", handheld_.string(), "--hotsync", desktop}, {})
                       : host({"sync", "--no-gui", "--online", "--handheld", handheld_.string(), "--conduit",
                               TARVO_CONDUIT_FILE});
    });
    // The server holds the login; the HotSync is in progress.
    bool offline = false;
    WaitUntil([&] {
      offline = CountOf(ReadFile(dir() / "manager.log"), "ended with status 6\n") > 0;
      return offline || CountOf(ReadFile(root_ / "server" / "requests.jsonl"), "\"cmd\",\"login\"") >= round;
    });
    const ProgramResult quit = host({"manager", "--quit"});
    caller.join();
    // A HotSync the manager starts has no --online: it asks the machine.
    if (offline) GTEST_SKIP() << "no network interface is up, so the manager's network HotSync is offline";

    EXPECT_EQ(quit.status, 0) << quit.err;
    EXPECT_EQ(managerPid(), 0);
    // Cancelled as a signal to a HotSync run alone cancels it: its status,
    // and the desktop log ends with the cancel and the end entries.
    const std::string log = ReadFile(dir() / "manager.log");
    const std::string ended = "ended with status 5\n";
    EXPECT_EQ(synced.status, network ? 0 : 5) << synced.out << synced.err;
    EXPECT_THAT(network ? log : synced.out, HasSubstr("HotSync cancelled"));
    const std::string desktopLog = host({"log", "--user", "Demo User"}).out;
    EXPECT_EQ(CountOf(desktopLog, " cancelado\t"), round) << desktopLog;
    EXPECT_NE(desktopLog.find(" fim\t", desktopLog.rfind(" cancelado\t")), std::string::npos) << desktopLog;
    EXPECT_LT(log.rfind("quit requested"), log.rfind(ended)) << log;
    EXPECT_LT(log.rfind(ended), log.rfind("quits")) << log;
    EXPECT_EQ(host({"handheld", "list", "--handheld", handheld_.string()}).out, before);
  }
  server.stop();
}

// Callers that press Cancel or go away, before their turn or during it,
// leave the manager free for the next HotSync.
TEST_F(ManagerTest, CallersThatCancelOrGoAwayNeverWedgeIt) {
  registerStub();
  startManager();
  const std::vector<std::string> listen = {"sync", "--listen=127.0.0.1:0", "--offline"};
  RunningProgram running(TARVO_HOST_BIN, listen, hostEnv());
  ASSERT_TRUE(waitForLog("started in"));
  RunningProgram cancelled(TARVO_HOST_BIN, listen, hostEnv());
  ASSERT_TRUE(waitForLog("queued behind another"));
  RunningProgram gone(TARVO_HOST_BIN, listen, hostEnv());
  ASSERT_TRUE(waitForLog("queued behind another", 2));

  gone.signal(SIGKILL);
  cancelled.signal(SIGTERM);
  const ProgramResult queued = cancelled.wait();
  EXPECT_EQ(queued.status, 5) << queued.err;
  EXPECT_EQ(queued.out, "waiting for the HotSync in progress to end\nHotSync cancelled\n");
  ASSERT_TRUE(waitForLog("withdrawn by its caller", 2));
  // Ctrl-C reaches the HotSync through its caller, who waits for its end.
  running.signal(SIGINT);
  const ProgramResult first = running.wait();
  EXPECT_EQ(first.status, 5) << first.err;
  EXPECT_THAT(first.out, ::testing::EndsWith("HotSync cancelled\n"));

  // A caller that goes away while its HotSync waits for a handheld.
  RunningProgram vanished(TARVO_HOST_BIN, listen, hostEnv());
  ASSERT_TRUE(waitForLog("started in", 2));
  vanished.signal(SIGKILL);
  ASSERT_TRUE(waitForLog("ended with status 5", 2));

  const ProgramResult next = host({"sync", "--no-gui", "--offline", "--handheld", handheld_.string()});
  EXPECT_EQ(next.status, 0) << next.out << next.err;
  EXPECT_THAT(next.out, HasSubstr("conduit: " TARVO_STUB_CONDUIT " (registered for creator Tarv)"));
  EXPECT_THAT(next.out, Not(HasSubstr("--conduit")));
  EXPECT_EQ(host({"manager", "--quit"}).status, 0);
}

// A HotSync deaf to its Cancel does not keep the manager from quitting.
TEST_F(ManagerTest, QuitEndsAHotSyncThatIgnoresItsCancel) {
  registerStub();
  const fs::path hanging = root_ / "hanging";
  startManager({{"TARVO_STUB_HANG", hanging.string()}});
  RunningProgram caller(TARVO_HOST_BIN, {"sync", "--no-gui", "--offline", "--handheld", handheld_.string()}, hostEnv());
  // Quit only once the conduit is deaf: earlier, the HotSync still hears the Cancel.
  WaitUntil([&] { return fs::exists(hanging); });
  ASSERT_TRUE(fs::exists(hanging)) << ReadFile(dir() / "manager.log");
  const ProgramResult quit = host({"manager", "--quit"});
  EXPECT_EQ(quit.status, 0) << quit.err;
  EXPECT_EQ(managerPid(), 0);
  EXPECT_THAT(ReadFile(dir() / "manager.log"), HasSubstr("did not end after its Cancel"));
  EXPECT_NE(caller.wait().status, 0);
}

}  // namespace
}  // namespace tarvo::test
