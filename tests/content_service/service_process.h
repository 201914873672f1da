#pragma once
// tarvo-syncserver as a content service in a child process, with its
// standard output and error in files (so every "listening on" line and
// every trace line can be read later) and signals at hand. Every wait is
// bounded.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace content_service_test {

class ServiceProcess {
 public:
  ServiceProcess() = default;
  ~ServiceProcess();  // SIGKILL if still running
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  // Starts it with output files in `dir` and waits for `ports` listening lines.
  bool start(const std::filesystem::path& dir, const std::vector<std::string>& args, int ports = 1);
  // The listening URLs in order ("http://127.0.0.1:PORT/").
  const std::vector<std::string>& urls() const { return urls_; }
  std::string out() const;
  std::string err() const;
  // Waits until standard output or error holds the text.
  bool wait_for(const std::string& text, bool in_err = false) const;
  void signal(int number) const;
  // Sends the signal and waits for the exit status (nullopt: not in time).
  std::optional<int> stop(int number = 15);

 private:
  pid_t pid_ = -1;
  std::filesystem::path out_, err_;
  std::vector<std::string> urls_;
};

// The arguments of a content service on root/catalogue with its state in
// root/state, then `more`.
std::vector<std::string> service_args(const std::filesystem::path& root, std::vector<std::string> more = {});

// The scrambled form the conduit sends a login or password in.
std::string scramble(const std::string& clear);
// A conduit's login form for this handheld.
std::string login_form(const std::string& login, const std::string& password, const std::string& userid);

}  // namespace content_service_test
