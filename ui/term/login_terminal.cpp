#include "ui/term/login_terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "handheld/host_cancel.h"
#include "resources/text_codec.h"
#include "ui/login_dialog_model.h"
#include "ui/term/foreground_terminal.h"
#include "ui/term/login_keys.h"
#include "ui/term/progress_render.h"

namespace tarvo::term {
namespace {

// How long a wait for keys may go without looking at the host's Cancel.
constexpr int kHostCheckMs = 200;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

int Columns(std::string_view utf8) {
  int count = 0;
  for (char c : utf8)
    if (!IsContinuation(c)) ++count;
  return count;
}

// The last `columns` characters: a long login scrolls like its edit box.
std::string_view Tail(std::string_view utf8, int columns) {
  std::size_t start = utf8.size();
  int count = 0;
  while (start > 0 && count < columns) {
    --start;
    while (start > 0 && IsContinuation(utf8[start])) --start;
    ++count;
  }
  return utf8.substr(start);
}

// Echo and line editing off, signals off (Ctrl-C is read as Cancel) for
// the life of the object. Keys typed before the prompt showed are dropped.
class RawMode {
 public:
  explicit RawMode(int fd) : m_fd(fd) {
    if (tcgetattr(fd, &m_saved) != 0) return;
    termios raw = m_saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    m_ok = tcsetattr(fd, TCSAFLUSH, &raw) == 0;
  }
  ~RawMode() {
    if (m_ok) tcsetattr(m_fd, TCSADRAIN, &m_saved);
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;
  bool ok() const { return m_ok; }

 private:
  int m_fd;
  termios m_saved{};
  bool m_ok = false;
};

enum class Field { kLogin, kPassword, kSave };

class Session {
 public:
  Session(int fd, LoginDialogModel& model) : m_fd(fd), m_model(model), m_layout(model.Layout()) {}

  void Run() {
    ShowHeader();
    Draw();
    char buffer[256];
    while (!m_model.Ended()) {
      // The host's Cancel (a signal) closes the dialog too.
      if (HostCancelRequested()) return m_model.OnCancel();
      const int64_t untilTick = m_model.MillisUntilTick();
      const int timeout = static_cast<int>(untilTick < 0 ? kHostCheckMs : std::min<int64_t>(untilTick, kHostCheckMs));
      pollfd in{m_fd, POLLIN, 0};
      const int ready = poll(&in, 1, timeout);
      if (ready < 0 && errno != EINTR) return m_model.OnCancel();
      if (ready > 0) {
        if ((in.revents & POLLIN) == 0) return m_model.OnCancel();  // hung up
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return m_model.OnCancel();
        for (const Key& key : m_decoder.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))) {
          Handle(key);
          if (m_model.Ended()) break;
        }
      }
      // The tick that ends the dialog still shows its caption ("0 segundos").
      if (m_model.TickIfDue() || !m_model.Ended()) Draw();
    }
  }

  // The dialog leaves nothing behind on the screen.
  void Erase() {
    std::string out = "\r";
    if (m_rowsAbove > 0) out += "\x1b[" + std::to_string(m_rowsAbove) + "A";
    Write(out + "\x1b[J");
  }

 private:
  void ShowHeader() {
    Write("\r\x1b[J");
    if (!m_layout.serverLabel.empty()) Line(m_layout.serverLabel + " " + m_layout.server);
    for (const CStaticLink* link : m_layout.links) Line(link->m_text + ": " + link->m_url);
  }

  // A line above the prompt; a long address may wrap, so count its rows.
  void Line(const std::string& text) {
    Write(text + "\r\n");
    const int columns = TerminalColumns();
    m_rowsAbove += std::max(1, (Columns(text) + columns - 1) / columns);
  }

  void Handle(const Key& key) {
    switch (key.kind) {
      case KeyKind::kCancel:
        return m_model.OnCancel();
      case KeyKind::kEnter:
        if (m_field == Field::kSave) return m_model.OnOK();
        return Advance();
      case KeyKind::kTab:
        if (m_field != Field::kSave) Advance();
        return;
      case KeyKind::kBackspace:
        if (std::string text = FieldText(); !text.empty()) {
          text.pop_back();  // one Windows-1252 byte is one character
          SetFieldText(text);
        }
        return;
      case KeyKind::kClear:
        return SetFieldText("");
      case KeyKind::kText:
        if (m_field == Field::kSave) {
          if (key.text == " ") m_model.SetSave(!m_model.Controls().save);
          if (key.text == "s" || key.text == "S") m_model.SetSave(true);
          if (key.text == "n" || key.text == "N") m_model.SetSave(false);
          return;
        }
        // Only what the conduit's code page can hold is accepted.
        if (const std::string c = Utf8ToCp1252(key.text); c != "?" || key.text == "?") SetFieldText(FieldText() + c);
        return;
    }
  }

  void Advance() {
    Draw();  // the finished field stays on screen as it was left
    Write("\r\n");
    ++m_rowsAbove;
    m_field = m_field == Field::kLogin ? Field::kPassword : Field::kSave;
    m_shown.clear();
  }

  std::string FieldText() const {
    return m_field == Field::kLogin      ? m_model.Controls().login
           : m_field == Field::kPassword ? m_model.Controls().password
                                         : std::string();
  }

  void SetFieldText(const std::string& text) {
    if (m_field == Field::kLogin) m_model.EditLogin(text);
    if (m_field == Field::kPassword) m_model.EditPassword(text);
  }

  void Draw() {
    const int usable = std::max(TerminalColumns() - 1, 10);  // the last column would wrap on some terminals
    std::string prompt = "[" + Cp1252ToUtf8(m_model.WindowText()) + "] ";
    std::string value;
    switch (m_field) {
      case Field::kLogin:
        prompt += m_layout.loginLabel + ": ";
        value = Cp1252ToUtf8(m_model.Controls().login);
        break;
      case Field::kPassword:
        prompt += m_layout.passwordLabel + ": ";  // the password is never shown
        break;
      case Field::kSave:
        prompt += !m_layout.saveEnabled ? "[-] " : m_model.Controls().save ? "[x] " : "[ ] ";
        prompt += m_layout.saveLabel;
        break;
    }
    std::string line = FitColumns(prompt, usable);
    line += Tail(value, std::max(usable - Columns(line), 0));
    if (line == m_shown) return;
    m_shown = line;
    Write("\r\x1b[2K" + line);
  }

  int TerminalColumns() const {
    winsize size{};
    if (ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
  }

  void Write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  int m_fd;
  LoginDialogModel& m_model;
  LoginLayout m_layout;
  KeyDecoder m_decoder;
  Field m_field = Field::kLogin;
  std::string m_shown;  // the prompt line as last drawn
  int m_rowsAbove = 0;
};

}  // namespace

TerminalLoginFrontEnd::TerminalLoginFrontEnd(int fd, bool ownsFd) : m_fd(fd), m_ownsFd(ownsFd) {}

TerminalLoginFrontEnd::~TerminalLoginFrontEnd() {
  if (m_ownsFd) close(m_fd);
}

void TerminalLoginFrontEnd::Run(LoginDialogModel& model) {
  RawMode raw(m_fd);
  // Without control over echo a password could show: nobody is asked.
  if (!raw.ok()) return model.OnCancel();
  Session session(m_fd, model);
  session.Run();
  session.Erase();
}

std::unique_ptr<LoginFrontEnd> OpenTerminalLoginFrontEnd() {
  const int fd = OpenForegroundTerminal();
  if (fd < 0) return nullptr;
  return std::make_unique<TerminalLoginFrontEnd>(fd, true);
}

}  // namespace tarvo::term
