#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace tarvo::test {

PtySession::PtySession() {
  winsize size{};
  size.ws_col = 100;
  size.ws_row = 30;
  if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) master_ = slave_ = -1;
}

PtySession::~PtySession() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

bool PtySession::spawn(const std::string& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env) {
  if (master_ < 0) return false;
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  child_ = fork();
  if (child_ < 0) return false;
  if (child_ == 0) {
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, 0);
    dup2(slave_, 1);
    dup2(slave_, 2);
    close(master_);
    if (slave_ > 2) close(slave_);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  // The parent keeps no slave open, so the end of the program ends the reads.
  close(slave_);
  slave_ = -1;
  return true;
}

bool PtySession::drain(int waitMs) {
  pollfd in{master_, POLLIN, 0};
  if (poll(&in, 1, waitMs) <= 0) return true;
  char buffer[4096];
  const ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;  // EIO: the other side has gone
  screen_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool PtySession::waitFor(const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    if (const std::size_t at = screen_.find(text, mark_); at != std::string::npos) {
      mark_ = at + text.size();
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline || !drain(100))
      return screen_.find(text, mark_) != std::string::npos;
  }
}

void PtySession::type(const std::string& keys) {
  std::size_t done = 0;
  while (done < keys.size()) {
    const ssize_t n = write(master_, keys.data() + done, keys.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

int PtySession::finish() {
  if (child_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  for (;;) {
    drain(50);
    const pid_t done = waitpid(child_, &status, WNOHANG);
    if (done == child_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child_, SIGKILL);
      waitpid(child_, &status, 0);
      child_ = -1;
      return -1;
    }
  }
  while (drain(50) && screen_.size() < (1u << 20)) {
    pollfd in{master_, POLLIN, 0};
    if (poll(&in, 1, 0) <= 0) break;
  }
  child_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarvo::test
