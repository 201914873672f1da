#include "ui/progress/proxy_prompt_relay.h"

ProxyPromptRelay::ProxyPromptRelay(Ask ask, std::thread::id owner) : m_ask(std::move(ask)), m_owner(owner) {}

bool ProxyPromptRelay::Request(ProxyCredentials& credentials) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (std::this_thread::get_id() == m_owner) {
    if (m_cancelled || !m_ask) return false;
    lock.unlock();  // the prompt runs its own event loop
    return m_ask(credentials);
  }
  if (m_cancelled || m_waiting != nullptr) return false;
  m_waiting = &credentials;
  m_answered = false;
  m_changed.wait(lock, [this] { return m_answered || m_cancelled; });
  const bool confirmed = m_answered && m_confirmed;
  m_waiting = nullptr;
  return confirmed;
}

void ProxyPromptRelay::Serve() {
  ProxyCredentials shown;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_waiting == nullptr || m_answered || m_cancelled) return;
    shown = *m_waiting;
  }
  // Without the lock: the prompt runs its own event loop, which pumps again.
  const bool confirmed = m_ask && m_ask(shown);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_waiting == nullptr || m_cancelled) return;
  if (confirmed) *m_waiting = shown;
  m_confirmed = confirmed;
  m_answered = true;
  m_changed.notify_all();
}

void ProxyPromptRelay::Cancel() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_cancelled = true;
  m_changed.notify_all();
}
