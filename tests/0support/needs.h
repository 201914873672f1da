// Some tests need what lives beside the project (real Palm files made by
// other tools and pilot-link, in ../shared) or a tool the set-up installs
// (socat). On a developer's machine a missing one skips the test with its
// reason. Where TARVO_REQUIRE_PEERS=1, as scripts/test sets it for CI, it
// fails the test: a broken path or a failed pilot-link build must not turn
// the only independent peers into skips in a green run.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace tarvo::test {

inline bool PeersRequired() {
  const char* value = std::getenv("TARVO_REQUIRE_PEERS");
  return value != nullptr && std::string_view(value) == "1";
}

}  // namespace tarvo::test

// In a test body or SetUp: goes on when `present`, else skips or fails with `why`.
#define TARVO_NEEDS(present, why)                                  \
  if (present) {                                                   \
  } else if (::tarvo::test::PeersRequired())                       \
    GTEST_FAIL() << (why) << " (required: TARVO_REQUIRE_PEERS=1)"; \
  else                                                             \
    GTEST_SKIP() << (why)
