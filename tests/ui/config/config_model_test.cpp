// The configuration pages, the sheet and the wizard without any screen:
// what each page reads and writes, the time limit's rounding, the port's
// bounds, OK/Apply/Cancel, and the wizard's runs and queues.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hotsync/host.h"
#include "settings/settings_store.h"
#include "ui/config_wizard.h"
#include "ui/login_dialog_model.h"
#include "ui/props_conduit.h"
#include "xdg_world.h"

namespace {

namespace fs = std::filesystem;
using tarvo::SettingsStore;

class ConfigModel : public ::testing::Test {
 protected:
  void SetUp() override { tarvo::SetSettingsFile(world.root() / "settings.sqlite"); }
  void TearDown() override { tarvo::SetSettingsFile({}); }

  SettingsStore store() const { return tarvo::AppSettings(); }
  std::string Text(const char* section, const char* key) const { return store().ReadText(section, key, "<none>"); }
  int32_t Int(const char* section, const char* key) const { return store().ReadInt(section, key, -7); }
  std::size_t EntryCount() const { return store().List().value_or(std::vector<tarvo::SettingsEntry>{}).size(); }

  tarvo::test::XdgWorld world{"tarvo-config"};
};

// --- the pages -----------------------------------------------------------

TEST_F(ConfigModel, FreshUserSeesTheDefaultsOnEveryPage) {
  CPropsConduit sheet;
  sheet.SetUser("ana");
  sheet.OnInitDialog();
  ASSERT_TRUE(sheet.SelectPage(1));
  ASSERT_TRUE(sheet.SelectPage(2));
  EXPECT_EQ(sheet.m_pIdentifica->m_login, "");
  EXPECT_EQ(sheet.m_pIdentifica->m_password, "");
  EXPECT_EQ(sheet.m_pIdentifica->UserCaption(), "Usuário do Hotsync: ana");
  EXPECT_EQ(sheet.m_pGeral->m_next, 1);
  EXPECT_EQ(sheet.m_pGeral->m_default, 1);
  const CPropComm& comm = *sheet.m_pComm;
  EXPECT_EQ(comm.m_timeout, 60);
  EXPECT_EQ(comm.m_timeoutText, "1 minuto");
  EXPECT_EQ(comm.m_useProxy, 0);
  EXPECT_EQ(comm.m_useAuth, 0);
  EXPECT_EQ(comm.m_proxyPort, 80);
  EXPECT_EQ(comm.PortText(), "80");
  EXPECT_FALSE(comm.ProxyFieldsEnabled());
  EXPECT_FALSE(comm.AuthFieldsEnabled());
  EXPECT_FALSE(sheet.ApplyEnabled());
}

TEST_F(ConfigModel, EveryKeyIsWrittenWhereItBelongsWithSecretsScrambled) {
  CPropsConduit sheet;
  sheet.SetUser("Jo\xE3o");
  sheet.OnInitDialog();
  sheet.m_pIdentifica->EditLogin("abc");
  sheet.m_pIdentifica->EditPassword("s\xE9");
  ASSERT_TRUE(sheet.SelectPage(1));
  sheet.m_pGeral->SetNext(false);
  ASSERT_TRUE(sheet.SelectPage(2));
  CPropComm& comm = *sheet.m_pComm;
  comm.ReleaseSlider(128);
  comm.SetUseProxy(true);
  comm.EditProxyHost("proxy.local");
  comm.EditProxyPort("3128");
  comm.SetUseAuth(true);
  comm.EditProxyUser("ana");
  comm.EditDomain("CORP");
  comm.EditProxyPassword("xy");
  ASSERT_TRUE(sheet.OK());

  EXPECT_EQ(Text("Jo\xE3o", "login"), "097098099");
  EXPECT_EQ(Text("Jo\xE3o", "senha"), "115233");
  EXPECT_EQ(Int("Jo\xE3o", "proximo"), 0);
  EXPECT_EQ(Int("Jo\xE3o", "padrao"), 1);
  EXPECT_EQ(Int("Comunicacao", "timeout"), 135);
  EXPECT_EQ(Int("Comunicacao", "usarproxy"), 1);
  EXPECT_EQ(Text("Comunicacao", "proxyhost"), "proxy.local");
  EXPECT_EQ(Int("Comunicacao", "proxyport"), 3128);
  EXPECT_EQ(Int("Comunicacao", "usarautenticacao"), 1);
  EXPECT_EQ(Text("Comunicacao", "proxyusuario"), "CORP\\ana");
  EXPECT_EQ(Text("Comunicacao", "proxysenha"), "120121");

  // And back: the next sheet shows them in clear.
  CPropsConduit again;
  again.SetUser("Jo\xE3o");
  again.OnInitDialog();
  ASSERT_TRUE(again.SelectPage(2));
  EXPECT_EQ(again.m_pIdentifica->m_password, "s\xE9");
  EXPECT_EQ(again.m_pComm->m_proxyPassword, "xy");
  EXPECT_EQ(again.m_pComm->m_domain, "CORP");
  EXPECT_EQ(again.m_pComm->m_proxyUser, "ana");
  EXPECT_EQ(again.m_pComm->m_timeoutText, "2 minutos e 15 segundos");
}

TEST_F(ConfigModel, StoredTimeLimitsSnapToTheSlider) {
  const std::pair<int32_t, std::pair<int32_t, const char*>> cases[] = {
      {10, {15, "15 segundos"}}, {100, {105, "1 minuto e 45 segundos"}}, {1000, {300, "5 minutos"}},
      {60, {60, "1 minuto"}},    {90, {90, "1 minuto e 30 segundos"}},   {-5, {15, "15 segundos"}}};
  for (const auto& [stored, shown] : cases) {
    store().WriteInt("Comunicacao", "timeout", stored);
    CPropComm page;
    page.OnSetActive();
    EXPECT_EQ(page.m_timeout, shown.first) << stored;
    EXPECT_EQ(page.m_timeoutText, shown.second) << stored;
    EXPECT_FALSE(page.Modified());
  }
  CPropComm page;
  page.OnSetActive();
  page.ReleaseSlider(127);
  EXPECT_EQ(page.m_timeout, 120);
  EXPECT_EQ(page.m_timeoutText, "2 minutos");
  EXPECT_TRUE(page.Modified());
  page.ReleaseSlider(128);
  EXPECT_EQ(page.m_timeout, 135);
  page.ReleaseSlider(293);
  EXPECT_EQ(page.m_timeout, 300);  // rounding up stays on the slider
}

TEST_F(ConfigModel, PortOutsideItsBoundsKeepsTheUserOnThePage) {
  CPropsConduit sheet;
  sheet.SetUser("ana");
  sheet.OnInitDialog();
  ASSERT_TRUE(sheet.SelectPage(2));
  sheet.m_pComm->SetUseProxy(true);
  for (const char* bad : {"100001", "-1", "abc", "", "80x", "99999999999"}) {
    sheet.m_pComm->EditProxyPort(bad);
    EXPECT_FALSE(sheet.SelectPage(0)) << bad;
    EXPECT_FALSE(sheet.OK()) << bad;
    EXPECT_EQ(sheet.m_pComm->ValidationError(), "Digite um número inteiro entre 0 e 100000.");
  }
  EXPECT_EQ(EntryCount(), 0u);  // nothing saved while refused
  for (const char* good : {"0", "100000", " 8080 "}) {
    sheet.m_pComm->EditProxyPort(good);
    EXPECT_TRUE(sheet.Apply()) << good;
  }
  EXPECT_EQ(Int("Comunicacao", "proxyport"), 8080);
}

TEST_F(ConfigModel, SwitchedOffGroupsKeepTheirStoredValues) {
  store().WriteText("Comunicacao", "proxyhost", "old.proxy");
  store().WriteText("Comunicacao", "proxyusuario", "ana");
  store().WriteText("Comunicacao", "proxysenha", "097");
  CPropComm page;
  page.OnSetActive();
  EXPECT_EQ(page.m_proxyHost, "old.proxy");  // shown, though disabled
  EXPECT_EQ(page.m_domain, "");              // no backslash: no domain
  EXPECT_EQ(page.m_proxyUser, "ana");
  page.EditProxyHost("new.proxy");
  page.EditProxyUser("bob");
  page.OnOK();
  EXPECT_EQ(Text("Comunicacao", "proxyhost"), "old.proxy");
  EXPECT_EQ(Text("Comunicacao", "proxyusuario"), "ana");
  EXPECT_EQ(Text("Comunicacao", "proxysenha"), "097");
  EXPECT_EQ(Int("Comunicacao", "usarproxy"), 0);
  EXPECT_EQ(Int("Comunicacao", "proxyport"), -7);

  // Authentication alone, with the domain emptied: the user goes alone.
  store().WriteText("Comunicacao", "proxyusuario", "CORP\\ana");
  CPropComm auth;
  auth.OnSetActive();
  EXPECT_EQ(auth.m_domain, "CORP");
  auth.SetUseAuth(true);
  EXPECT_TRUE(auth.AuthFieldsEnabled());
  EXPECT_FALSE(auth.ProxyFieldsEnabled());
  auth.EditDomain("");
  auth.OnOK();
  EXPECT_EQ(Text("Comunicacao", "proxyusuario"), "ana");
}

TEST_F(ConfigModel, WhatMarksAPageModified) {
  CPropComm comm;
  comm.OnSetActive();
  comm.EditDomain("CORP");
  EXPECT_FALSE(comm.Modified());
  comm.EditProxyHost("h");
  EXPECT_TRUE(comm.Modified());

  CPropIdentifica id;
  id.SetUser("ana");
  id.OnSetActive();
  id.EditLogin("");  // the same text: no change
  EXPECT_FALSE(id.Modified());
  id.EditPassword("p");
  EXPECT_TRUE(id.Modified());
}

// --- the sheet -----------------------------------------------------------

TEST_F(ConfigModel, CancelAndNeverShownPagesWriteNothing) {
  {
    CPropsConduit sheet;
    sheet.SetUser("ana");
    sheet.OnInitDialog();
    sheet.m_pIdentifica->EditLogin("changed");
    sheet.Cancel();
    EXPECT_EQ(sheet.Result(), IDCANCEL);
  }
  EXPECT_EQ(EntryCount(), 0u);

  // OK with only the first page shown: the other two stay unwritten, and
  // the schedule answer comes from the store.
  store().WriteInt("ana", "proximo", 0);
  CPropsConduit sheet;
  sheet.SetUser("ana");
  sheet.OnInitDialog();
  ASSERT_TRUE(sheet.OK());
  EXPECT_EQ(Text("ana", "login"), "");
  EXPECT_EQ(Int("ana", "padrao"), -7);
  EXPECT_EQ(Int("Comunicacao", "timeout"), -7);
  int32_t next = -1;
  int32_t def = -1;
  sheet.GetActions(next, def);
  EXPECT_EQ(next, 0);
  EXPECT_EQ(def, 1);
}

TEST_F(ConfigModel, ApplySavesAndStaysAndEditsSurviveSwitchingPages) {
  CPropsConduit sheet;
  sheet.SetUser("ana");
  sheet.OnInitDialog();
  sheet.m_pIdentifica->EditLogin("one");
  EXPECT_TRUE(sheet.ApplyEnabled());
  ASSERT_TRUE(sheet.SelectPage(1));
  ASSERT_TRUE(sheet.SelectPage(0));
  EXPECT_EQ(sheet.m_pIdentifica->m_login, "one");  // not reloaded over the edit
  ASSERT_TRUE(sheet.Apply());
  EXPECT_FALSE(sheet.Ended());
  EXPECT_FALSE(sheet.ApplyEnabled());
  EXPECT_EQ(Text("ana", "login"), "111110101");
  // Someone else changes the store; OK writes the sheet's values again.
  store().WriteText("ana", "login", "999");
  ASSERT_TRUE(sheet.OK());
  EXPECT_EQ(Text("ana", "login"), "111110101");
  EXPECT_EQ(sheet.Result(), IDOK);
}

// --- the wizard ----------------------------------------------------------

class WizardModel : public ConfigModel {
 protected:
  void SetUp() override {
    ConfigModel::SetUp();
    dataDir = world.root() / "share";
    fs::create_directories(dataDir);
    std::ofstream(dataDir / kHandheldApplicationFile) << "application";
    std::ofstream(dataDir / kHandheldPreferencesFile) << "preferences";
    wizard.m_dataDir = dataDir;
  }
  void AddUsers(std::initializer_list<const char*> names) {
    std::string error;
    for (const char* name : names) ASSERT_TRUE(hotsync::addUser(name, &error)) << error;
  }
  std::vector<std::string> Queued(const std::string& user) const {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(hotsync::userInstallDir(user), ec), end; !ec && it != end; it.increment(ec))
      files.push_back(it->path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
  }
  // Walks a run from the user page to the final page.
  void ToFinal(CConfigWizard& w) {
    while (w.Current() != CConfigWizard::kFinal) ASSERT_TRUE(w.Next()) << w.Message();
  }

