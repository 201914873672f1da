#include "loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace http_test {
namespace {

constexpr auto kLongestWait = std::chrono::seconds(20);

int Listen(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

int FreePort() {
  int port = 0;
  const int fd = Listen(port);
  if (fd >= 0) close(fd);
  return port;
}

bool Connectable(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

// Reads one request: headers, then as many body bytes as Content-Length says.
// Gives up after a quiet second.
std::string ReadRequest(int fd) {
  std::string data;
  char buffer[4096];
  size_t wanted = std::string::npos;
  for (;;) {
    if (wanted == std::string::npos) {
      const size_t end = data.find("\r\n\r\n");
      if (end != std::string::npos) {
        size_t length = 0;
        const size_t at = data.find("Content-Length:");
        if (at != std::string::npos && at < end) length = std::strtoul(data.c_str() + at + 15, nullptr, 10);
        wanted = end + 4 + length;
      }
    }
    if (wanted != std::string::npos && data.size() >= wanted) return data;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) return data;
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return data;
    data.append(buffer, static_cast<size_t>(got));
  }
}

bool Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void ClearProxyEnvironment() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                           "NO_PROXY", "TARVO_CA_FILE"}) {
    unsetenv(name);
  }
}

std::string OkAnswer(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

RawServer::RawServer(Answer answer) : m_answer(std::move(answer)) {
  m_listen = Listen(m_port);
  m_thread = std::thread([this] { Run(); });
}

RawServer::~RawServer() { Stop(); }

std::string RawServer::Url(const std::string& pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + pathAndQuery;
}

void RawServer::Run() {
  while (!m_stop) {
    pollfd p{m_listen, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.emplace_back([this, fd] {
      const std::string request = ReadRequest(fd);
      {
        std::lock_guard<std::mutex> inner(m_mutex);
        m_requests.push_back(request);
      }
      m_changed.notify_all();
      m_answer(fd, request);
      close(fd);
    });
  }
}

std::vector<std::string> RawServer::Requests() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

bool RawServer::WaitForRequests(size_t n) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, kLongestWait, [&] { return m_requests.size() >= n; });
}

void RawServer::Release() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
  }
  m_changed.notify_all();
}

bool RawServer::WaitForRelease() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait_for(lock, kLongestWait, [&] { return m_released || m_stop; });
  return m_released && !m_stop;
}

void RawServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  if (m_thread.joinable()) m_thread.join();
  for (auto& handler : m_handlers) {
    if (handler.joinable()) handler.join();
  }
  m_handlers.clear();
  if (m_listen >= 0) close(m_listen);
  m_listen = -1;
}

void RawServer::SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

Tinyproxy::Tinyproxy() {
  m_port = FreePort();
  const std::string conf = (m_dir.path() / "tinyproxy.conf").string();
  std::ofstream(conf) << "Port " << m_port << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                      << "Allow 127.0.0.1\nBasicAuth user pass\nLogLevel Critical\n";
  std::string program = "/usr/bin/tinyproxy";
  std::vector<char*> argv{program.data(), const_cast<char*>("-d"), const_cast<char*>("-c"),
                          const_cast<char*>(conf.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
    if (Connectable(m_port)) {
      m_ready = true;
      break;
    }
    if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
      m_pid = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Tinyproxy::~Tinyproxy() {
  if (m_pid > 0) {
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
  }
}

TestCertificates::TestCertificates() {
  const std::string d = m_dir.path().string();
  std::ofstream(d + "/ca.cnf") << "[ ca ]\ndefault_ca = test_ca\n[ test_ca ]\ndatabase = " << d
                               << "/index.txt\nnew_certs_dir = " << d << "\nserial = " << d
                               << "/serial\ndefault_md = sha256\ndefault_days = 30\npolicy = anything\n"
                               << "unique_subject = no\n[ anything ]\ncommonName = supplied\n";
  std::ofstream(d + "/index.txt");
  std::ofstream(d + "/serial") << "01\n";
  m_ok = Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
              "-keyout", d + "/ca.key", "-out", d + "/ca.pem", "-days", "3650", "-subj", "/CN=Tarvo Test CA"}) &&
         Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
              "-keyout", d + "/stranger.key", "-out", d + "/stranger.pem", "-days", "3650", "-subj",
              "/CN=Stranger CA"});
}

TestCertificates::Pair TestCertificates::Issue(const std::string& name, const std::string& start,
                                               const std::string& end) {
  const std::string d = m_dir.path().string();
  const std::string base = d + "/srv" + std::to_string(m_serial++);
  Pair pair{base + ".pem", base + ".key"};
  Run({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
       pair.key, "-out", base + ".csr", "-subj", "/CN=" + name});
  std::vector<std::string> args{"openssl", "ca",      "-batch",         "-config", d + "/ca.cnf",
                                "-cert",   d + "/ca.pem", "-keyfile", d + "/ca.key", "-notext",
                                "-in",     base + ".csr", "-out",    pair.cert};
  if (!start.empty()) {
    args.insert(args.end(), {"-startdate", start, "-enddate", end});
  }
  if (!Run(args)) pair.cert.clear();
  return pair;
}

TestCertificates::Pair TestCertificates::IssueByStranger(const std::string& name) {
  const std::string d = m_dir.path().string();
  const std::string base = d + "/stranger-srv";
  Pair pair{base + ".pem", base + ".key"};
  Run({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
       pair.key, "-out", base + ".csr", "-subj", "/CN=" + name});
  if (!Run({"openssl", "x509", "-req", "-in", base + ".csr", "-CA", d + "/stranger.pem", "-CAkey",
            d + "/stranger.key", "-CAcreateserial", "-days", "30", "-out", pair.cert})) {
    pair.cert.clear();
  }
  return pair;
}

}  // namespace http_test
