// The log and Install windows over the real host: HotSyncs of a copy of the
// example handheld write the desktop log the window groups, and real Palm
// files are queued through `tarvo-hotsync install`.
#include <gtest/gtest.h>

#include <QMimeData>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "desktop/desktop_app.h"
#include "desktop/host_command.h"
#include "desktop/install_window.h"
#include "desktop/log_window.h"
#include "manager_lines.h"
#include "xdg_world.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::desktop;

class HostWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    // A runtime folder of its own: the host's commands reach no manager of another run.
    fs::create_directory(world_.root() / "run");
    fs::permissions(world_.root() / "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (world_.root() / "run").c_str(), 1);
    fs::copy(TARVO_EXAMPLE_HANDHELD, handheld_, fs::copy_options::recursive);
    ASSERT_EQ(hostProgram(), QString(TARVO_HOST_BIN));  // the host beside this program
  }
  // A HotSync with the test conduit, which fails when told to.
  void hotSync(bool conduitFails = false) {
    if (conduitFails) qputenv("TARVO_STUB_RESULT", "-1");
    const HostResult result = runHost({"sync", "--no-gui", "--offline", "--handheld", QString::fromStdString(handheld_),
                                       "--conduit", TARVO_STUB_CONDUIT});
    qunsetenv("TARVO_STUB_RESULT");
    ASSERT_EQ(result.status, conduitFails ? 3 : 0) << result.error.toStdString();
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
  tarvo::test::XdgWorld world_{"tarvo-desktop-host"};
  std::string handheld_ = (world_.root() / "handheld").string();
};

TEST_F(HostWindows, TheLogGroupsEachHotSyncMarksItsFailureAndFollowsTheNext) {
  hotSync();
  LogWindow window;
  EXPECT_EQ(window.currentUser(), "Demo User");
  ASSERT_EQ(window.tree()->topLevelItemCount(), 1);
  QTreeWidgetItem* group = window.tree()->topLevelItem(0);
  EXPECT_FALSE(group->text(2).endsWith(": failed")) << group->text(2).toStdString();
  EXPECT_TRUE(group->child(0)->text(2).startsWith("HotSync started"));
  EXPECT_EQ(group->child(group->childCount() - 1)->text(2), "HotSync finished");
  // The handheld's own log beside it: what the conduit wrote there.
  EXPECT_EQ(window.handheld()->toPlainText(), "Test conduit was here");

  hotSync(true);
  window.reload();
  ASSERT_EQ(window.tree()->topLevelItemCount(), 2);
  group = window.tree()->topLevelItem(1);
  EXPECT_TRUE(group->isExpanded());  // the newest open
  EXPECT_TRUE(group->text(2).endsWith(": failed")) << group->text(2).toStdString();
  // As the handheld shows it: its last HotSync's entries only.
  EXPECT_EQ(window.handheld()->toPlainText(), "Test conduit was here");
  const QString text = window.text();
  EXPECT_TRUE(text.startsWith("HotSync log of Demo User\n"));
  EXPECT_EQ(text.count(": FAILED\n"), 1) << text.toStdString();
  // The log command's word beside the code, and the failing entry marked.
  EXPECT_TRUE(text.contains("\t21 aviso\t! Conduit TestConduit failed (OpenConduit returned -1)\n"))
      << text.toStdString();
}

TEST_F(HostWindows, AnOpenLogFollowsTheManagersEvents) {
  class Quiet : public ManagerClient {
   public:
    void start() override {}
    void request(const QString&, Reply, const QJsonObject& = {}) override {}
    void feed(const QByteArray& line) { emit eventArrived(tarvo::test::object(line)); }
  };
  auto owned = std::make_unique<Quiet>();
  Quiet* client = owned.get();
  DesktopApp app(std::move(owned), AppOptions{.tray = false});
  hotSync();
  LogWindow& log = app.showLog();
  ASSERT_EQ(log.tree()->topLevelItemCount(), 1);
  client->feed(tarvo::test::kFirstState);
  hotSync();
  for (const QByteArray& line : tarvo::test::hotSyncLines(2, 0, "ok", "HotSync completed")) client->feed(line);
  EXPECT_EQ(log.tree()->topLevelItemCount(), 2);
}

TEST(LogModel, LinesBeforeTheFirstStartAreOneGroupAndEachUserHasHisOwn) {
  const QByteArray json =
      R"json({"log":"desktop","user":"Ana","time":"2026-12-01 09:00:00","activity":-1,"word":"texto","text":"old line"}
{"log":"desktop","user":"Ana","time":"2026-12-01 09:00:01","activity":8,"word":"cancelado","text":"Tarvo"}
{"log":"desktop","user":"Ana","time":"2026-12-02 10:00:00","activity":-1,"word":"texto","text":"HotSync started (usb:)"}
{"log":"desktop","user":"Bo","time":"2026-12-02 11:00:00","activity":-1,"word":"texto","text":"HotSync started (usb:)"}
{"log":"handheld","text":"not a desktop line"}
not json at all
{"log":"desktop","user":"Ana","time":"2026-12-02 10:00:05","activity":-1,"word":"texto","text":"HotSync finished"}
)json";
  const auto users = groupLog(json);
  ASSERT_EQ(users.size(), 2u);
  const std::vector<LogGroup>& ana = users.at("Ana");
  ASSERT_EQ(ana.size(), 2u);
  EXPECT_TRUE(ana[0].failed);  // a cancelled HotSync
  EXPECT_EQ(ana[1].start(), "2026-12-02 10:00:00");
  EXPECT_EQ(ana[1].end(), "2026-12-02 10:00:05");
  EXPECT_FALSE(ana[1].failed);
  EXPECT_EQ(users.at("Bo").size(), 1u);
}

TEST_F(HostWindows, ADropQueuesThePalmFilesAndRefusesTheOtherWithItsReason) {
  hotSync();  // makes the user
  const fs::path bad = world_.root() / "notes.txt";
  std::ofstream(bad) << "not a database";
  InstallWindow window;
  window.setUser("Demo User");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(handheld_ + "/card0/Tarvo.prc")),
                QUrl::fromLocalFile(QString::fromStdString(bad.string())),
                QUrl::fromLocalFile(QString::fromStdString(handheld_ + "/card0/Tarvo_News.pdb"))});
  window.addFiles(InstallWindow::droppedFiles(data));

  QTreeWidget* queue = window.queue();
  ASSERT_EQ(queue->topLevelItemCount(), 2) << window.message().toStdString();
  EXPECT_EQ(queue->topLevelItem(0)->text(0), "Tarvo.prc");
  EXPECT_EQ(queue->topLevelItem(0)->text(1), "Tarvo");
  EXPECT_EQ(queue->topLevelItem(0)->text(2), "application");
  EXPECT_EQ(queue->topLevelItem(1)->text(1), "Tarvo News");
  EXPECT_TRUE(window.message().contains("2 files queued for Demo User's next HotSync."))
      << window.message().toStdString();
  EXPECT_TRUE(window.message().contains("Refused: " + QString::fromStdString(bad.string()) + ": not a Palm database"))
      << window.message().toStdString();
  // The command line sees the same queue.
  EXPECT_EQ(runHost({"install", "--list", "--user", "Demo User"}).out.count('\n'), 2);

  queue->topLevelItem(0)->setSelected(true);
  window.removeSelected();
  ASSERT_EQ(queue->topLevelItemCount(), 1);
  EXPECT_EQ(queue->topLevelItem(0)->text(0), "Tarvo_News.pdb");
}

}  // namespace