  fs::path dataDir;
  CConfigWizard wizard;
};

TEST_F(WizardModel, PagesComeInOrderAndFinishSavesAndQueuesForTheChosenUser) {
  AddUsers({"carla", "ana", "bruno"});
  std::vector<std::size_t> seen;
  wizard.Run([&](CConfigWizard& w) {
    EXPECT_EQ(w.m_pUsuario->m_users, (std::vector<std::string>{"ana", "bruno", "carla"}));
    EXPECT_EQ(w.m_pUsuario->Selected(), "ana");
    EXPECT_FALSE(w.BackEnabled());
    ASSERT_TRUE(w.Next());
    w.m_pIdentifica->EditLogin("first");
    // Back to the user page and another user: the page loads for that user.
    w.Back();
    w.Back();
    EXPECT_EQ(w.Current(), CConfigWizard::kUser);
    w.m_pUsuario->Select(1);
    store().WriteText("bruno", "login", "098");
    while (!w.Ended()) {
      seen.push_back(w.Current());
      if (w.Current() == CConfigWizard::kFinal) {
        EXPECT_EQ(w.FinishText(), "&Terminar");
        EXPECT_EQ(w.m_pFinal->m_linkSite.m_text, "www.tarvo.example");
        EXPECT_NE(w.m_pFinal->m_linkFaq.m_url.find("tar_interna.asp?pagina=faq"), std::string::npos);
        EXPECT_FALSE(w.Next());
        ASSERT_TRUE(w.Finish());
      } else {
        EXPECT_FALSE(w.Finish());
        ASSERT_TRUE(w.Next());
        if (w.Current() == CConfigWizard::kIdentification) {
          EXPECT_EQ(w.m_pIdentifica->m_login, "b");
        }
      }
    }
  });
  EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Text("bruno", "login"), "098");
  EXPECT_EQ(Int("bruno", "proximo"), 1);
  EXPECT_EQ(Int("Comunicacao", "timeout"), 60);
  EXPECT_EQ(Text("ana", "login"), "<none>");
  EXPECT_EQ(Queued("bruno"), (std::vector<std::string>{"tarvo.prc", "tarvoprefs.pdb"}));
  EXPECT_TRUE(Queued("ana").empty());
}

