#pragma once
// The throwaway PostgreSQL server that ctest starts once for the tests that
// need one (the fixture in CMakeLists.txt: throwaway_postgres.sh), and an
// empty database of its own for each test.
#include <string>

#include "needs.h"

namespace content_service_test {

struct ThrowawayPostgres {
  std::string folder;  // its socket folder; empty when there is none
  std::string why;     // why there is none
};
ThrowawayPostgres throwaway_postgres();

// A new, empty database on that server; its postgresql:// address.
std::string fresh_postgres_database(const ThrowawayPostgres& server);

}  // namespace content_service_test

// In a test body or SetUp: the server's address in `server`, else a skip
// (a plain ctest) or a failure (CI) with the reason.
#define TARVO_NEEDS_POSTGRES(server)                                \
  const auto server = ::content_service_test::throwaway_postgres(); \
  TARVO_NEEDS(!server.folder.empty(), server.why)
