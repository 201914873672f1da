// Setup, Conduits and Users and backups over the real files and the real
// host: manager.conf round trips, a conduit turned off reaches the host's
// list, a user deleted keeps its backup.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QListWidget>
#include <QRadioButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "desktop/conduit_list.h"
#include "desktop/conduits_window.h"
#include "desktop/connection_setup.h"
#include "desktop/host_command.h"
#include "desktop/manager_watch.h"
#include "desktop/setup_window.h"
#include "desktop/users_window.h"
#include "hotsync/host.h"
#include "xdg_world.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::desktop;

// Answers reload as a manager that took the file would.
class ReloadingManager : public ManagerClient {
 public:
  void start() override {}
  void request(const QString& name, Reply done, const QJsonObject& = {}) override {
    requests << name;
    done(QJsonObject{{"v", 1},
                     {"reply", name},
                     {"ok", true},
                     {"ports", QJsonArray{QJsonObject{{"port", "usb:"}}, QJsonObject{{"port", "net:0.0.0.0:14238"}}}}});
  }
  QStringList requests;
};

QString read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class DesktopFiles : public ::testing::Test {
 protected:
  // A runtime folder of its own: registering restarts the manager it finds
  // there, and it must never be another run's.
  void SetUp() override {
    fs::create_directory(world_.root() / "run");
    fs::permissions(world_.root() / "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (world_.root() / "run").c_str(), 1);
  }
  // Registering starts a manager when none runs: the test ends it.
  void TearDown() override {
    runHost({"manager", "--quit"});
    unsetenv("XDG_RUNTIME_DIR");
  }
  tarvo::test::XdgWorld world_{"tarvo-desktop-files"};
};

TEST_F(DesktopFiles, SetupRoundTripsManagerConfKeepingWhatItDoesNotEdit) {
  // A /dev with one USB serial adapter named by id and a built-in port.
  const fs::path dev = world_.root() / "dev";
  fs::create_directories(dev / "serial/by-id");
  std::ofstream(dev / "ttyUSB0").put('\0');
  std::ofstream(dev / "ttyS0").put('\0');
  fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-Palm_Inc._Handheld-if00-port0");
  const QString conf = managerConfigPath();
  fs::create_directories(fs::path(conf.toStdString()).parent_path());
  std::ofstream(conf.toStdString())
      << "# mine\nhandheld-wait = 120\nport = /dev/ttyUSB7 19200\nport = net:127.0.0.1:9000\n"
         "network = on\nbackup = off\n";

  ReloadingManager manager;
  SetupWindow window(manager, QString::fromStdString(dev.string()));
  EXPECT_TRUE(window.usb()->isChecked());  // on unless the file turns it off
  EXPECT_TRUE(window.network(NetworkReach::ThisMachine)->isChecked());
  QListWidget* serial = window.serial();
  ASSERT_EQ(serial->count(), 3);
  const QString usb0 = QString::fromStdString((dev / "ttyUSB0").string());
  EXPECT_EQ(serial->item(1)->text(), usb0 + " (usb-Palm_Inc._Handheld-if00-port0)");
  EXPECT_EQ(serial->item(1)->checkState(), Qt::Unchecked);
  EXPECT_EQ(serial->item(2)->text(), "/dev/ttyUSB7 (not present now)");
  EXPECT_EQ(serial->item(2)->checkState(), Qt::Checked);

  // Each port its own speed: the file's for the one not present now, the
  // one chosen here for the adapter.
  serial->setCurrentRow(2);
  EXPECT_EQ(window.speed()->currentData().toInt(), 19200);
  serial->setCurrentRow(1);
  EXPECT_EQ(window.speed()->currentData().toInt(), 0);
  window.speed()->setCurrentIndex(window.speed()->findData(57600));
  serial->setCurrentRow(2);
  EXPECT_EQ(window.speed()->currentData().toInt(), 19200);
  serial->item(1)->setCheckState(Qt::Checked);
  serial->item(2)->setCheckState(Qt::Unchecked);
  window.usb()->setChecked(false);
  window.network(NetworkReach::LocalNetwork)->setChecked(true);
  window.save();
  EXPECT_EQ(manager.requests, QStringList{"reload"});
  EXPECT_EQ(window.message(), "Saved. The HotSync manager now watches: usb:, net:0.0.0.0:14238");
  EXPECT_EQ(read(conf), "# mine\nhandheld-wait = 120\nport = net:127.0.0.1:9000\nusb = off\nport = " + usb0 +
                            " 57600\nnetwork = 0.0.0.0\nbackup = off\n");
  // The manager takes what the window wrote.
  const HostResult started = runHost({"manager", "-r"});
  EXPECT_EQ(started.status, 0) << started.error.toStdString();

  ConnectionSetup again;
  ASSERT_TRUE(readSetup(conf, &again, nullptr));
  EXPECT_FALSE(again.usb);
  EXPECT_EQ(again.serialPorts, QStringList{usb0});
  EXPECT_EQ(again.serialRates, (std::map<QString, int>{{usb0, 57600}}));
  EXPECT_EQ(again.network, NetworkReach::LocalNetwork);
  EXPECT_FALSE(again.backup);
}

TEST_F(DesktopFiles, AConduitTurnedOffReachesTheRegistrationsAndTheBackupSwitchTheFile) {
  const HostResult registered = runHost({"register", TARVO_CONDUIT_LIB});
  ASSERT_EQ(registered.status, 0) << registered.error.toStdString();
  ConduitsWindow window;
  QTreeWidget* list = window.list();
  ASSERT_EQ(list->topLevelItemCount(), 1) << window.message().toStdString();
  QTreeWidgetItem* conduit = list->topLevelItem(0);
  EXPECT_EQ(conduit->checkState(0), Qt::Checked);
  const QString creator = conduit->text(1);
  conduit->setCheckState(0, Qt::Unchecked);

  // The command line sees it off, and so does the window read again.
  const QString listing = QString::fromUtf8(runHost({"conduits"}).out);
  EXPECT_TRUE(listing.contains("next HotSync: turned off")) << listing.toStdString();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
  const std::vector<ConduitRow> rows = parseConduits(runHost({"conduits", "--json"}).out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].creator, creator);
  EXPECT_EQ(rows[0].name, list->topLevelItem(0)->text(0));
  EXPECT_TRUE(rows[0].off);
  EXPECT_TRUE(listing.contains(rows[0].next)) << rows[0].next.toStdString();

  EXPECT_TRUE(window.backup()->isChecked());
  window.backup()->setChecked(false);
  EXPECT_TRUE(read(managerConfigPath()).contains("backup = off\n"));
}

