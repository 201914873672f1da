// The login dialogs without a toolkit: countdown, caption, keep-alive reads,
// field limits, the save box, how each dialog ends, and the links.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <chrono>

#include "quiet_device.h"
#include "ui/login_dialogs.h"
#include "ui/login_front_end.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The one fake: there is no handheld here, only the clock reads to count.
class ClockReadCounter final : public tarvo::test::QuietDevice {
 public:
  int reads = 0;
  int32_t ReadSysDateTime(SysDateTime&) override { return ++reads, 0; }
};

// A clock the test moves by hand.
struct ManualClock {
  Clock::time_point now = Clock::time_point() + 1000h;
  void Attach(LoginDialogModel& model) {
    model.m_clock = [this] { return now; };
  }
};

// Runs the timer second by second until the dialog ends (bounded).
std::vector<std::string> RunOut(LoginDialogModel& dlg, ManualClock& clock) {
  std::vector<std::string> captions;
  for (int second = 0; second < 1000 && !dlg.Ended(); ++second) {
    clock.now += 1s;
    if (dlg.TickIfDue()) captions.push_back(dlg.WindowText());
  }
  return captions;
}

class LoginModel : public ::testing::Test {
 protected:
  void TearDown() override {
    g_pMobileDeviceSync = nullptr;
    SetLoginFrontEndFactory({});
  }
  ManualClock clock;
};

TEST_F(LoginModel, StandardCountdownEndsAsCancelAndKeepsTheHandheldAwake) {
  ClockReadCounter handheld;
  g_pMobileDeviceSync = &handheld;
  CLoginDialog dlg;
  clock.Attach(dlg);
  dlg.m_countdown = 60;
  dlg.m_captionSuffix = "Tarvo";
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.m_caption, "Login: Tarvo");
  EXPECT_EQ(dlg.WindowText(), "Login: Tarvo");
  EXPECT_EQ(dlg.MillisUntilTick(), 1000);
  clock.now += 999ms;
  EXPECT_FALSE(dlg.TickIfDue());

  const auto captions = RunOut(dlg, clock);
  ASSERT_EQ(captions.size(), 61u);
  EXPECT_EQ(captions.front(), "Login: Tarvo, fechando em 60 segundos");
  EXPECT_EQ(captions[1], "Login: Tarvo, fechando em 59 segundos");
  EXPECT_EQ(captions.back(), "Login: Tarvo, fechando em 0 segundos");
  EXPECT_EQ(dlg.Result(), IDCANCEL);
  EXPECT_FALSE(dlg.TimerRunning());
  EXPECT_EQ(handheld.reads, 13);  // at 60, 55, ... 5 and 0
}

TEST_F(LoginModel, CorporateCountdownWithoutAHandheld) {
  CLoginDlgCorp dlg;
  clock.Attach(dlg);
  dlg.m_countdown = 30;
  dlg.m_title = "Login";
  dlg.m_server = "corp.example";
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.WindowText(), "Login: corp.example");
  // A stalled loop gets one late tick, not a burst.
  clock.now += 5s;
  EXPECT_TRUE(dlg.TickIfDue());
  EXPECT_FALSE(dlg.TickIfDue());
  EXPECT_EQ(dlg.WindowText(), "Login: corp.example, fechando em 30 segundos");
  const auto captions = RunOut(dlg, clock);
  ASSERT_EQ(captions.size(), 30u);
  EXPECT_EQ(captions.back(), "Login: corp.example, fechando em 0 segundos");
  EXPECT_EQ(dlg.Result(), IDCANCEL);
}

TEST_F(LoginModel, NoCountdownMeansNoTimer) {
  CLoginDialog dlg;
  clock.Attach(dlg);
  dlg.m_captionSuffix = "Tarvo";
  dlg.OnInitDialog();
  EXPECT_FALSE(dlg.TimerRunning());
  EXPECT_EQ(dlg.MillisUntilTick(), -1);
  clock.now += 24h;
  EXPECT_FALSE(dlg.TickIfDue());
  EXPECT_EQ(dlg.WindowText(), "Login: Tarvo");
  EXPECT_FALSE(dlg.Ended());
}

TEST_F(LoginModel, TypingStopsTheCountdownForGoodButALinkClickDoesNot) {
  std::vector<std::string> opened;
  CLoginDialog dlg;
  clock.Attach(dlg);
  dlg.m_countdown = 60;
  dlg.m_captionSuffix = "Tarvo";
  dlg.m_openLink = [&](const std::string& url) { opened.push_back(url); };
  dlg.OnInitDialog();
  for (int i = 0; i < 3; ++i) {
    clock.now += 1s;
    dlg.TickIfDue();
  }
  dlg.ClickLink(1);
  EXPECT_TRUE(dlg.TimerRunning());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], dlg.m_linkForgot.m_url);
  EXPECT_TRUE(dlg.m_linkForgot.m_visited);
  EXPECT_FALSE(dlg.m_linkRegister.m_visited);

  dlg.EditPassword("x");
  EXPECT_FALSE(dlg.TimerRunning());
  EXPECT_EQ(dlg.WindowText(), "Login: Tarvo");
  EXPECT_EQ(dlg.m_countdown, 57);
  clock.now += 1h;
  EXPECT_FALSE(dlg.TickIfDue());
  EXPECT_FALSE(dlg.Ended());
  dlg.EditLogin("ana");
  dlg.OnOK();
  EXPECT_EQ(dlg.Result(), IDOK);
  EXPECT_EQ(dlg.m_login, "ana");
  EXPECT_EQ(dlg.m_password, "x");
  EXPECT_EQ(dlg.m_save, 0);
}

