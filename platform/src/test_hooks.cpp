#include "test_hooks.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "hotsync/test_hooks.h"
#include "link/usb/played_usb_bus.h"

namespace hotsync {
namespace {
std::atomic<uint64_t> g_wholeReads{0};
}

uint64_t wholeDatabaseReads() { return g_wholeReads.load(); }

namespace detail {

void crashPoint(const char* step) {
  const char* at = std::getenv("TARVO_CRASH_AT");
  if (at != nullptr && std::strcmp(at, step) == 0) std::raise(SIGKILL);
}

std::unique_ptr<UsbBus> playedUsbBus() {
  const char* played = std::getenv(kPlayedUsbEnv);
  if (played == nullptr || *played == '\0') return nullptr;
  return openPlayedUsbBus(played);
}

void countWholeRead() { ++g_wholeReads; }

}  // namespace detail
}  // namespace hotsync
