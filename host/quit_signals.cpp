#include "host/quit_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <initializer_list>

namespace tarvo::host {

QuitSignals::QuitSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, sig);
  ::sigprocmask(SIG_BLOCK, &signals, nullptr);
  fd_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

QuitSignals::~QuitSignals() {
  if (fd_ >= 0) ::close(fd_);
}

void QuitSignals::take() {
  signalfd_siginfo info{};
  (void)!::read(fd_, &info, sizeof info);
}

}  // namespace tarvo::host
