// The one in-process HTTP server of the tests, on 127.0.0.1. It reads each
// request whole (headers and Content-Length body), records it, and sends the
// bytes an answer function returns for it: by default the next of a queue of
// scripted answers; a test's own function can route, hold or send malformed
// or cut answers. Every wait is bounded; Stop() closes everything.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvo::test {

// A loopback port nothing listens on just now.
int FreeLoopbackPort();

struct ScriptedAnswer {
  std::string body;
  int status = 200;
  bool slow = false;  // held until Release() (bounded)
};

struct RecordedRequest {
  std::string raw;     // the whole request as it arrived
  std::string target;  // "/sync.asp?x=1"
  std::string path;    // "/sync.asp"
  std::string body;
  int sequence = 0;  // across every server of the process

  // The value of the named header; empty when absent.
  std::string Header(const std::string& name) const;
};

class ScriptedServer {
 public:
  // The answer's bytes, sent as they are; nothing sent when empty.
  using Answer = std::function<std::string(const RecordedRequest& request)>;

  // Plays the queued answers in turn; an empty 200 once none is left.
  // `slowArrived` is set once a slow answer has its request in hand.
  explicit ScriptedServer(std::shared_ptr<std::atomic<bool>> slowArrived = std::make_shared<std::atomic<bool>>(false));
  // Answers each request with what the function returns.
  explicit ScriptedServer(Answer answer);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return m_port; }
  std::string Url(const std::string& pathAndQuery = "/sync.asp") const;
  void Queue(ScriptedAnswer answer);
  std::vector<RecordedRequest> Requests() const;
  // Waits (bounded) until n requests have been received.
  bool WaitForRequests(size_t n);
  // Lets slow answers, and answer functions waiting in WaitForRelease(), go on.
  void Release();
  // For answer functions: blocks until Release() or Stop(); false when stopped.
  bool WaitForRelease();
  void Stop();

  // "HTTP/1.0 <status>" with the extra header lines ("Name: value\r\n" each),
  // the body and its Content-Length.
  static std::string HttpAnswer(const std::string& body, int status = 200, const std::string& headers = "");

  std::shared_ptr<std::atomic<bool>> slowArrived;

 private:
  void Start();
  void Run();
  std::string PlayQueued();

  Answer m_answer;
  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<ScriptedAnswer> m_queue;
  std::vector<RecordedRequest> m_requests;
  bool m_released = false;
  std::vector<std::thread> m_handlers;
  std::thread m_thread;
};

}  // namespace tarvo::test
