// Runs a program with extra environment variables and collects what it
// writes to standard output and standard error.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarvo::test {

struct ProgramResult {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// A program that has not ended after `guardSeconds` is killed and reported
// with status -1, so a hang fails the test instead of stalling the suite.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, int guardSeconds = 120);

}  // namespace tarvo::test
