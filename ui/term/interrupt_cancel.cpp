#include "ui/term/interrupt_cancel.h"

#include <signal.h>

#include <atomic>

namespace tarvo::term {
namespace {

std::atomic<bool> g_pressed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

struct sigaction g_previous {};
std::atomic<int> g_armed{0};

extern "C" void OnInterrupt(int) { g_pressed.store(true); }

}  // namespace

InterruptCancel::InterruptCancel() {
  // Only the first of nested guards installs; the outermost restores.
  if (g_armed.fetch_add(1) != 0) return;
  g_pressed.store(false);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previous);
}

InterruptCancel::~InterruptCancel() {
  if (g_armed.fetch_sub(1) != 1) return;
  sigaction(SIGINT, &g_previous, nullptr);
}

bool InterruptCancel::TakePress() { return g_pressed.exchange(false); }

void InterruptCancel::Press() { g_pressed.store(true); }

}  // namespace tarvo::term
