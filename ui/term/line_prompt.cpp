#include "ui/term/line_prompt.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace tarvo::term {
namespace {

// Echo off for the life of the object (the password field).
class NoEcho {
 public:
  explicit NoEcho(int fd) : m_fd(fd) {
    if (tcgetattr(fd, &m_saved) != 0) return;
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ICANON;
    m_ok = tcsetattr(fd, TCSANOW, &quiet) == 0;
  }
  ~NoEcho() {
    if (m_ok) tcsetattr(m_fd, TCSANOW, &m_saved);
  }
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  int m_fd;
  termios m_saved{};
  bool m_ok = false;
};

std::string Trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

}  // namespace

void LinePrompt::Write(const std::string& utf8) const {
  std::size_t done = 0;
  while (done < utf8.size()) {
    const ssize_t n = write(m_fd, utf8.data() + done, utf8.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::optional<std::string> LinePrompt::ReadLine(bool echo) {
  if (m_closed) return std::nullopt;
  std::optional<NoEcho> quiet;  // already off when the caller asked before its prompt
  if (!echo) quiet.emplace(m_fd);
  for (;;) {
    if (const std::size_t end = m_pending.find('\n'); end != std::string::npos) {
      std::string line = m_pending.substr(0, end);
      m_pending.erase(0, end + 1);
      if (!echo) Write("\n");  // the Enter the terminal did not show
      return line;
    }
    char buffer[256];
    const ssize_t n = read(m_fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_closed = true;
      return std::nullopt;
    }
    m_pending.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<std::string> LinePrompt::AskText(const std::string& label, const std::string& current) {
  Write(label + (current.empty() ? "" : " [" + current + "]") + ": ");
  std::optional<std::string> line = ReadLine();
  if (!line) return std::nullopt;
  const std::string answer = Trim(*line);
  if (answer.empty()) return current;
  if (answer == "-") return std::string();
  return answer;
}

std::optional<std::string> LinePrompt::AskPassword(const std::string& label, const std::string& current) {
  // Echo goes off before the prompt shows, so nothing typed after it is echoed.
  const NoEcho quiet(m_fd);
  Write(label + (current.empty() ? "" : " [" + std::string(current.size(), '*') + "]") + ": ");
  std::optional<std::string> line = ReadLine(false);
  if (!line) return std::nullopt;
  // A password keeps its blanks; only the line end goes.
  std::string answer = *line;
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  if (answer.empty()) return current;
  if (answer == "-") return std::string();
  return answer;
}

std::optional<bool> LinePrompt::AskYesNo(const std::string& label, bool current) {
  for (;;) {
    Write(label + " (s/n) [" + (current ? "s" : "n") + "]: ");
    std::optional<std::string> line = ReadLine();
    if (!line) return std::nullopt;
    const std::string answer = Trim(*line);
    if (answer.empty()) return current;
    if (answer == "s" || answer == "S" || answer == "sim") return true;
    if (answer == "n" || answer == "N" || answer == "não") return false;
    Line("Responda s ou n.");
  }
}

std::optional<int> LinePrompt::AskNumber(const std::string& label, int current, int count) {
  for (;;) {
    Write(label + " [" + std::to_string(current) + "]: ");
    std::optional<std::string> line = ReadLine();
    if (!line) return std::nullopt;
    const std::string answer = Trim(*line);
    if (answer.empty()) return current;
    if (answer.size() <= 4 && answer.find_first_not_of("0123456789") == std::string::npos) {
      const int value = std::stoi(answer);
      if (value >= 1 && value <= count) return value;
    }
    Line("Escolha um número de 1 a " + std::to_string(count) + ".");
  }
}

}  // namespace tarvo::term
