#include "child_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tarvo::bench {

ChildRun runChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env) {
  ChildRun run;
  char outName[] = "/tmp/tarvo-bench-out-XXXXXX";
  const int out = ::mkstemp(outName);
  if (out < 0) return run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::perror(args[0]);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::close(out);
  std::ifstream in(outName, std::ios::binary);
  run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  ::unlink(outName);
  return run;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace tarvo::bench
