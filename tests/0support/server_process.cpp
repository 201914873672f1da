#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "files.h"

extern char** environ;

namespace syncserver_test {

namespace {

constexpr auto kBound = std::chrono::seconds(20);

std::vector<char*> argv_of(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return argv;
}

pid_t spawn(std::vector<std::string> args, int out_fd, int err_fd) {
  args.insert(args.begin(), TARVO_SYNCSERVER_BIN);
  auto argv = argv_of(args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Appends what the fd yields to text until text holds stop_at (empty: until
// end of file) or the deadline passes.
void read_into(std::string& text, int fd, const std::string& stop_at, std::chrono::steady_clock::time_point deadline) {
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    if (!stop_at.empty() && text.find(stop_at) != std::string::npos) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<int> wait_exit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

std::size_t append(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

}  // namespace

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool ServerProcess::start(const std::vector<std::string>& args) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return false;
  pid_ = spawn(args, out[1], 2);
  ::close(out[1]);
  if (pid_ < 0) {
    ::close(out[0]);
    return false;
  }
  std::string line;
  read_into(line, out[0], "\n", std::chrono::steady_clock::now() + kBound);
  ::close(out[0]);
  const std::string prefix = "listening on ";
  if (!line.starts_with(prefix) || line.find('\n') == std::string::npos) return false;
  url_ = line.substr(prefix.size(), line.find('\n') - prefix.size());
  return true;
}

std::optional<int> ServerProcess::stop(int signal_number) {
  if (pid_ <= 0) return std::nullopt;
  ::kill(pid_, signal_number);
  auto status = wait_exit(pid_, std::chrono::steady_clock::now() + kBound);
  if (status) pid_ = -1;
  return status;
}

ProgramRun run_to_end(const std::vector<std::string>& args) {
  return tarvo::test::runProgram(TARVO_SYNCSERVER_BIN, args, {}, 20);
}

Reply fetch(const std::string& url, const Fetch& how) {
  Reply reply;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, append);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
  if (how.post) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, how.post->data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(how.post->size()));
  }
  if (how.http10) curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  if (how.path_as_is) curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  if (!how.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, how.ca_file.c_str());
  reply.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME, &reply.seconds);
  curl_easy_cleanup(curl);
  return reply;
}

RawConnection::RawConnection(const std::string& server_url) {
  const int port = std::atoi(server_url.c_str() + server_url.rfind(':') + 1);
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::send(const std::string& bytes) {
  return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool RawConnection::read_until(const std::string& text) {
  if (fd_ >= 0) read_into(received, fd_, text, std::chrono::steady_clock::now() + kBound);
  return received.find(text) != std::string::npos;
}

void RawConnection::read_to_end() {
  if (fd_ >= 0) read_into(received, fd_, "", std::chrono::steady_clock::now() + kBound);
}

std::string log_bytes(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || i + 1 >= text.size()) {
      bytes += static_cast<char>(c);
    } else {
      bytes += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
    }
  }
  return bytes;
}

bool ServerProcess::start_logged(const std::filesystem::path& dir, std::vector<std::string> args) {
  dir_ = dir;
  std::filesystem::create_directories(dir);
  args.insert(args.end(), {"--log", (dir / "requests.jsonl").string()});
  return start(args);
}

bool ServerProcess::play(const std::filesystem::path& dir, const std::string& script, std::vector<std::string> more,
                         bool log) {
  dir_ = dir;
  tarvo::test::WriteFile(dir / "script.json", script);
  std::filesystem::create_directories(dir / "files");
  more.insert(more.end(), {"--script", (dir / "script.json").string(), "--files", (dir / "files").string()});
  return log ? start_logged(dir, more) : start(more);
}

std::vector<nlohmann::json> ServerProcess::logged() const {
  std::vector<nlohmann::json> entries;
  for (const std::string& line : tarvo::test::ReadLines(dir_ / "requests.jsonl")) {
    entries.push_back(nlohmann::json::parse(line));
  }
  return entries;
}

std::vector<LoggedRequest> ServerProcess::requests() const {
  std::vector<LoggedRequest> requests;
  for (const nlohmann::json& entry : logged()) {
    requests.push_back({log_bytes(entry.at("method").get<std::string>()),
                        log_bytes(entry.at("target").get<std::string>()),
                        log_bytes(entry.at("body").get<std::string>())});
  }
  return requests;
}

std::string ServerProcess::steps(std::size_t from) const {
  const std::vector<nlohmann::json> entries = logged();
  std::string text;
  for (std::size_t i = from; i < entries.size(); ++i) {
    const std::string cmd = form_value(entries[i], "cmd");
    const std::string device = form_value(entries[i], "device_id");
    // A content service's signed download address differs from server to
    // server and run to run: it shows as the file it names.
    static const std::regex signed_download("^/files/[0-9]+/[0-9]+/[0-9a-f]{32}/");
    const std::string path = std::regex_replace(entries[i]["path"].get<std::string>(), signed_download, "/files/");
    text += (cmd.empty() ? path : cmd + (device.empty() ? "" : "@" + device)) + " ";
  }
  return text;
}

std::string form_value(const nlohmann::json& entry, const std::string& name) {
  for (const auto& pair : entry["form"]) {
    if (pair[0] == name) return pair[1];
  }
  return "";
}

std::string temp_folder(const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() / ("syncserver-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path.string();
}

}  // namespace syncserver_test