TEST_F(WizardModel, AnotherUserRestartsWithTheBoxTickedAndCancelEndsWithoutSaving) {
  AddUsers({"ana", "bruno"});
  fs::remove(dataDir / kHandheldPreferencesFile);
  int runs = 0;
  wizard.Run([&](CConfigWizard& w) {
    ++runs;
    EXPECT_EQ(w.Current(), CConfigWizard::kUser);
    if (runs == 1) {
      ToFinal(w);
      w.SetAnother(true);
      EXPECT_EQ(w.FinishText(), "&Novo");
      w.Finish();
    } else if (runs == 2) {
      EXPECT_EQ(w.m_pUsuario->Selected(), "ana");  // the list is read again
      w.m_pUsuario->Select(1);
      ToFinal(w);
      EXPECT_EQ(w.FinishText(), "&Novo");  // the box keeps its tick
      w.m_pGeral->SetDefault(false);
      w.Finish();
    } else {
      ASSERT_TRUE(w.Next());
      w.m_pIdentifica->EditLogin("never");
      w.Cancel();
    }
  });
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(Queued("ana"), std::vector<std::string>{"tarvo.prc"});  // no preferences file: only the application
  EXPECT_EQ(Queued("bruno"), std::vector<std::string>{"tarvo.prc"});
  EXPECT_EQ(Int("bruno", "padrao"), 0);
  EXPECT_EQ(Text("ana", "login"), "");  // saved by the first run, untouched by the cancelled one
}

