// The HotSync window: its steps read from the manager's events, its Cancel
// sent to the manager for the HotSync it shows; and a Cancel pressed during
// a real manager's HotSync of a played handheld, which ends it cancelled.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <thread>

#include "desktop/desktop_app.h"
#include "desktop/host_command.h"
#include "desktop/hotsync_window.h"
#include "manager_lines.h"
#include "run_program.h"
#include "server_process.h"
#include "waits.h"
#include "xdg_world.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::desktop;
using State = HotSyncStep::State;

QByteArray step(const char* type, const QByteArray& fields, int id = 7) {
  return R"({"v":1,"event":")" + QByteArray(type) + R"(","seq":60,"time":"2026-12-08T18:02:05Z","hotsync":)" +
         QByteArray::number(id) + (fields.isEmpty() ? "" : "," + fields) + "}";
}

std::vector<std::pair<QString, State>> shown(const HotSyncSteps& steps) {
  std::vector<std::pair<QString, State>> rows;
  for (const HotSyncStep& s : steps.steps()) rows.emplace_back(s.text, s.state);
  return rows;
}

// One HotSync's lines with the host's steps between them: two files queued
// (one refused), the conduit, two databases backed up.
QList<QByteArray> withSteps(int status, const char* result, const char* words) {
  QList<QByteArray> lines = tarvo::test::hotSyncLines(7, status, result, words);
  lines.insert(3, step("installing", R"("files":2)"));
  lines.insert(lines.size() - 2, step("backing-up", R"("database":"MemoDB")"));
  lines.insert(lines.size() - 2, step("backing-up", R"("database":"AddressDB")"));
  return lines;
}

TEST(HotSyncSteps, FollowsTheHostsStepsAndMarksWhatFailed) {
  HotSyncSteps steps;
  steps.take(tarvo::test::object(tarvo::test::kFirstState));
  EXPECT_FALSE(steps.running());
  const QList<QByteArray> lines = withSteps(0, "ok", "HotSync completed");
  for (int i = 0; i < lines.size(); ++i) {
    steps.take(tarvo::test::object(lines[i]));
    if (lines[i].contains("\"backing-up\"") && lines[i].contains("AddressDB")) {
      EXPECT_EQ(steps.steps().back().text, "Backing up AddressDB");
      EXPECT_EQ(steps.steps().back().state, State::Running);
      EXPECT_EQ(steps.title(), "HotSync of Ana Souza over the network");
      EXPECT_EQ(steps.percent(), 42);
      EXPECT_EQ(steps.words(), "Downloading news");
      EXPECT_TRUE(steps.cancellable());
    }
  }
  EXPECT_EQ(shown(steps), (std::vector<std::pair<QString, State>>{
                              {"Installed 1 of 2 files; notes.txt not installed: not a Palm database", State::Failed},
                              {"Tarvo Sync", State::Done},
                              {"Backed up 3 databases", State::Done}}));
  EXPECT_EQ(steps.title(), "HotSync of Ana Souza done");
  EXPECT_EQ(steps.percent(), 100);
  EXPECT_EQ(steps.words(), "HotSync completed");
  EXPECT_FALSE(steps.cancellable());
}

TEST(HotSyncSteps, ACancelEndsInTheStepItStoppedAndOthersHotSyncsAreNotMixedIn) {
  HotSyncSteps steps;
  // Started while the HotSync ran: the state's conduit is where it is.
  QByteArray state = tarvo::test::kFirstState;
  state.replace(R"("hotsync":null)",
                R"("hotsync":{"id":7,"origin":"handheld","port":"usb:","link":"usb","user":"Ana Souza","percent":30,)"
                R"("conduit":{"creator":"Tarv","name":"Tarvo Sync"}})");
  steps.take(tarvo::test::object(state));
  EXPECT_EQ(steps.title(), "HotSync of Ana Souza over USB");
  EXPECT_EQ(steps.percent(), 30);
  // Another HotSync waits its turn; its events are not this one's.
  EXPECT_FALSE(steps.take(tarvo::test::object(step("progress", R"("percent":90)", 8))));
  EXPECT_FALSE(steps.take(tarvo::test::object(step("installing", R"("files":1)", 8))));

  steps.cancelPressed();
  EXPECT_FALSE(steps.cancellable());
  EXPECT_EQ(steps.words(), "Cancelling: the handheld is told to stop");
  const QList<QByteArray> lines = tarvo::test::hotSyncLines(7, 5, "cancelled", "HotSync cancelled");
  steps.take(tarvo::test::object(lines.back()));
  EXPECT_EQ(shown(steps), (std::vector<std::pair<QString, State>>{{"Tarvo Sync", State::Failed}}));
  EXPECT_EQ(steps.title(), "HotSync of Ana Souza cancelled");
  EXPECT_EQ(steps.percent(), 30);  // never filled for a HotSync that did not finish
  EXPECT_EQ(steps.words(), "HotSync cancelled");

  // The next HotSync starts afresh.
  steps.take(tarvo::test::object(tarvo::test::hotSyncLines(8, 0, "ok", "HotSync completed")[1]));
  EXPECT_TRUE(steps.cancellable());
  EXPECT_TRUE(steps.steps().empty());
}

