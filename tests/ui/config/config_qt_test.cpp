// The sheet and the wizard as Qt windows on the offscreen platform: fill the
// fields, click the buttons, read the store back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "hotsync/host.h"
#include "settings/settings_store.h"
#include "ui/config_wizard.h"
#include "ui/props_conduit.h"
#include "ui/qt/config_windows.h"
#include "ui/qt/group_frame.h"
#include "xdg_world.h"

namespace {

namespace fs = std::filesystem;

class ConfigWindows : public ::testing::Test {
 protected:
  void SetUp() override { tarvo::SetSettingsFile(world.root() / "settings.sqlite"); }
  void TearDown() override { tarvo::SetSettingsFile({}); }
  std::string Text(const char* section, const char* key) const {
    return tarvo::AppSettings().ReadText(section, key, "<none>");
  }
  int32_t Int(const char* section, const char* key) const { return tarvo::AppSettings().ReadInt(section, key, -7); }

  tarvo::test::XdgWorld world{"tarvo-config-qt"};
};

TEST_F(ConfigWindows, SheetSavesWhatWasTypedOnOk) {
  CPropsConduit sheet;
  sheet.SetUser("ana");
  sheet.OnInitDialog();
  std::vector<std::string> opened;
  tarvo::qt::PropsSheetWindow window(sheet, [&](const std::string& url) { opened.push_back(url); });
  window.show();
  EXPECT_EQ(window.windowTitle(), "Tarvo");
  EXPECT_EQ(window.m_tabs->tabText(2), "Conexão");
  EXPECT_FALSE(window.m_apply->isEnabled());
  QTest::keyClicks(window.m_identifica->m_login, "jo");
  QKeyEvent accented(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\xC3\xA3"));  // ã
  QApplication::sendEvent(window.m_identifica->m_login, &accented);
  QTest::keyClicks(window.m_identifica->m_login, "o");
  QTest::keyClicks(window.m_identifica->m_password, "pw");
  EXPECT_EQ(window.m_identifica->m_password->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(window.m_apply->isEnabled());

  window.m_tabs->setCurrentIndex(2);
  tarvo::qt::CommPage& comm = *window.m_comm;
  EXPECT_EQ(comm.m_timeoutText->text(), "1 minuto");
  // The "Servidor" group's line runs through its caption, as the template
  // draws it, and clears the controls the template puts inside the group.
  const tarvo::qt::GroupFrame& group = *comm.m_serverGroup;
  EXPECT_EQ(group.caption(), "Servidor");
  const int line = group.mapTo(&comm, QPoint(0, group.LineY())).y();
  EXPECT_LT(line, comm.m_timeoutText->geometry().top() - group.fontMetrics().height() / 4);
  EXPECT_GT(line, group.geometry().top());
  EXPECT_FALSE(comm.m_host->isEnabled());
  comm.m_slider->setValue(128);  // by keys or a click on the track: snaps at once
  EXPECT_EQ(comm.m_slider->value(), 135);
  EXPECT_EQ(comm.m_timeoutText->text(), "2 minutos e 15 segundos");
  QTest::mouseClick(comm.m_useProxy, Qt::LeftButton, {}, QPoint(5, comm.m_useProxy->height() / 2));
  ASSERT_TRUE(comm.m_host->isEnabled());
  EXPECT_FALSE(comm.m_user->isEnabled());
  QTest::keyClicks(comm.m_host, "proxy.local");
  comm.m_port->selectAll();
  QTest::keyClicks(comm.m_port, "123456");
  window.m_tabs->setCurrentIndex(1);  // refused: the port is out of bounds
  EXPECT_EQ(window.m_tabs->currentIndex(), 2);
  comm.m_port->selectAll();
  QTest::keyClicks(comm.m_port, "3128");
  QTest::mouseClick(window.m_ok, Qt::LeftButton);

  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(Text("ana", "login"), "106111227111");  // "joão" in Windows-1252, scrambled
  EXPECT_EQ(Text("ana", "senha"), "112119");
  EXPECT_EQ(Int("Comunicacao", "timeout"), 135);
  EXPECT_EQ(Text("Comunicacao", "proxyhost"), "proxy.local");
  EXPECT_EQ(Int("Comunicacao", "proxyport"), 3128);
  EXPECT_EQ(Int("ana", "proximo"), -7);  // the schedule page was never shown
}

TEST_F(ConfigWindows, WizardWalksThePagesAndQueuesForTheChosenUser) {
  std::string error;
  ASSERT_TRUE(hotsync::addUser("bruno", &error));
  ASSERT_TRUE(hotsync::addUser("ana", &error));
  const fs::path data = world.root() / "share";
  fs::create_directories(data);
  std::ofstream(data / "tarvo.prc") << "application";
  CConfigWizard wizard;
  wizard.m_dataDir = data;
  wizard.Run([](CConfigWizard& run) {
    tarvo::qt::WizardWindow window(run, {});
    window.show();
    EXPECT_FALSE(window.m_back->isEnabled());
    ASSERT_EQ(window.m_usuario->m_users->count(), 2);
    EXPECT_EQ(window.m_usuario->m_users->currentText(), "ana");
    window.m_usuario->m_users->setCurrentIndex(1);
    QTest::mouseClick(window.m_next, Qt::LeftButton);
    QTest::keyClicks(window.m_identifica->m_login, "b");
    QTest::mouseClick(window.m_next, Qt::LeftButton);
    QTest::mouseClick(window.m_geral->m_defaultNothing, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(window.m_next, Qt::LeftButton);
    QTest::mouseClick(window.m_next, Qt::LeftButton);
    ASSERT_TRUE(window.m_finish->isVisible());
    EXPECT_FALSE(window.m_next->isVisible());
    EXPECT_EQ(window.m_finish->text(), "&Terminar");
    window.m_final->m_another->click();
    EXPECT_EQ(window.m_finish->text(), "&Novo");
    window.m_final->m_another->click();
    QTest::mouseClick(window.m_finish, Qt::LeftButton);
  });
  EXPECT_EQ(Text("bruno", "login"), "098");
  EXPECT_EQ(Int("bruno", "padrao"), 0);
  EXPECT_TRUE(fs::exists(hotsync::userInstallDir("bruno") / "tarvo.prc"));
  EXPECT_FALSE(fs::exists(hotsync::userInstallDir("ana") / "tarvo.prc"));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
