// The proxy credentials prompt, carried from the thread that runs the
// request to the HotSync thread, which alone may show windows. The worker
// waits while the HotSync thread, at its next event pump, asks the user.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// What the prompt shows and the user types (UTF-8).
struct ProxyCredentials {
  std::string proxy;  // the proxy's address; empty: the system's
  std::string user;
  std::string password;
  std::string domain;
};

class ProxyPromptRelay {
 public:
  // Shows the prompt; true when the user confirmed.
  using Ask = std::function<bool(ProxyCredentials& credentials)>;

  // `owner` is the thread that may show the prompt.
  ProxyPromptRelay(Ask ask, std::thread::id owner);

  // Any thread: asks and waits for the answer. On the owner thread the
  // prompt shows at once; elsewhere it waits for Serve() or Cancel().
  bool Request(ProxyCredentials& credentials);
  // The owner's event pump: shows a waiting prompt, if any.
  void Serve();
  // Declines the waiting prompt and every later one.
  void Cancel();

 private:
  Ask m_ask;
  std::thread::id m_owner;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  ProxyCredentials* m_waiting = nullptr;  // the worker's request, until answered
  bool m_answered = false;
  bool m_confirmed = false;
  bool m_cancelled = false;
};
