// Our desktop end against our handheld end: whole HotSyncs through the host,
// the conduit and the content service, once over the link and once on the
// folder, and links cut part-way.
#include <signal.h>

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "files.h"
#include "link_world.h"
#include "needs.h"
#include "server_process.h"
#include "temp_folder.h"
#include "waits.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::test;

std::string scramble(const std::string& clear) {
  std::string out;
  for (const unsigned char c : clear) out += (c < 100 ? "0" : "") + std::string(c < 10 ? "0" : "") + std::to_string(c);
  return out;
}

// Every database of `folder`'s card 0 by name, without what a handheld
// stamps (dates, modification number, id seed of an installed database;
// with `ownersOnly` also a record's dirty, busy and deleted flags).
std::map<std::string, pdb::Database> contents(const fs::path& folder, bool ownersOnly = false) {
  std::map<std::string, pdb::Database> all;
  for (const auto& entry : fs::directory_iterator(folder / "card0")) {
    if (entry.path().extension() != ".pdb" && entry.path().extension() != ".prc") continue;
    pdb::Database db = pdb::readFile(entry.path()).db;
    db.modificationDate = db.backupDate = db.creationDate = db.modificationNumber = db.uniqueIdSeed = 0;
    if (ownersOnly) {
      for (auto& rec : db.records) rec.attributes &= 0x1F;
    }
    all[db.name] = std::move(db);
  }
  return all;
}

// One desktop with its content service and one handheld folder.
class World {
 public:
  // With `script`, the server plays it instead of serving the catalogue.
  explicit World(const std::string& script = "") {
    fs::copy(fs::path(TARVO_EXAMPLES) / "handheld", handheld(), fs::copy_options::recursive);
    fs::copy(fs::path(TARVO_EXAMPLES) / "catalogue", root() / "catalogue", fs::copy_options::recursive);
    fs::create_directories(root() / "catalogue" / "files");
    make("--notes", handheld() / "card0" / "Tarvo_Notes.pdb");
    make("--news-edition", root() / "catalogue" / "files" / "Tarvo_News.pdb");
    env_ = {{"XDG_DATA_HOME", (root() / "data").string()},
            {"XDG_CONFIG_HOME", (root() / "config").string()},
            {"XDG_CACHE_HOME", (root() / "cache").string()},
            {"TARVO_NO_TTY", "1"}};
    if (script.empty()) {
      EXPECT_TRUE(server_.start_logged(
          root(), {"--catalogue", (root() / "catalogue").string(), "--state", (root() / "state").string()}));
    } else {
      EXPECT_TRUE(server_.play(root() / "server", script));
    }
    const std::string url = server_.url() + "sync";
    host({"settings", "set", "Comunicacao", "syncserver", url});
    host({"settings", "set", "Demo User\\" + url, "login", scramble("demo")});
    host({"settings", "set", "Demo User\\" + url, "senha", scramble("palmtop")});
  }
  ~World() {
    server_.stop();
    slow_.stop();
  }

  // Points the conduit at a server that answers the login, with no command,
  // only after `ms` milliseconds.
  void answerLoginAfter(int ms) {
    ASSERT_TRUE(slow_.play(root() / "slow", R"([{"match": {"cmd": "login"}, "delay_ms": )" + std::to_string(ms) +
                                                R"(, "body": "<tarvoconduit></tarvoconduit>"}])"));
    host({"settings", "set", "Comunicacao", "syncserver", slow_.url() + "sync"});
  }
  std::size_t slowRequestCount() const { return slow_.logged().size(); }

  fs::path root() const { return temp_.path(); }
  fs::path handheld() const { return root() / "handheld"; }

