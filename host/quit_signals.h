// SIGTERM, SIGINT and SIGHUP as the manager's quit: blocked and read from a
// descriptor that the manager's loop watches with the rest.
#pragma once

namespace tarvo::host {

class QuitSignals {
 public:
  QuitSignals();
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  int fd() const { return fd_; }
  // Reads the signal that made fd() readable.
  void take();

 private:
  int fd_ = -1;
};

}  // namespace tarvo::host
