#include "service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include "files.h"

extern char** environ;

namespace content_service_test {

namespace fs = std::filesystem;

namespace {

constexpr auto kBound = std::chrono::seconds(20);

}  // namespace

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool ServiceProcess::start(const fs::path& dir, const std::vector<std::string>& args, int ports) {
  fs::create_directories(dir);
  for (int n = 0;; ++n) {
    out_ = dir / ("out" + std::to_string(n) + ".txt");
    if (!fs::exists(out_)) break;
  }
  err_ = out_;
  err_.replace_extension(".err");
  std::vector<std::string> all{TARVO_SYNCSERVER_BIN};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;

  const std::regex line("listening on (\\S+)\n");
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = out();
    urls_.clear();
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
      urls_.push_back((*it)[1]);
    if (static_cast<int>(urls_.size()) >= ports) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::string ServiceProcess::out() const { return tarvo::test::ReadFile(out_); }
std::string ServiceProcess::err() const { return tarvo::test::ReadFile(err_); }

bool ServiceProcess::wait_for(const std::string& text, bool in_err) const {
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (std::chrono::steady_clock::now() < deadline) {
    if ((in_err ? err() : out()).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void ServiceProcess::signal(int number) const {
  if (pid_ > 0) ::kill(pid_, number);
}

std::optional<int> ServiceProcess::stop(int number) {
  if (pid_ <= 0) return std::nullopt;
  ::kill(pid_, number);
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

std::vector<std::string> service_args(const fs::path& root, std::vector<std::string> more) {
  std::vector<std::string> all{"--catalogue", (root / "catalogue").string(), "--state", (root / "state").string()};
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

std::string scramble(const std::string& clear) {
  std::string out;
  for (const unsigned char c : clear) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(c));
    out += digits;
  }
  return out;
}

std::string login_form(const std::string& login, const std::string& password, const std::string& userid) {
  return "language=PT&cmd=login&conduit=1.00f&login=" + scramble(login) + "&senha=" + scramble(password) +
         "&username=Ana&userid=" + userid;
}

}  // namespace content_service_test
