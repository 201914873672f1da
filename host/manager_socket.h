// The manager's owner-only local socket: bound in the manager's folder,
// answering only callers of this Linux user, one request line each.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvo::host {

class ManagerSocket {
 public:
  explicit ManagerSocket(std::filesystem::path dir) : dir_(std::move(dir)) {}
  ~ManagerSocket();
  ManagerSocket(const ManagerSocket&) = delete;
  ManagerSocket& operator=(const ManagerSocket&) = delete;

  // Binds manager.sock (mode 0600). False with *error.
  bool listen(std::string* error);
  int fd() const { return fd_; }

  // Takes the next caller and reads its request line. -1 when there was
  // none, or it was another user's, or it sent no whole line in time (it
  // is closed); else its connection, with *line and the descriptors that
  // came with the line (*fds, owned by the caller).
  int accept(std::string* line, std::vector<int>* fds);

 private:
  std::filesystem::path dir_;
  int fd_ = -1;
};

// Sends one message line to a caller, never blocking for long and never
// raising SIGPIPE. False when it could not all go.
bool sendLine(int fd, const std::string& line);

}  // namespace tarvo::host
