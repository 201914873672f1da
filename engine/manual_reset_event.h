// A manual-reset event: once set it stays set, waking every waiter. The page
// fetch uses one to learn that its worker has ended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet = false) : m_set(initiallySet) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  // True when the event was set within `timeout`; a zero timeout only looks.
  bool WaitFor(std::chrono::milliseconds timeout) const;
  void Wait() const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  bool m_set;
};
