#include "host/cancel_signals.h"

#include <atomic>

#include "hotsync/host.h"

namespace tarvo::host {
namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void OnCancelSignal(int signal) {
  int none = 0;
  if (g_received.compare_exchange_strong(none, signal)) {
    hotsync::requestCancel();
    return;
  }
  // Asked twice: end now, and let the parent see which signal did it.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

CancelSignals::CancelSignals() {
  g_received.store(0);
  hotsync::clearCancelRequest();
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) {
    sigaction(kSignals[i], &action, &m_previous[i]);
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (m_previous[i].sa_handler == SIG_IGN) sigaction(kSignals[i], &m_previous[i], nullptr);
  }
  // The manager starts its HotSyncs with these blocked, so a quit that comes
  // before this point waits here and cancels instead of killing.
  sigset_t mine;
  sigemptyset(&mine);
  for (int sig : kSignals) sigaddset(&mine, sig);
  pthread_sigmask(SIG_UNBLOCK, &mine, nullptr);
}

CancelSignals::~CancelSignals() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &m_previous[i], nullptr);
}

int CancelSignals::Received() { return g_received.load(); }

}  // namespace tarvo::host
