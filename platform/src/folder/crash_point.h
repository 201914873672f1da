// Kill tests stop the process at a named step of a multi-file change:
// TARVO_CRASH_AT=<step> makes the process die there as if killed.
#pragma once

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace hotsync::detail {

inline void crashPoint(const char* step) {
  const char* at = std::getenv("TARVO_CRASH_AT");
  if (at != nullptr && std::strcmp(at, step) == 0) std::raise(SIGKILL);
}

}  // namespace hotsync::detail