// The manager's stream as the test hands it over; the requests it was sent.
class HandFed : public ManagerClient {
 public:
  void start() override {}
  void request(const QString& name, Reply done, const QJsonObject& fields = {}) override {
    QJsonObject sent = fields;
    sent["request"] = name;
    requests << sent;
    done(answer);
  }
  void feed(const QByteArray& line) { emit eventArrived(tarvo::test::object(line)); }
  QList<QJsonObject> requests;
  QJsonObject answer{{"v", 1}, {"reply", "cancel"}, {"ok", true}, {"hotsync", 7}};
};

TEST(HotSyncWindow, ShowsWhenAHotSyncStartsAndSendsOneCancelForIt) {
  tarvo::test::TempFolder home("tarvo-hotsync-window");
  setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  auto owned = std::make_unique<HandFed>();
  HandFed* client = owned.get();
  DesktopApp app(std::move(owned), AppOptions{.tray = false});
  HotSyncWindow& window = app.hotSyncWindow();
  client->feed(tarvo::test::kFirstState);
  EXPECT_FALSE(window.isVisible());
  const QList<QByteArray> lines = withSteps(0, "ok", "HotSync completed");
  for (int i = 0; i < 7; ++i) client->feed(lines[i]);  // up to the conduit's start
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(window.list()->count(), 2);
  EXPECT_EQ(window.list()->item(0)->text(),
            "Installed 1 of 2 files; notes.txt not installed: not a Palm database (failed)");
  EXPECT_EQ(window.list()->item(1)->text(), "Tarvo Sync");

  // Refused (the HotSync had just ended): said, and Cancel can be pressed again.
  client->answer =
      QJsonObject{{"v", 1}, {"reply", "cancel"}, {"ok", false}, {"message", "HotSync 7 is neither running nor queued"}};
  window.cancelButton()->click();
  EXPECT_EQ(window.steps().words(), "HotSync 7 is neither running nor queued");
  EXPECT_TRUE(window.cancelButton()->isEnabled());
  client->answer = QJsonObject{{"v", 1}, {"reply", "cancel"}, {"ok", true}, {"hotsync", 7}};
  window.cancelButton()->click();
  window.cancelButton()->click();  // pressed twice: asked once
  ASSERT_EQ(client->requests.size(), 2);
  EXPECT_EQ(client->requests[1], (QJsonObject{{"request", "cancel"}, {"hotsync", 7}}));
  EXPECT_FALSE(window.cancelButton()->isEnabled());
  unsetenv("XDG_CONFIG_HOME");
}

