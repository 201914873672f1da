// The sheet's text forms on a real pseudo-terminal: what is echoed, what
// Enter keeps, the port's validation, and what reaches the store.
#include <gtest/gtest.h>

#include <thread>

#include "pty_session.h"
#include "settings/settings_store.h"
#include "ui/props_conduit.h"
#include "ui/term/config_terminal.h"
#include "xdg_world.h"

namespace {

class ConfigTerminal : public ::testing::Test {
 protected:
  void SetUp() override { tarvo::SetSettingsFile(world.root() / "settings.sqlite"); }
  void TearDown() override {
    if (worker.joinable()) worker.join();
    tarvo::SetSettingsFile({});
  }
  // Shows the sheet for `user` on the terminal while the test types.
  void Show(const std::string& user) {
    sheet.SetUser(user);
    sheet.OnInitDialog();
    worker = std::thread([this] { tarvo::term::TerminalConfigFrontEnd(pty.slave(), false).RunSheet(sheet); });
  }
  void Answer(const std::string& prompt, const std::string& line) {
    ASSERT_TRUE(pty.waitFor(prompt)) << pty.screen();
    pty.type(line + "\n");
  }
  std::string Text(const char* section, const char* key) const {
    return tarvo::AppSettings().ReadText(section, key, "<none>");
  }
  int32_t Int(const char* section, const char* key) const { return tarvo::AppSettings().ReadInt(section, key, -7); }

  tarvo::test::XdgWorld world{"tarvo-config-term"};
  tarvo::test::PtySession pty;
  CPropsConduit sheet;
  std::thread worker;
};

TEST_F(ConfigTerminal, FormsFillThePagesTheUserOpensAndOkSavesThem) {
  Show("ana");
  ASSERT_TRUE(pty.waitFor("Usuário do Hotsync: ana"));
  Answer("Login: ", "ana.silva");
  Answer("Senha: ", "segredo1");
  Answer("Escolha [OK]: ", "3");
  Answer("[60]: ", "128");
  ASSERT_TRUE(pty.waitFor("2 minutos e 15 segundos"));
  Answer("Internet Explorer (s/n) [n]: ", "s");
  Answer("Servidor: ", "proxy.local");
  Answer("Porta [80]: ", "100001");
  ASSERT_TRUE(pty.waitFor("Digite um número inteiro entre 0 e 100000."));
  Answer("Porta [100001]: ", "8080");
  Answer("Proxy (s/n) [n]: ", "n");
  Answer("Escolha [OK]: ", "o");
  worker.join();

  EXPECT_EQ(sheet.Result(), 1);
  EXPECT_EQ(pty.screen().find("segredo1"), std::string::npos) << "the password was echoed";
  EXPECT_EQ(Text("ana", "login"), "097110097046115105108118097");
  EXPECT_EQ(Text("ana", "senha"), "115101103114101100111049");
  EXPECT_EQ(Int("Comunicacao", "timeout"), 135);
  EXPECT_EQ(Int("Comunicacao", "proxyport"), 8080);
  EXPECT_EQ(Int("ana", "proximo"), -7);  // the schedule page was never opened
}

TEST_F(ConfigTerminal, EnterKeepsTheShownValuesAndEndOfInputIsCancel) {
  tarvo::AppSettings().WriteText("ana", "login", "097098099");
  tarvo::AppSettings().WriteText("ana", "senha", "120");
  Show("ana");
  Answer("Login [abc]: ", "");
  Answer("Senha [*]: ", "");
  Answer("Escolha [OK]: ", "2");
  Answer("Ação no próximo hotsync: 1 Atualizar módulos, 2 Não executar [1]: ", "2");
  Answer("[1]: ", "");
  Answer("Escolha [OK]: ", "a");
  ASSERT_TRUE(pty.waitFor("Escolha [OK]: "));
  pty.type("\x04");  // Ctrl-D: the end of input
  worker.join();

  EXPECT_EQ(sheet.Result(), 2);
  EXPECT_EQ(Text("ana", "login"), "097098099");
  EXPECT_EQ(Text("ana", "senha"), "120");
  EXPECT_EQ(Int("ana", "proximo"), 0);  // applied before the end
  EXPECT_EQ(Int("ana", "padrao"), 1);
}

}  // namespace
