// The login command with the real dialogs: which dialog a server gets, what
// the user typed reaching the server scrambled, and what is remembered.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "engine/commands/login_prompt.h"
#include "engine_harness.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui/login_dialog_model.h"
#include "ui/login_front_end.h"

namespace {

using testing_support::EngineHarness;
using testing_support::ScriptedServer;

// What the user saw, and how they answer: the dialog's own model is driven
// the way a front end drives it.
struct Person {
  bool answer = true;
  std::string login = "jo";
  std::string password = "pw";
  bool save = true;

  int shown = 0;
  std::string caption;
  int32_t countdown = 0;
  bool saveEnabled = false;
  std::size_t links = 0;
};

class PersonAtTheScreen final : public LoginFrontEnd {
 public:
  explicit PersonAtTheScreen(Person* person) : m_person(person) {}
  void Run(LoginDialogModel& model) override {
    ++m_person->shown;
    const LoginLayout layout = model.Layout();
    m_person->caption = model.WindowText();
    m_person->countdown = model.m_countdown;
    m_person->saveEnabled = layout.saveEnabled;
    m_person->links = layout.links.size();
    if (!m_person->answer) return model.OnCancel();
    model.EditLogin(m_person->login);
    model.EditPassword(m_person->password);
    model.SetSave(m_person->save);
    model.OnOK();
  }

 private:
  Person* m_person;
};

class LoginDialogPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLoginPrompt({});  // the dialogs themselves
    SetLoginFrontEndFactory([this] { return std::make_unique<PersonAtTheScreen>(&person); });
    hh.Connect();
    store.WriteText("Ann", "login", "097");
    store.WriteText("Ann", "senha", "098");
  }
  void TearDown() override { SetLoginFrontEndFactory({}); }

  std::string LoginBody(const std::string& login, const std::string& senha) const {
    return "language=PT&cmd=login&login=" + login + "&senha=" + senha + hh.engine->m_baseParams;
  }

  EngineHarness hh;
  tarvo::SettingsStore store = tarvo::AppSettings();
  Person person;
  ScriptedServer server;
};

TEST_F(LoginDialogPaths, RejectedCredentialsOnTheDefaultServer) {
  server.Queue({"<tarvoconduit></tarvoconduit>"});
  const std::string cmd = "login invalido=\"1\" url=\"" + server.Url() + "\"";
  EXPECT_EQ(hh.engine->RunCommandLogin(cmd, DefaultSyncServerUrl(), CTarvoServer()), 0);

  EXPECT_EQ(person.shown, 1);
  EXPECT_EQ(person.caption, "Login: Tarvo");
  EXPECT_EQ(person.countdown, 60);
  EXPECT_EQ(person.links, 2u);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].body, LoginBody("106111", "112119"));
  EXPECT_EQ(hh.engine->m_credentials, "login=106111&senha=112119");
  EXPECT_EQ(store.ReadText("Ann", "login", ""), "106111");
  EXPECT_EQ(store.ReadText("Ann", "senha", ""), "112119");
}

TEST_F(LoginDialogPaths, CorporateServerRemembersUnderUserAndServer) {
  CTarvoServer corp;
  corp.sUrl = server.Url();
  corp.sCaption = "Empresa";
  server.Queue({""});
  EXPECT_EQ(hh.engine->RunCommandLogin("login invalido=\"1\"", server.Url(), corp), 12007);

  EXPECT_EQ(person.caption, "Login: 127.0.0.1");
  EXPECT_EQ(person.countdown, 30);
  EXPECT_TRUE(person.saveEnabled);
  EXPECT_EQ(person.links, 0u);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].body, LoginBody("106111", "112119"));
  const std::string section = tarvo::settings::UserServerSection("Ann", server.Url());
  EXPECT_EQ(store.ReadText(section, "login", ""), "106111");
  EXPECT_EQ(store.ReadText(section, "senha", ""), "112119");
  EXPECT_EQ(store.ReadText(section, "nome", ""), "Empresa");
  EXPECT_EQ(store.ReadText("Ann", "login", ""), "097");  // the default server's stay
}

TEST_F(LoginDialogPaths, DoNotSaveServerAsksEveryTimeAndStoresNothing) {
  CTarvoServer corp;
  corp.sCaption = "Banco";
  corp.bDontSave = true;
  // A server URL without a host: the dialog shows the caption instead.
  const std::string syncSrv = "banco-interno";
  const std::string section = tarvo::settings::UserServerSection("Ann", syncSrv);
  store.WriteText(section, "login", "120");
  store.WriteText(section, "senha", "121");
  const std::string cmd = "login url=\"" + server.Url() + "\"";
  server.Queue({"<tarvoconduit></tarvoconduit>"});
  server.Queue({"<tarvoconduit></tarvoconduit>"});

  EXPECT_EQ(hh.engine->RunCommandLogin(cmd, syncSrv, corp), 0);
  person.password = "p2";
  EXPECT_EQ(hh.engine->RunCommandLogin(cmd, syncSrv, corp), 0);

  EXPECT_EQ(person.shown, 2);
  EXPECT_EQ(person.caption, "Login: Banco");
  EXPECT_FALSE(person.saveEnabled);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[0].body, LoginBody("106111", "112119"));
  EXPECT_EQ(server.Requests()[1].body, LoginBody("106111", "112050"));
  EXPECT_EQ(store.ReadText(section, "login", ""), "120");
  EXPECT_EQ(store.ReadText(section, "nome", "-"), "-");
}

TEST_F(LoginDialogPaths, NobodyToAskSendsNothing) {
  SetLoginFrontEndFactory({});  // the default: no terminal in this test (TARVO_NO_TTY)
  ASSERT_STREQ(getenv("TARVO_NO_TTY"), "1");
  hh.engine->m_credentials = "login=1&senha=2";
  const std::string cmd = "login invalido=\"1\" url=\"" + server.Url() + "\"";
  EXPECT_EQ(hh.engine->RunCommandLogin(cmd, DefaultSyncServerUrl(), CTarvoServer()), 0);

  person.answer = false;  // a person who presses Cancel
  SetLoginFrontEndFactory([this] { return std::make_unique<PersonAtTheScreen>(&person); });
  EXPECT_EQ(hh.engine->RunCommandLogin(cmd, server.Url(), CTarvoServer()), 0);

  EXPECT_EQ(person.shown, 1);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(hh.engine->m_credentials, "login=1&senha=2");
  EXPECT_EQ(store.ReadText("Ann", "login", ""), "097");
}

}  // namespace