  ProgramResult host(const std::vector<std::string>& args) { return runProgram(TARVO_HOST_BIN, args, env_); }
  const std::map<std::string, std::string>& env() const { return env_; }
  // `args` over a network link to the handheld in `folder`.
  LinkRun linked(std::vector<std::string> args, const fs::path& folder,
                 const std::vector<std::string>& handheldArgs = {}) {
    const uint16_t port = freePort();
    args.push_back("--listen=127.0.0.1:" + std::to_string(port));
    return runLinked(TARVO_HOST_BIN, args, env_, folder, port, handheldArgs);
  }
  ProgramResult folderSync() {
    return host({"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB, "--handheld", handheld().string()});
  }
  LinkRun linkSync(const std::vector<std::string>& handheldArgs = {}) {
    return linked({"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB}, handheld(), handheldArgs);
  }
  // The host's `args` on `port`, against tarvo-handheld with `handheldArgs`.
  LinkRun overPort(std::vector<std::string> args, const std::string& port,
                   const std::vector<std::string>& handheldArgs) {
    args.insert(args.end(), {"--port", port});
    return runBoth(TARVO_HOST_BIN, args, env_, handheld(), handheldArgs);
  }
  LinkRun syncOverPort(const std::string& port, const std::vector<std::string>& handheldArgs) {
    return overPort({"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB}, port, handheldArgs);
  }
  // The server's requests from the n-th on: "cmd@device path ...".
  std::string requests(std::size_t from = 0) const { return server_.steps(from); }
  std::size_t requestCount() const { return server_.logged().size(); }
  // Every database of card 0 by name, without what the handheld itself stamps.
  std::map<std::string, pdb::Database> databases() const { return contents(handheld()); }

 private:
  static void make(const char* what, const fs::path& file) {
    const ProgramResult r = runProgram(TARVO_MAKE_EXAMPLE, {what, file.string()}, {});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  TempFolder temp_{"tarvo-link-sync"};
  std::map<std::string, std::string> env_;
  syncserver_test::ServerProcess server_;
  syncserver_test::ServerProcess slow_;
};

// The server answers after 12 seconds, the handheld gives up after 8 of
// silence: only the desktop's keep-alives carry the HotSync through.
constexpr int kSlowAnswerMs = 12000;
const std::vector<std::string> kImpatient = {"--give-up-after", "8"};

void expectKeptAlive(const World& world, const LinkRun& run) {
  EXPECT_EQ(run.desktop.status, 0) << run.desktop.out << run.desktop.err;
  EXPECT_EQ(run.handheld.status, 0) << run.handheld.out << run.handheld.err;
  EXPECT_NE(run.handheld.out.find("HotSync complete"), std::string::npos) << run.handheld.out;
  EXPECT_EQ(world.slowRequestCount(), 1u);
}

TEST(LinkSync, TwoHotSyncsOverTheLinkMatchTheFolderHotSyncs) {
  World folder, link;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const std::size_t before = folder.requestCount();
    const ProgramResult local = folder.folderSync();
    ASSERT_EQ(local.status, 0) << local.err;
    const LinkRun remote = link.linkSync();
    ASSERT_EQ(remote.desktop.status, 0) << remote.desktop.out << remote.desktop.err;
    ASSERT_EQ(remote.handheld.status, 0) << remote.handheld.err;
    EXPECT_NE(remote.desktop.out.find("HotSync complete"), std::string::npos) << remote.desktop.out;
    EXPECT_NE(remote.handheld.out.find("HotSync complete"), std::string::npos);
    EXPECT_EQ(link.requests(before), folder.requests(before));
    EXPECT_EQ(link.databases(), folder.databases());
  }
  // Second round: the edition queued by the first was installed over the link.
  EXPECT_EQ(link.databases().at("Tarvo News").version, 2);
  EXPECT_EQ(tarvo::test::ReadFile(link.handheld() / "hotsync.log"),
            tarvo::test::ReadFile(folder.handheld() / "hotsync.log"));
}

TEST(LinkSync, KeepAlivesHoldTheHandheldWhileTheServerThinks) {
  World world;
  world.answerLoginAfter(kSlowAnswerMs);
  expectKeptAlive(world, world.linkSync(kImpatient));
}

TEST(LinkSync, ACutLinkLeavesEveryDatabaseWholeAndSaysSo) {
  // Where a whole first HotSync starts and ends.
  World whole;
  const auto initial = whole.databases();
  const LinkRun full = whole.linkSync();
  ASSERT_EQ(full.desktop.status, 0) << full.desktop.err;
  const auto final = whole.databases();
  const auto said = full.handheld.out.find("answered ");
  ASSERT_NE(said, std::string::npos) << full.handheld.out;
  const int requests = std::stoi(full.handheld.out.substr(said + 9));

  // After the first three requests the handheld is connected; cut anywhere
  // from there to the last request.
  std::mt19937 random(14238);
  for (int i = 0; i < 5; ++i) {
    const int cut = std::uniform_int_distribution<int>(4, requests - 1)(random);
    SCOPED_TRACE("cut after " + std::to_string(cut) + " requests");
    World world;
    const LinkRun r = world.linkSync({"--hang-up-after", std::to_string(cut)});
    EXPECT_EQ(r.desktop.status, 8) << r.desktop.out << r.desktop.err;
    EXPECT_NE(r.desktop.err.find("the handheld went away"), std::string::npos) << r.desktop.err;
    EXPECT_NE(r.handheld.err.find("hung up after"), std::string::npos) << r.handheld.err;
    EXPECT_NE(world.host({"log", "--user", "Demo User"}).out.find("the handheld went away"), std::string::npos);
    // Every database parses, and holds each record as before or as after the
    // HotSync: no half-written change.
    for (const auto& [name, db] : world.databases()) {
      SCOPED_TRACE(name);
      std::map<uint32_t, std::set<std::vector<uint8_t>>> allowed;
      for (const auto* state : {&initial, &final}) {
        if (state->contains(name)) {
          for (const auto& rec : state->at(name).records) allowed[rec.uniqueId].insert(rec.data);
        }
      }
      if (allowed.empty()) continue;  // a database that came whole from an install
      for (const auto& rec : db.records) EXPECT_TRUE(allowed[rec.uniqueId].contains(rec.data)) << rec.uniqueId;
    }
    EXPECT_EQ(world.host({"handheld", "list", "--handheld", world.handheld().string()}).status, 0);
  }
}

// The backup over the link: the changed database is read whole (app info,
// records with their attributes, resources) and, once its backup date is
// set on the handheld, not read again.
TEST(LinkSync, BackupOverTheLinkCopiesWhatChangedOnce) {
  World world;
  pdb::Database memo =
      recordDb("Link Memo", {{0x42, 10, {'a', 'b'}}, {0x00, 11, std::vector<uint8_t>(70000 / 2, 'z')}});
  memo.attributes = pdb::kAttrBackup;
  memo.creator = pdb::fourCC("memo");
  memo.appInfo = {9, 8, 7};
  pdb::writeFileAtomic(world.handheld() / "card0" / "Link_Memo.pdb", pdb::serialize(memo));
  pdb::Database app;
  app.name = "Link App";
  app.attributes = pdb::kAttrResourceDb | pdb::kAttrBackup;
  app.type = pdb::fourCC("appl");
  app.creator = pdb::fourCC("lapp");
  app.resources = {{pdb::fourCC("code"), 1, {1, 2, 3}}, {pdb::fourCC("tAIN"), 1000, {'L', 0}}};
  pdb::writeFileAtomic(world.handheld() / "card0" / "Link_App.prc", pdb::serialize(app));

  const LinkRun first = world.linkSync();
  ASSERT_EQ(first.desktop.status, 0) << first.desktop.out << first.desktop.err;
  EXPECT_NE(first.desktop.out.find("backup: 2 databases backed up"), std::string::npos) << first.desktop.out;
  const fs::path backup = world.root() / "data" / "tarvo-hotsync" / "users" / "Demo User" / "backup";
  const pdb::Database gotMemo = pdb::readFile(backup / "Link Memo.pdb").db;
  EXPECT_EQ(gotMemo.records, memo.records);
  EXPECT_EQ(gotMemo.appInfo, memo.appInfo);
  EXPECT_EQ(pdb::readFile(backup / "Link App.prc").db.resources, app.resources);

  const LinkRun second = world.linkSync();
  ASSERT_EQ(second.desktop.status, 0) << second.desktop.out << second.desktop.err;
  EXPECT_NE(second.desktop.out.find("backup: 0 databases backed up, 2 unchanged"), std::string::npos)
      << second.desktop.out;
}

TEST(LinkSync, AHandheldGoneWhileTheServerAnswersEndsTheHotSyncAtOnce) {
  // The server holds its answer to the login far longer than the test's
  // bound on the desktop, and the conduit would wait for it.
  World world(R"({"rules": [{"match": {"cmd": "login"}, "delay_ms": 600000, "body": "<tarvoconduit/>"}]})");
  world.host({"settings", "set", "Comunicacao", "timeout", "3600"});
  const uint16_t port = freePort();
  RunningProgram desktop(
      TARVO_HOST_BIN,
      {"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB, "--listen=127.0.0.1:" + std::to_string(port)},
      world.env());
  RunningProgram handheld(
      TARVO_HANDHELD_BIN,
      {"--handheld", world.handheld().string(), "--hotsync", "127.0.0.1:" + std::to_string(port), "--retry", "30"},
      world.env());
  ASSERT_TRUE(WaitUntil([&] { return world.requests().find("login") != std::string::npos; }));
  handheld.signal(SIGKILL);
  handheld.wait();
  const ProgramResult r = desktop.wait(90);
  EXPECT_EQ(r.status, 8) << r.out << r.err;
  EXPECT_NE(r.err.find("the handheld went away"), std::string::npos) << r.err;
  EXPECT_NE(world.host({"log", "--user", "Demo User"}).out.find("the handheld went away"), std::string::npos);
}

// A reset handheld: the same device, no databases.
fs::path resetHandheld(const World& world, const std::string& name) {
  const fs::path folder = world.root() / name;
  fs::create_directories(folder / "card0");
  fs::copy_file(world.handheld() / "device.conf", folder / "device.conf");
  return folder;
}

TEST(LinkSync, RestoringTwiceOverTheLinkSkipsWhatIsThereAndACutRestoreLeavesWholeDatabases) {
  World world;
  pdb::Database memo = recordDb("Link Memo", {{0x02, 10, {'a', 'b'}}, {0x00, 11, std::vector<uint8_t>(3000, 'z')}});
  memo.attributes = pdb::kAttrBackup;
  memo.appInfo = {9, 8, 7};
  pdb::writeFileAtomic(world.handheld() / "card0" / "Link_Memo.pdb", pdb::serialize(memo));
  ASSERT_EQ(world.linkSync().desktop.status, 0);
  const auto before = contents(world.handheld(), true);

  const fs::path reset = resetHandheld(world, "reset");
  const LinkRun first = world.linked({"restore", "--user", "Demo User"}, reset);
  ASSERT_EQ(first.desktop.status, 0) << first.desktop.out << first.desktop.err;
  const auto restored = contents(reset, true);
  ASSERT_TRUE(restored.contains("Link Memo"));
  for (const auto& [name, db] : restored) EXPECT_EQ(db, before.at(name)) << name;

  // The handheld dated them anew; the content is the backup's all the same.
  const LinkRun again = world.linked({"restore", "--user", "Demo User"}, reset);
  EXPECT_EQ(again.desktop.status, 0) << again.desktop.out << again.desktop.err;
  EXPECT_NE(again.desktop.out.find("0 databases restored, " + std::to_string(restored.size()) + " already there"),
            std::string::npos)
      << again.desktop.out;
  EXPECT_NE(again.desktop.out.find("already there: Link Memo"), std::string::npos) << again.desktop.out;

  // Cut part-way: each database is there whole or not at all, and a later
  // restore completes.
  const auto said = first.handheld.out.find("answered ");
  ASSERT_NE(said, std::string::npos) << first.handheld.out;
  const int requests = std::stoi(first.handheld.out.substr(said + 9));
  for (int cut = 4; cut < requests; cut += std::max(1, (requests - 4) / 4)) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " requests");
    const fs::path cutOff = resetHandheld(world, "cut" + std::to_string(cut));
    const LinkRun r =
        world.linked({"restore", "--user", "Demo User"}, cutOff, {"--hang-up-after", std::to_string(cut)});
    EXPECT_NE(r.desktop.status, 0) << r.desktop.out;
    for (const auto& [name, db] : contents(cutOff, true)) EXPECT_EQ(db, before.at(name)) << name;
    const LinkRun later = world.linked({"restore", "--user", "Demo User"}, cutOff);
    EXPECT_EQ(later.desktop.status, 0) << later.desktop.out << later.desktop.err;
    EXPECT_EQ(contents(cutOff, true), restored);
  }
}

// An application is a resource database: the desktop reads it over the link
// as it reads records, not from files it does not have.
TEST(LinkSync, AnApplicationDumpsOverTheLinkAsFromItsFolder) {
  World world;
  const LinkRun dump = world.linked({"handheld", "dump", "Tarvo"}, world.handheld());
  ASSERT_EQ(dump.desktop.status, 0) << dump.desktop.out << dump.desktop.err;
  const ProgramResult local = world.host({"handheld", "dump", "--handheld", world.handheld().string(), "Tarvo"});
  ASSERT_EQ(local.status, 0) << local.err;
  EXPECT_NE(local.out.find("resource 2: type code id 1"), std::string::npos) << local.out;
  // The same dump after the line that says where the desktop waited.
  EXPECT_EQ(dump.desktop.out.substr(dump.desktop.out.find('\n') + 1), local.out);
}

}  // namespace

namespace {

// The serial ports of a desktop and the matching tarvo-handheld arguments:
// a pseudo-terminal pair, and an emulator's serial port over TCP.
struct SerialPort {
  std::string name, desktop;
  std::vector<std::string> handheld;
};

std::vector<SerialPort> serialPorts(const SerialLine& line) {
  const std::string tcp = "127.0.0.1:" + std::to_string(freePort());
  return {{"tty", line.desktop(), {"--serial", line.handheld(), "--retry", "30"}},
          {"serial-tcp", "serial-tcp:" + tcp, {"--serial-tcp", tcp, "--retry", "30"}}};
}

TEST(SerialSync, HotSyncsOverSerialMatchTheFolderHotSyncs) {
  for (int kind = 0; kind < 2; ++kind) {
    SerialLine line;
    TARVO_NEEDS(line.ok(), line.why());
    const SerialPort port = serialPorts(line)[kind];
    SCOPED_TRACE(port.name);
    World folder, serial;
    const ProgramResult local = folder.folderSync();
    ASSERT_EQ(local.status, 0) << local.err;
    const LinkRun remote = serial.syncOverPort(port.desktop, port.handheld);
    ASSERT_EQ(remote.desktop.status, 0) << remote.desktop.out << remote.desktop.err;
    ASSERT_EQ(remote.handheld.status, 0) << remote.handheld.err;
    EXPECT_NE(remote.handheld.out.find("HotSync complete"), std::string::npos);
    EXPECT_EQ(serial.requests(), folder.requests());
    // The conduit wrote its records over the link as into the folder.
    EXPECT_EQ(serial.databases(), folder.databases());
  }
}

TEST(SerialSync, KeepAlivesHoldTheHandheldWhileTheServerThinks) {
  SerialLine line;
  TARVO_NEEDS(line.ok(), line.why());
  World world;
  world.answerLoginAfter(kSlowAnswerMs);
  SerialPort port = serialPorts(line)[0];
  port.handheld.insert(port.handheld.end(), kImpatient.begin(), kImpatient.end());
  expectKeptAlive(world, world.syncOverPort(port.desktop, port.handheld));
}

TEST(SerialSync, ListAndDumpOverATty) {
  SerialLine line;
  TARVO_NEEDS(line.ok(), line.why());
  World world;
  const SerialPort port = serialPorts(line)[0];
  const LinkRun list = world.overPort({"handheld", "list"}, port.desktop, port.handheld);
  ASSERT_EQ(list.desktop.status, 0) << list.desktop.out << list.desktop.err;
  EXPECT_NE(list.desktop.out.find("Tarvo Notes"), std::string::npos) << list.desktop.out;

  SerialLine again;
  const SerialPort second = serialPorts(again)[0];
  const LinkRun dump = world.overPort({"handheld", "dump", "Tarvo Notes"}, second.desktop, second.handheld);
  ASSERT_EQ(dump.desktop.status, 0) << dump.desktop.out << dump.desktop.err;
  const ProgramResult local = world.host({"handheld", "dump", "--handheld", world.handheld().string(), "Tarvo Notes"});
  // The same dump after the line that says where the desktop waited.
  EXPECT_EQ(dump.desktop.out.substr(dump.desktop.out.find('\n') + 1), local.out);
}

TEST(SerialSync, AHandheldGoneMidwayEndsWithStatus8) {
  SerialLine line;
  TARVO_NEEDS(line.ok(), line.why());
  World world;
  SerialPort port = serialPorts(line)[0];
  port.handheld.insert(port.handheld.end(), {"--hang-up-after", "6"});
  const LinkRun r = world.syncOverPort(port.desktop, port.handheld);
  EXPECT_EQ(r.desktop.status, 8) << r.desktop.out << r.desktop.err;
  EXPECT_NE(r.desktop.err.find("the handheld went away"), std::string::npos) << r.desktop.err;
  EXPECT_NE(world.host({"log", "--user", "Demo User"}).out.find("the handheld went away"), std::string::npos);
}

}  // namespace
