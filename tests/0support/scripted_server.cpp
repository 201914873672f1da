#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace tarvo::test {
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
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

void SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
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
        const size_t expect = data.find("100-continue");
        if (expect != std::string::npos && expect < end) SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
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

RecordedRequest Parse(const std::string& raw) {
  static std::atomic<int> sequence{0};
  RecordedRequest request;
  request.raw = raw;
  request.sequence = ++sequence;
  const size_t space = raw.find(' ');
  const size_t end = raw.find(' ', space + 1);
  if (space != std::string::npos && end != std::string::npos) request.target = raw.substr(space + 1, end - space - 1);
  request.path = request.target.substr(0, request.target.find('?'));
  const size_t body = raw.find("\r\n\r\n");
  if (body != std::string::npos) request.body = raw.substr(body + 4);
  return request;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  const size_t at = raw.find("\r\n" + name + ": ");
  if (at == std::string::npos || at > raw.find("\r\n\r\n")) return "";
  const size_t start = at + name.size() + 4;
  return raw.substr(start, raw.find("\r\n", start) - start);
}

int FreeLoopbackPort() {
  int port = 0;
  const int fd = Listen(port);
  if (fd >= 0) close(fd);
  return port;
}

ScriptedServer::ScriptedServer(std::shared_ptr<std::atomic<bool>> arrived) : slowArrived(std::move(arrived)) {
  m_answer = [this](const RecordedRequest&) { return PlayQueued(); };
  Start();
}

ScriptedServer::ScriptedServer(Answer answer)
    : slowArrived(std::make_shared<std::atomic<bool>>(false)), m_answer(std::move(answer)) {
  Start();
}

ScriptedServer::~ScriptedServer() { Stop(); }

void ScriptedServer::Start() {
  m_listen = Listen(m_port);
  m_thread = std::thread([this] { Run(); });
}

std::string ScriptedServer::Url(const std::string& pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + pathAndQuery;
}

std::string ScriptedServer::HttpAnswer(const std::string& body, int status, const std::string& headers) {
  return "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Status") + "\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void ScriptedServer::Queue(ScriptedAnswer answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_queue.push_back(std::move(answer));
}

std::string ScriptedServer::PlayQueued() {
  ScriptedAnswer answer;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_queue.empty()) {
      answer = std::move(m_queue.front());
      m_queue.pop_front();
    }
  }
  if (answer.slow) {
    slowArrived->store(true);
    WaitForRelease();
  }
  return HttpAnswer(answer.body, answer.status);
}

void ScriptedServer::Run() {
  while (!m_stop) {
    pollfd p{m_listen, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.emplace_back([this, fd] {
      const RecordedRequest request = Parse(ReadRequest(fd));
      {
        std::lock_guard<std::mutex> inner(m_mutex);
        m_requests.push_back(request);
      }
      m_changed.notify_all();
      SendAll(fd, m_answer(request));
      close(fd);
    });
  }
}

std::vector<RecordedRequest> ScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

bool ScriptedServer::WaitForRequests(size_t n) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, kLongestWait, [&] { return m_requests.size() >= n; });
}

void ScriptedServer::Release() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
  }
  m_changed.notify_all();
}

bool ScriptedServer::WaitForRelease() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait_for(lock, kLongestWait, [&] { return m_released || m_stop; });
  return m_released && !m_stop;
}

void ScriptedServer::Stop() {
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

}  // namespace tarvo::test