TEST_F(LoginModel, FieldLimitsOfTheStandardDialogOnly) {
  const std::string longText(150, 'a');
  CLoginDialog dlg;
  clock.Attach(dlg);
  dlg.m_countdown = 60;
  dlg.m_login = std::string(100, 'b');
  dlg.OnInitDialog();
  // A full field refuses more: no change, so the countdown goes on.
  dlg.EditLogin(std::string(101, 'b'));
  EXPECT_TRUE(dlg.TimerRunning());
  dlg.EditLogin(longText);
  dlg.EditPassword(longText);
  dlg.OnOK();
  EXPECT_EQ(dlg.m_login, std::string(100, 'a'));
  EXPECT_EQ(dlg.m_password, std::string(10, 'a'));

  CLoginDlgCorp corp;
  corp.OnInitDialog();
  corp.EditLogin(longText);
  corp.EditPassword(longText);
  corp.OnOK();
  EXPECT_EQ(corp.m_login, longText);
  EXPECT_EQ(corp.m_password, longText);
}

TEST_F(LoginModel, SaveBoxAndWhatEachDialogKeepsOnCancel) {
  CLoginDlgCorp locked;
  locked.m_noSave = true;
  locked.OnInitDialog();
  EXPECT_FALSE(locked.Layout().saveEnabled);
  locked.SetSave(true);
  locked.EditLogin("jo");
  locked.OnCancel();
  EXPECT_EQ(locked.Result(), IDCANCEL);
  EXPECT_EQ(locked.m_save, 0);
  EXPECT_EQ(locked.m_login, "jo");  // this dialog takes the values on Cancel too

  CLoginDialog standard;
  standard.OnInitDialog();
  EXPECT_TRUE(standard.Layout().saveEnabled);
  standard.SetSave(true);
  standard.EditLogin("jo");
  standard.OnCancel();
  EXPECT_EQ(standard.m_login, "");
  EXPECT_EQ(standard.m_save, 0);
  standard.OnOK();  // an ended dialog stays ended
  EXPECT_EQ(standard.Result(), IDCANCEL);
}

TEST_F(LoginModel, LinksPointAtTheSiteAndStartUnvisited) {
  CLoginDialog dlg;
  const std::string& reg = dlg.m_linkRegister.m_url;
  EXPECT_NE(reg.find("/passo_a_passo.asp?language=PT"), std::string::npos) << reg;
  EXPECT_EQ(reg.rfind("http", 0), 0u);
  EXPECT_NE(dlg.m_linkForgot.m_url.find("/minha_senha.asp?language=PT"), std::string::npos);
  EXPECT_EQ(dlg.m_linkRegister.m_text, "Quero me cadastrar");
  EXPECT_EQ(dlg.m_linkRegister.m_cursor, LinkCursor::kHand);
  EXPECT_EQ(dlg.m_linkRegister.TextColour(), 0xFF0000u);
  // Opening may fail; the link still shows as visited.
  dlg.m_linkRegister.Click(nullptr);
  EXPECT_EQ(dlg.m_linkRegister.TextColour(), 0x7F007Fu);
  EXPECT_FALSE(CLoginDialog().m_linkRegister.m_visited);

  CStaticLink plain;
  EXPECT_EQ(plain.m_cursor, LinkCursor::kArrow);
  plain.SetLinkCursor(tarvo::ui::kHandCursorId);
  plain.SetLinkCursor(9999);  // not a cursor of the library
  EXPECT_EQ(plain.m_cursor, LinkCursor::kArrow);
}

class Answering final : public LoginFrontEnd {
 public:
  explicit Answering(bool answer) : m_answer(answer) {}
  void Run(LoginDialogModel& model) override {
    if (!m_answer) return;  // gives up without ending the dialog
    model.EditLogin("ann");
    model.OnOK();
  }

 private:
  bool m_answer;
};

TEST_F(LoginModel, DoModalUsesTheRegisteredFrontEndOrCancels) {
  SetLoginFrontEndFactory([] { return std::make_unique<Answering>(true); });
  CLoginDlgCorp dlg;
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.m_login, "ann");

  SetLoginFrontEndFactory([] { return std::make_unique<Answering>(false); });
  CLoginDlgCorp quiet;
  EXPECT_EQ(quiet.DoModal(), IDCANCEL);

  // No front end of its own and no terminal (TARVO_NO_TTY): Cancel at once.
  SetLoginFrontEndFactory({});
  ASSERT_STREQ(getenv("TARVO_NO_TTY"), "1");
  CLoginDialog nobody;
  nobody.m_countdown = 60;
  EXPECT_EQ(nobody.DoModal(), IDCANCEL);
  EXPECT_EQ(nobody.m_countdown, 60);
}

}  // namespace
