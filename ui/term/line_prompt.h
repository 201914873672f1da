// Questions on a terminal, one line each: the prompt shows the current
// value in brackets, Enter alone keeps it, a lone "-" empties a text. A
// password is read with the terminal's echo off and shown as stars.
// End of input (Ctrl-D, a hang-up) makes every later question fail.
#pragma once

#include <optional>
#include <string>

namespace tarvo::term {

class LinePrompt {
 public:
  explicit LinePrompt(int fd) : m_fd(fd) {}

  void Write(const std::string& utf8) const;
  void Line(const std::string& utf8) const { Write(utf8 + "\n"); }

  // A whole line without its end; nullopt at the end of input.
  std::optional<std::string> ReadLine(bool echo = true);
  // Text fields (UTF-8 in and out).
  std::optional<std::string> AskText(const std::string& label, const std::string& current);
  std::optional<std::string> AskPassword(const std::string& label, const std::string& current);
  // s/n question; Enter keeps `current`.
  std::optional<bool> AskYesNo(const std::string& label, bool current);
  // One of 1..count; Enter keeps `current`.
  std::optional<int> AskNumber(const std::string& label, int current, int count);

  bool Closed() const { return m_closed; }

 private:
  int m_fd;
  bool m_closed = false;
  std::string m_pending;
};

}  // namespace tarvo::term
