#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QStandardPaths>
#include <QTranslator>

#include "desktop/autostart.h"
#include "desktop/desktop_app.h"
#include "desktop/translations.h"
#include "manager_lines.h"
#include "temp_folder.h"

namespace {

using namespace tarvo::desktop;

// The manager's stream as the test hands it over.
class HandFedClient : public ManagerClient {
 public:
  void start() override { emit lost("The HotSync manager is not running"); }
  void request(const QString& name, Reply done, const QJsonObject& = {}) override {
    requests << name;
    done(QJsonObject{{"v", 1}, {"reply", name}});
  }
  void feed(const QByteArray& line) { emit eventArrived(tarvo::test::object(line)); }
  QStringList requests;
};

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", home_.path().c_str(), 1);
    QStandardPaths::setTestModeEnabled(false);
  }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
  tarvo::test::TempFolder home_{"tarvo-desktop-home"};
};

TEST_F(Desktop, TheIconSaysTheStateInItsWindowWhereThereIsNoStatusArea) {
  auto owned = std::make_unique<HandFedClient>();
  HandFedClient* client = owned.get();
  DesktopApp app(std::move(owned), AppOptions{.tray = false});
  app.start();
  StatusIcon& icon = app.icon();
  ASSERT_FALSE(icon.inTray());
  ASSERT_NE(icon.window(), nullptr);
  EXPECT_EQ(icon.toolTip(), "The HotSync manager is not running");

  client->feed(tarvo::test::kFirstState);
  EXPECT_TRUE(icon.toolTip().startsWith("Waiting for a handheld on USB")) << icon.toolTip().toStdString();
  const QList<QByteArray> lines = tarvo::test::hotSyncLines(7, 0, "ok", "HotSync completed");
  for (int i = 0; i < 3; ++i) client->feed(lines[i]);
  EXPECT_TRUE(icon.toolTip().startsWith("HotSync of Ana Souza over the network")) << icon.toolTip().toStdString();
  // The end, with no notification service to tell: nothing else changes.
  for (int i = 3; i < lines.size(); ++i) client->feed(lines[i]);
  EXPECT_TRUE(icon.toolTip().contains("Last HotSync done at")) << icon.toolTip().toStdString();

  QStringList entries;
  for (QAction* action : icon.menu()->actions())
    if (!action->isSeparator()) entries << action->text().remove('&');
  EXPECT_EQ(entries, QStringList({"HotSync log", "Install...", "Users and backups", "Setup...", "Conduits...",
                                  "Start at login", "About", "Quit"}));
  // Quit with no HotSync running asks nothing and quits the manager.
  QAction* quit = icon.menu()->actions().back();
  quit->trigger();
  EXPECT_EQ(client->requests, QStringList{"quit"});
}

TEST_F(Desktop, StartAtLoginIsOnFromTheFirstStartAndAChoiceIsKept) {
  EXPECT_FALSE(startsAtLogin());
  startAtLoginUnlessChosen("/opt/tarvo/bin/tarvo-hotsync-manager-ui");
  EXPECT_TRUE(startsAtLogin());
  QFile entry(autostartFile());
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const QByteArray text = entry.readAll();
  EXPECT_TRUE(text.contains("Exec=\"/opt/tarvo/bin/tarvo-hotsync-manager-ui\"\n")) << text.toStdString();
  entry.close();

  QString error;
  ASSERT_TRUE(setStartAtLogin(false, "/opt/tarvo/bin/tarvo-hotsync-manager-ui", &error)) << error.toStdString();
  EXPECT_FALSE(startsAtLogin());
  startAtLoginUnlessChosen("/opt/tarvo/bin/tarvo-hotsync-manager-ui");
  EXPECT_FALSE(startsAtLogin());  // turned off stays off
}

}  // namespace

namespace {

TEST(Languages, PortugueseIsChosenByTheLocaleForTheWordsAndTheMenu) {
  QTranslator portuguese;
  ASSERT_TRUE(portuguese.load(QLocale(QLocale::Portuguese, QLocale::Brazil), "tarvo-hotsync-manager", "_",
                              tarvo::desktop::translationsFolder()));
  QCoreApplication::installTranslator(&portuguese);
  const tarvo::desktop::Status status = tarvo::desktop::describeStatus(nullptr, true);
  tarvo::desktop::StatusIcon icon(false);
  QCoreApplication::removeTranslator(&portuguese);
  EXPECT_EQ(status.tooltip, "O gerenciador HotSync não está em execução");
  EXPECT_EQ(icon.menu()->actions().front()->text(), "&Registro do HotSync");
  // English has no file of its own: the texts as written.
  QTranslator english;
  EXPECT_FALSE(
      english.load(QLocale(QLocale::English), "tarvo-hotsync-manager", "_", tarvo::desktop::translationsFolder()));
}

}  // namespace