TEST_F(DesktopFiles, ADeletedUserKeepsItsBackupUnlessTold) {
  fs::copy(TARVO_EXAMPLE_HANDHELD, world_.root() / "handheld", fs::copy_options::recursive);
  const HostResult sync =
      runHost({"sync", "--no-gui", "--offline", "--handheld",
               QString::fromStdString((world_.root() / "handheld").string()), "--conduit", TARVO_STUB_CONDUIT});
  ASSERT_EQ(sync.status, 0) << sync.error.toStdString();
  // A backed-up database, as a HotSync of a handheld with the backup bit leaves.
  const fs::path backup = hotsync::userDir("Demo User") / "backup";
  fs::copy_file(world_.root() / "handheld/card0/Tarvo_News.pdb", backup / "Tarvo_News.pdb");

  ManagerWatch watch;
  UsersWindow window(watch);
  ASSERT_EQ(window.list()->topLevelItemCount(), 1);
  QTreeWidgetItem* user = window.list()->topLevelItem(0);
  EXPECT_EQ(user->text(0), "Demo User");
  EXPECT_FALSE(user->text(2).isEmpty());
  EXPECT_NE(user->text(3), "none");  // the backup's size

  ASSERT_TRUE(window.deleteSelected(false)) << window.message().toStdString();
  EXPECT_EQ(window.list()->topLevelItemCount(), 0);
  EXPECT_TRUE(fs::exists(backup));
  EXPECT_TRUE(runHost({"users"}).out.isEmpty());
}

}  // namespace
