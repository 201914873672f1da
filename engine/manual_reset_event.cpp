#include "engine/manual_reset_event.h"

void ManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
  }
  m_changed.notify_all();
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [this] { return m_set; });
}

void ManualResetEvent::Wait() const {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [this] { return m_set; });
}
