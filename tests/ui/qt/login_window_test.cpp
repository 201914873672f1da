#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/shell_open.h"
#include "files.h"
#include "temp_folder.h"
#include "ui/login_dialogs.h"
#include "ui/qt/login_window.h"
#include "ui/qt/static_link_widget.h"

namespace {

using namespace std::chrono_literals;
using tarvo::qt::LoginWindow;

// The dialogs' clock, moved by the test only.
struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  void Inject(LoginDialogModel& model) {
    model.m_clock = [this] { return now; };
  }
};

CLoginDialog& Standard(CLoginDialog& dlg, FakeClock& clock) {
  clock.Inject(dlg);
  dlg.m_countdown = 60;
  dlg.m_captionSuffix = "Tarvo";
  dlg.OnInitDialog();
  return dlg;
}

CLoginDlgCorp& Corporate(CLoginDlgCorp& dlg, FakeClock& clock) {
  clock.Inject(dlg);
  dlg.m_countdown = 30;
  dlg.m_title = "Login";
  dlg.m_server = "corp.example";
  dlg.OnInitDialog();
  return dlg;
}

// Types any text, accented letters included, key by key.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

// Ticks a second at a time until the window has closed; the number of ticks.
int TicksUntilClosed(LoginWindow& window, FakeClock& clock, std::vector<QString>* captions) {
  int ticks = 0;
  while (window.isVisible() && ticks < 100) {
    clock.now += 1s;
    window.Poll();
    ++ticks;
    if (captions) captions->push_back(window.windowTitle());
  }
  return ticks;
}

TEST(LoginWindow, CountdownsCloseBothDialogsAsCancel) {
  FakeClock clock;
  CLoginDialog standard;
  LoginWindow first(Standard(standard, clock));
  first.show();
  EXPECT_EQ(first.windowTitle(), "Login: Tarvo");
  EXPECT_TRUE(first.login()->hasFocus() || first.focusWidget() == first.login());
  std::vector<QString> captions;
  EXPECT_EQ(TicksUntilClosed(first, clock, &captions), 61);
  EXPECT_EQ(captions.front(), "Login: Tarvo, fechando em 60 segundos");
  EXPECT_EQ(captions.back(), "Login: Tarvo, fechando em 0 segundos");
  EXPECT_EQ(first.result(), QDialog::Rejected);
  EXPECT_EQ(standard.Result(), IDCANCEL);

  CLoginDlgCorp corporate;
  LoginWindow second(Corporate(corporate, clock));
  second.show();
  EXPECT_EQ(second.windowTitle(), "Login: corp.example");
  QTest::keyClicks(second.login(), "ann");  // then stopped by typing...
  captions.clear();
  CLoginDlgCorp untouched;
  LoginWindow third(Corporate(untouched, clock));
  third.show();
  EXPECT_EQ(TicksUntilClosed(third, clock, &captions), 31);
  EXPECT_EQ(captions.front(), "Login: corp.example, fechando em 30 segundos");
  EXPECT_EQ(untouched.Result(), IDCANCEL);

  // ...the typed dialog is still open, its caption plain, long after.
  EXPECT_TRUE(second.isVisible());
  EXPECT_EQ(second.windowTitle(), "Login: corp.example");
  EXPECT_FALSE(corporate.TimerRunning());
  QTest::keyClick(second.password(), 'x');
  QTest::keyClick(second.password(), Qt::Key_Return);  // OK is the default button
  EXPECT_EQ(corporate.Result(), IDOK);
  EXPECT_EQ(corporate.m_login, "ann");
  EXPECT_EQ(corporate.m_password, "x");
}

TEST(LoginWindow, FieldLimitsAndTheSaveBox) {
  FakeClock clock;
  CLoginDialog standard;
  LoginWindow window(Standard(standard, clock));
  window.show();
  QTest::keyClicks(window.login(), QString(120, 'a'));
  Type(window.password(), QString::fromUtf8("senhasecreta\xc3\xa9"));
  EXPECT_EQ(window.login()->text().size(), 100);
  EXPECT_EQ(window.password()->text(), "senhasecre");
  EXPECT_EQ(window.password()->echoMode(), QLineEdit::Password);
  window.save()->click();
  window.okButton()->click();
  EXPECT_EQ(standard.Result(), IDOK);
  EXPECT_EQ(standard.m_login, std::string(100, 'a'));
  EXPECT_EQ(standard.m_password, "senhasecre");
  EXPECT_EQ(standard.m_save, 1);

  // The other servers' dialog has no limits; its modules may forbid saving.
  CLoginDlgCorp corporate;
  corporate.m_noSave = true;
  LoginWindow other(Corporate(corporate, clock));
  other.show();
  QTest::keyClicks(other.login(), QString(150, 'b'));
  Type(other.password(), QString::fromUtf8("ma\xc3\xa7\xc3\xa3"));
  EXPECT_FALSE(other.save()->isEnabled());
  QTest::keyClick(&other, Qt::Key_Escape);
  EXPECT_EQ(corporate.Result(), IDCANCEL);
  EXPECT_EQ(corporate.m_login, std::string(150, 'b')) << "this dialog keeps its values on Cancel";
  EXPECT_EQ(corporate.m_password, "ma\xe7\xe3");  // Windows-1252
  EXPECT_EQ(corporate.m_save, 0);
}

TEST(LoginWindow, LinksOpenThroughTheDesktopOpener) {
  tarvo::test::TempFolder dir("tarvo-qt-links");
  const std::filesystem::path opened = dir.path() / "opened";
  const std::filesystem::path opener = dir.path() / "opener";
  {
    std::ofstream script(opener);
    script << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened.string() << "'\n";
  }
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  setenv("TARVO_OPENER", opener.c_str(), 1);

  FakeClock clock;
  CLoginDialog dlg;
  dlg.m_openLink = [](const std::string& url) { tarvo::engine::ShellOpen(url); };
  LoginWindow window(Standard(dlg, clock));
  window.show();
  ASSERT_EQ(window.links().size(), 2u);
  tarvo::qt::StaticLinkWidget* reg = window.links()[0];
  EXPECT_EQ(reg->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_FALSE(dlg.m_linkRegister.m_visited);
  QTest::mouseClick(reg, Qt::LeftButton);
  EXPECT_TRUE(dlg.m_linkRegister.m_visited);
  EXPECT_EQ(dlg.m_linkRegister.TextColour(), 0x7F007Fu);
  EXPECT_FALSE(dlg.m_linkForgot.m_visited);
  EXPECT_TRUE(dlg.TimerRunning()) << "a click is not typing";

  std::string text;
  for (int i = 0; i < 200 && text.empty(); ++i) {
    std::this_thread::sleep_for(10ms);
    text = tarvo::test::ReadFile(opened);
  }
  unsetenv("TARVO_OPENER");
  EXPECT_EQ(text, dlg.m_linkRegister.m_url + "\n");
  EXPECT_NE(text.find("passo_a_passo.asp"), std::string::npos);
  window.reject();
}

}  // namespace