// A real manager runs a network HotSync of the played handheld; the server
// holds its login, so the HotSync is in its conduit when Cancel is pressed.
class RealManager : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(world_.root() / "run");
    fs::permissions(world_.root() / "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (world_.root() / "run").c_str(), 1);
    if (const char* home = getenv("HOME")) home_ = home;
    setenv("HOME", world_.root().c_str(), 1);
    // Nobody to answer a login prompt: the conduit's dialogs end at once.
    setenv("TARVO_NO_TTY", "1", 1);
    setenv("TARVO_NO_GUI", "1", 1);
  }
  void TearDown() override {
    runHost({"manager", "--quit"});
    for (const char* name : {"XDG_RUNTIME_DIR", "TARVO_NO_TTY", "TARVO_NO_GUI"}) unsetenv(name);
    setenv("HOME", home_.c_str(), 1);
  }
  fs::path log() const { return world_.root() / "run/tarvo-hotsync/manager.log"; }
  // Where the manager answers network HotSyncs, from its log.
  std::string address() const {
    std::ifstream in(log());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::string said = "listening for network HotSync on port ";
    const auto at = text.rfind(said);
    return at == std::string::npos ? "" : "127.0.0.1:" + std::to_string(std::atoi(text.c_str() + at + said.size()));
  }
  // Runs the event loop until `done` holds (bounded, as every wait here).
  static bool pumpUntil(const std::function<bool()>& done) {
    return tarvo::test::WaitUntil([&] {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      return done();
    });
  }

  tarvo::test::XdgWorld world_{"tarvo-desktop-cancel"};
  std::string home_;
};

TEST_F(RealManager, ACancelPressedInTheWindowEndsTheHotSyncCancelledAndTheHandheldHearsIt) {
  const fs::path handheld = world_.root() / "handheld";
  fs::copy(TARVO_EXAMPLE_HANDHELD, handheld, fs::copy_options::recursive);
  syncserver_test::ServerProcess server;
  ASSERT_TRUE(
      server.play(world_.root() / "server",
                  R"([{"match": {"cmd": "login"}, "delay_ms": 60000, "body": "<tarvoconduit></tarvoconduit>"}])"));
  ASSERT_EQ(
      runHost({"settings", "set", "Comunicacao", "syncserver", QString::fromStdString(server.url() + "sync")}).status,
      0);
  ASSERT_EQ(runHost({"manager", "-r", "--listen=127.0.0.1:0"}).status, 0);
  ASSERT_TRUE(tarvo::test::WaitUntil([&] { return !address().empty(); }));

  DesktopApp app(std::make_unique<SocketManagerClient>(), AppOptions{.tray = false});
  app.start();
  HotSyncWindow& window = app.hotSyncWindow();
  ASSERT_TRUE(pumpUntil([&] { return app.watch().state() != nullptr; }));
  tarvo::test::RunningProgram played(TARVO_HANDHELD_BIN, {"--handheld", handheld.string(), "--hotsync", address()}, {});
  const fs::path requests = world_.root() / "server/requests.jsonl";
  bool offline = false;
  ASSERT_TRUE(pumpUntil([&] {
    offline = window.steps().ended() && window.steps().ended()->result == "offline";
    return offline || tarvo::test::CountOf(
                          [&] {
                            std::ifstream in(requests);
                            return std::string((std::istreambuf_iterator<char>(in)), {});
                          }(),
                          "\"cmd\",\"login\"") > 0;
  }));
  // A HotSync the manager starts asks the machine whether it is online.
  if (offline) GTEST_SKIP() << "no network interface is up, so the manager's network HotSync is offline";
  EXPECT_TRUE(window.isVisible());
  ASSERT_FALSE(window.steps().steps().empty());
  EXPECT_EQ(window.steps().steps().back().state, State::Running);
  window.cancelButton()->click();
  ASSERT_TRUE(pumpUntil([&] { return window.steps().ended().has_value(); }));

  EXPECT_EQ(window.steps().ended()->status, 5);
  EXPECT_EQ(window.steps().title(), "HotSync of Demo User cancelled");
  EXPECT_EQ(window.steps().steps().back().state, State::Failed);
  const tarvo::test::ProgramResult heard = played.wait();
  EXPECT_EQ(heard.status, 0) << heard.err;
  EXPECT_NE((heard.out + heard.err).find("HotSync cancelled"), std::string::npos) << heard.out << heard.err;
  // A Cancel for a HotSync that is over cancels nothing.
  QJsonObject late;
  SocketManagerClient client;
  client.request(
      "cancel", [&](const QJsonObject& reply) { late = reply; }, QJsonObject{{"hotsync", window.steps().hotsync()}});
  ASSERT_TRUE(pumpUntil([&] { return !late.isEmpty(); }));
  EXPECT_EQ(late.value("ok"), false);
  EXPECT_EQ(late.value("error"), "no-hotsync");
  server.stop();
}

}  // namespace
