// Runs a program with extra environment variables and collects what it
// writes to standard output and standard error (both pipes).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace tarvo::test {

struct ProgramResult {
  int status = -1;  // exit status; -1 when it did not exit normally
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

// A program that has not ended after `guardSeconds` is killed and reported
// with status -1, so a hang fails the test instead of stalling the suite.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, int guardSeconds = 120);
// The same with `input` (when given) on its standard input, as a pipe.
ProgramResult runProgramWithInput(const std::string& program, const std::vector<std::string>& args,
                                  const std::map<std::string, std::string>& env, const std::string* input,
                                  int guardSeconds = 120);

// A program started in the background, for tests that act on it while it
// runs (signals). Its output is read as it comes, so it never blocks on a
// full pipe. With `closedStdout` the reading end of its standard output is
// closed at once: every write there meets a broken pipe.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, bool closedStdout = false);
  ~RunningProgram();  // kills it if still running
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return pid_ > 0; }
  bool running();
  void signal(int number);
  // Waits for the end (killed after `guardSeconds`, as runProgram does).
  ProgramResult wait(int guardSeconds = 120);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int rawStatus_ = 0;
  std::thread reader_;
  ProgramResult result_;
};

}  // namespace tarvo::test
