// The login dialogs on a real pseudo-terminal: what is echoed, what the
// dialog keeps, the countdown on the prompt line, and when the default
// front end uses the controlling terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "ui/login_dialogs.h"
#include "ui/login_front_end.h"
#include "ui/term/login_terminal.h"

namespace {

using namespace std::chrono_literals;

struct Pty {
  int master = -1;
  int slave = -1;
  Pty() {
    winsize size{};
    size.ws_col = 100;
    size.ws_row = 30;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) ADD_FAILURE() << "openpty";
  }
  ~Pty() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
};

// Everything the terminal has shown so far, read until `wanted` appears
// after `from` (bounded: the test fails instead of waiting for ever).
class Screen {
 public:
  explicit Screen(int fd) : m_fd(fd) {}
  bool WaitFor(const std::string& wanted, std::size_t from = 0) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (m_text.find(wanted, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      Drain(100);
    }
    return true;
  }
  void Drain(int waitMs) {
    pollfd in{m_fd, POLLIN, 0};
    if (poll(&in, 1, waitMs) <= 0) return;
    char buffer[4096];
    const ssize_t n = read(m_fd, buffer, sizeof buffer);
    if (n > 0) m_text.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string& text() const { return m_text; }

 private:
  int m_fd;
  std::string m_text;
};

void Type(int fd, const std::string& keys) {
  ASSERT_EQ(write(fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

class LoginTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    const int slave = pty.slave;
    SetLoginFrontEndFactory([slave] { return std::make_unique<tarvo::term::TerminalLoginFrontEnd>(slave, false); });
  }
  void TearDown() override { SetLoginFrontEndFactory({}); }
  Pty pty;
};

TEST_F(LoginTerminal, TypedValuesAreKeptAndThePasswordIsNeverEchoed) {
  CLoginDialog dlg;
  dlg.m_countdown = 60;
  dlg.m_captionSuffix = "Tarvo";
  int result = 0;
  std::thread modal([&] { result = dlg.DoModal(); });
  Screen screen(pty.master);
  EXPECT_TRUE(screen.WaitFor("Login: Tarvo] Login: "));
  // Backspace edits, an accented letter is one Windows-1252 byte, and the
  // password field takes ten characters.
  Type(pty.master, "jos\xc3\xa9x\x7f\r");
  EXPECT_TRUE(screen.WaitFor("] Senha: "));
  Type(pty.master, "s3cr3tpass-and-more\r");
  EXPECT_TRUE(screen.WaitFor("Salvar login e senha"));
  Type(pty.master, " ");
  EXPECT_TRUE(screen.WaitFor("[x] Salvar login e senha"));
  Type(pty.master, "\r");
  modal.join();
  screen.Drain(50);

  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dlg.m_login, "jos\xe9");
  EXPECT_EQ(dlg.m_password, "s3cr3tpass");
  EXPECT_EQ(dlg.m_save, 1);
  const std::string& shown = screen.text();
  EXPECT_NE(shown.find("jos\xc3\xa9"), std::string::npos);
  EXPECT_EQ(shown.find("s3cr3t"), std::string::npos);
  EXPECT_NE(shown.find("Quero me cadastrar: " + dlg.m_linkRegister.m_url), std::string::npos);
  // The terminal is as it was: echo and line editing back on.
  termios after{};
  ASSERT_EQ(tcgetattr(pty.slave, &after), 0);
  EXPECT_TRUE(after.c_lflag & ECHO);
  EXPECT_TRUE(after.c_lflag & ICANON);
}

TEST_F(LoginTerminal, UnansweredCountdownEndsAsCancel) {
  CLoginDlgCorp dlg;
  dlg.m_countdown = 3;
  dlg.m_title = "Login";
  dlg.m_server = "corp.example";
  dlg.m_tickPeriod = 20ms;
  int result = 0;
  std::thread modal([&] { result = dlg.DoModal(); });
  Screen screen(pty.master);
  EXPECT_TRUE(screen.WaitFor("Servidor: corp.example"));
  EXPECT_TRUE(screen.WaitFor("[Login: corp.example, fechando em 1 segundos] Login: "));
  // The tick that ends the dialog still draws its frame before it goes.
  EXPECT_TRUE(screen.WaitFor("[Login: corp.example, fechando em 0 segundos] Login: "));
  modal.join();
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dlg.m_countdown, -1);  // the tick that found 0 ended it
  EXPECT_TRUE(dlg.TimedOut());
}

TEST_F(LoginTerminal, AKeystrokeStopsTheCountdown) {
  CLoginDlgCorp dlg;
  dlg.m_countdown = 30000;  // fast ticks, but far more than a slow machine needs
  dlg.m_title = "Login";
  dlg.m_server = "corp.example";
  dlg.m_tickPeriod = 10ms;
  int result = 0;
  std::thread modal([&] { result = dlg.DoModal(); });
  Screen screen(pty.master);
  EXPECT_TRUE(screen.WaitFor("fechando em"));
  Type(pty.master, "k");
  EXPECT_TRUE(screen.WaitFor("[Login: corp.example] Login: k"));
  const std::size_t typedAt = screen.text().rfind("Login: k");
  std::this_thread::sleep_for(100ms);  // ten ticks' worth
  screen.Drain(50);
  Type(pty.master, "\x1b");
  modal.join();
  screen.Drain(50);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dlg.m_login, "k");
  EXPECT_EQ(screen.text().find("fechando", typedAt), std::string::npos);
  EXPECT_GT(dlg.m_countdown, 0);
}

// In a child: runs a dialog on the controlling terminal, as the program
// installs it, and exits with the result (or 9 when the child could not set
// itself up). A child that drops its terminal reads `input`.
[[noreturn]] void ChildDialog(bool dropTerminal, int input = -1) {
  if (dropTerminal && setsid() < 0) _exit(9);
  if (dropTerminal && dup2(input >= 0 ? input : open("/dev/null", O_RDONLY), STDIN_FILENO) < 0) _exit(9);
  SetLoginFrontEndFactory(tarvo::term::OpenTerminalLoginFrontEnd);
  CLoginDialog dlg;
  dlg.m_countdown = 60;
  dlg.m_captionSuffix = "Tarvo";
  const int result = dlg.DoModal();
  _exit(result == IDOK && dlg.m_login == "zz" ? 0 : result);
}

int WaitChild(pid_t pid) {
  for (int i = 0; i < 400; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(50ms);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -2;
}

TEST(LoginControllingTerminal, AsksOnTheControllingTerminalAndCancelsWithoutOne) {
  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) ChildDialog(false);
  Screen screen(master);
  EXPECT_TRUE(screen.WaitFor("] Login: "));
  Type(master, "zz\r\r\r");
  EXPECT_EQ(WaitChild(child), 0);
  close(master);

  const pid_t detached = fork();
  ASSERT_GE(detached, 0);
  if (detached == 0) ChildDialog(true);
  EXPECT_EQ(WaitChild(detached), IDCANCEL);
}

// A HotSync the manager runs for a caller has no controlling terminal; the
// caller's terminal comes as its standard input, and the login is asked there.
TEST(LoginControllingTerminal, WithoutOneAsksOnATerminalGivenAsInput) {
  Pty pty;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) ChildDialog(true, pty.slave);
  Screen screen(pty.master);
  EXPECT_TRUE(screen.WaitFor("] Login: "));
  Type(pty.master, "zz\r\r\r");
  EXPECT_EQ(WaitChild(child), 0);
}

}  // namespace
