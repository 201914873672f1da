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
#include <thread>
#include <vector>

#include "run_program.h"

extern char** environ;

namespace http_test {
namespace {

constexpr auto kLongestWait = std::chrono::seconds(20);

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

bool Openssl(const std::vector<std::string>& args) {
  return tarvo::test::runProgram("/usr/bin/openssl", args, {}).status == 0;
}

}  // namespace

void ClearProxyEnvironment() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY",
                           "TARVO_CA_FILE"}) {
    unsetenv(name);
  }
}

Tinyproxy::Tinyproxy() {
  m_port = tarvo::test::FreeLoopbackPort();
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
  m_ok = Openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                  d + "/ca.key", "-out", d + "/ca.pem", "-days", "3650", "-subj", "/CN=Tarvo Test CA"}) &&
         Openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                  d + "/stranger.key", "-out", d + "/stranger.pem", "-days", "3650", "-subj", "/CN=Stranger CA"});
}

TestCertificates::Pair TestCertificates::Issue(const std::string& name, const std::string& start,
                                               const std::string& end) {
  const std::string d = m_dir.path().string();
  const std::string base = d + "/srv" + std::to_string(m_serial++);
  Pair pair{base + ".pem", base + ".key"};
  Openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", pair.key, "-out",
           base + ".csr", "-subj", "/CN=" + name});
  std::vector<std::string> args{"ca",          "-batch",  "-config", d + "/ca.cnf", "-cert", d + "/ca.pem", "-keyfile",
                                d + "/ca.key", "-notext", "-in",     base + ".csr", "-out",  pair.cert};
  if (!start.empty()) {
    args.insert(args.end(), {"-startdate", start, "-enddate", end});
  }
  if (!Openssl(args)) pair.cert.clear();
  return pair;
}

TestCertificates::Pair TestCertificates::IssueByStranger(const std::string& name) {
  const std::string d = m_dir.path().string();
  const std::string base = d + "/stranger-srv";
  Pair pair{base + ".pem", base + ".key"};
  Openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", pair.key, "-out",
           base + ".csr", "-subj", "/CN=" + name});
  if (!Openssl({"x509", "-req", "-in", base + ".csr", "-CA", d + "/stranger.pem", "-CAkey", d + "/stranger.key",
                "-CAcreateserial", "-days", "30", "-out", pair.cert})) {
    pair.cert.clear();
  }
  return pair;
}

}  // namespace http_test