TEST_F(WizardModel, WithoutUsersOnlyCancelLeavesTheFirstPage) {
  wizard.Run([](CConfigWizard& w) {
    EXPECT_FALSE(w.Next());
    EXPECT_EQ(w.Message(), "Escolha um usuário");
    EXPECT_EQ(w.Current(), CConfigWizard::kUser);
    w.Cancel();
  });
  EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(WizardModel, InstallAllQueuesTheApplicationForEveryUser) {
  EXPECT_EQ(tarvo::ui::InstallForAllUsers(dataDir), 0);
  AddUsers({"ana", "bruno"});
  EXPECT_EQ(tarvo::ui::InstallForAllUsers(dataDir), 2);
  EXPECT_EQ(Queued("ana"), std::vector<std::string>{"tarvo.prc"});
  EXPECT_EQ(Queued("bruno"), std::vector<std::string>{"tarvo.prc"});
  EXPECT_EQ(EntryCount(), 0u);

  EXPECT_TRUE(tarvo::ui::WantsInstallAll("/INSTALLALL"));
  EXPECT_TRUE(tarvo::ui::WantsInstallAll("-q /InstallAll now"));
  EXPECT_FALSE(tarvo::ui::WantsInstallAll(""));
  EXPECT_FALSE(tarvo::ui::WantsInstallAll(nullptr));
  EXPECT_FALSE(tarvo::ui::WantsInstallAll("/install all"));
}

}  // namespace
