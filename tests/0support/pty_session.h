// A real pseudo-terminal for tests of terminal front ends: either a program
// started with it as its controlling terminal, or an in-process front end
// handed the slave side. The test reads what the terminal shows and types
// keys. Every wait is bounded, so a stuck prompt fails the test.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace tarvo::test {

class PtySession {
 public:
  PtySession();
  ~PtySession();  // kills a program still running
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  int slave() const { return slave_; }
  // Starts `program` in a new session on the terminal, with `env` added.
  bool spawn(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env);
  // Reads until `text` shows after the previous match; false after 20 s.
  bool waitFor(const std::string& text);
  void type(const std::string& keys);
  // Everything shown so far.
  const std::string& screen() const { return screen_; }
  // Reads to the end and returns the program's exit status (-1: killed
  // after 60 s, or it did not exit normally).
  int finish();

 private:
  bool drain(int waitMs);

  int master_ = -1;
  int slave_ = -1;
  pid_t child_ = -1;
  std::string screen_;
  std::size_t mark_ = 0;
};

}  // namespace tarvo::test
