// The host's Cancel request. A plain lock-free flag, outside the session's
// mutex, because a signal handler sets it.
#include <atomic>

#include "hotsync/host.h"

namespace hotsync {
namespace {

std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

}  // namespace

void requestCancel() noexcept { g_cancel.store(true); }
bool cancelRequested() noexcept { return g_cancel.load(); }
void clearCancelRequest() noexcept { g_cancel.store(false); }

namespace {
std::atomic<bool> g_nothingShown{false};
}  // namespace

void reportNothingShown() noexcept { g_nothingShown.store(true); }
bool nothingShown() noexcept { return g_nothingShown.load(); }

namespace {
std::atomic<int> g_loginsNotAsked{0};
}  // namespace

void reportLoginNotAsked() noexcept { ++g_loginsNotAsked; }
int loginsNotAsked() noexcept { return g_loginsNotAsked.load(); }

}  // namespace hotsync
