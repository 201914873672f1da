#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace tarvo::test {
namespace {

// Starts `program` with its standard output and error on two new pipes;
// the reading ends go to *outFd and *errFd. Returns the pid, or -1 with *error.
pid_t spawnWithPipes(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, int* outFd, int* errFd, std::string* error,
                     const std::string* input = nullptr) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (env.count(key) == 0) envStrings.push_back(entry);
  }
  for (const auto& [key, value] : env) envStrings.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings = {program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return -1;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return -1;
  }
  // Standard input: the given text on a pipe (small enough for its buffer).
  int inPipe[2] = {-1, -1};
  if (input != nullptr && pipe2(inPipe, O_CLOEXEC) == 0) {
    if (write(inPipe[1], input->data(), input->size()) != static_cast<ssize_t>(input->size()))
      *error = "input too long";
    close(inPipe[1]);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (inPipe[0] >= 0) posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  // Signals the test runner ignores (nohup) are the program's own again.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, number);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (inPipe[0] >= 0) close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    *error = std::string("cannot start ") + program + ": " + std::strerror(spawned);
    return -1;
  }
  *outFd = outPipe[0];
  *errFd = errPipe[0];
  return pid;
}

// Reads both pipes until they close or `deadline` passes; false on the latter.
bool drain(int outFd, int errFd, ProgramResult* result, std::chrono::steady_clock::time_point deadline) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result->out, &result->err};
  int open = (outFd >= 0) + (errFd >= 0);
  bool inTime = true;
  while (open > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      inTime = false;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  return inTime;
}

void setStatus(int raw, ProgramResult* result) {
  if (WIFEXITED(raw)) result->status = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) result->signal = WTERMSIG(raw);
}

}  // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, int guardSeconds) {
  return runProgramWithInput(program, args, env, nullptr, guardSeconds);
}

ProgramResult runProgramWithInput(const std::string& program, const std::vector<std::string>& args,
                                  const std::map<std::string, std::string>& env, const std::string* input,
                                  int guardSeconds) {
  ProgramResult result;
  int outFd = -1;
  int errFd = -1;
  const pid_t pid = spawnWithPipes(program, args, env, &outFd, &errFd, &result.err, input);
  if (pid < 0) return result;
  const bool inTime =
      drain(outFd, errFd, &result, std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds));
  if (!inTime) kill(pid, SIGKILL);
  int raw = 0;
  waitpid(pid, &raw, 0);
  if (inTime)
    setStatus(raw, &result);
  else
    result.err += "\n(killed: still running after the guard time)";
  return result;
}

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& env, bool closedStdout) {
  int outFd = -1;
  int errFd = -1;
  pid_ = spawnWithPipes(program, args, env, &outFd, &errFd, &result_.err);
  if (pid_ < 0) return;
  if (closedStdout) {
    close(outFd);
    outFd = -1;
  }
  // Read until the pipes close; the guard in wait() ends a hung program.
  reader_ = std::thread(
      [this, outFd, errFd] { drain(outFd, errFd, &result_, std::chrono::steady_clock::time_point::max()); });
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0 && running()) kill(pid_, SIGKILL);
  if (pid_ > 0 && !reaped_) waitpid(pid_, &rawStatus_, 0);
  if (reader_.joinable()) reader_.join();
}

bool RunningProgram::running() {
  if (pid_ <= 0 || reaped_) return false;
  if (waitpid(pid_, &rawStatus_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

void RunningProgram::signal(int number) {
  if (running()) kill(pid_, number);
}

ProgramResult RunningProgram::wait(int guardSeconds) {
  if (pid_ <= 0) return result_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
  while (running() && std::chrono::steady_clock::now() < deadline) usleep(10000);
  if (running()) {
    kill(pid_, SIGKILL);
    result_.err += "\n(killed: still running after the guard time)";
  }
  if (!reaped_) {
    waitpid(pid_, &rawStatus_, 0);
    reaped_ = true;
  }
  if (reader_.joinable()) reader_.join();
  setStatus(rawStatus_, &result_);
  return result_;
}

}  // namespace tarvo::test
