#include "throwaway_postgres.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace content_service_test {

ThrowawayPostgres throwaway_postgres() {
  // ctest's fixture writes where it started the server; TARVO_TEST_POSTGRES
  // may name another such file.
  const char* named = std::getenv("TARVO_TEST_POSTGRES");
  const std::string info = named != nullptr ? named : TARVO_THROWAWAY_POSTGRES;
  std::string line;
  std::getline(std::ifstream(info), line);
  if (line.empty()) return {{}, "no throwaway PostgreSQL: " + info + " is missing (ctest starts one for these tests)"};
  if (line.starts_with("missing: ")) return {{}, "no throwaway PostgreSQL: " + line.substr(9)};
  return {line, {}};
}

std::string fresh_postgres_database(const ThrowawayPostgres& server) {
  static std::atomic<int> made{0};
  const std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(made++);
  const std::string at = "?host=" + server.folder;
  PGconn* conn = PQconnectdb(("postgresql://tarvo@/postgres" + at).c_str());
  PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
  const bool made_it = PQresultStatus(result) == PGRES_COMMAND_OK;
  const std::string why = PQerrorMessage(conn);
  PQclear(result);
  PQfinish(conn);
  if (!made_it) throw std::runtime_error("CREATE DATABASE " + name + ": " + why);
  return "postgresql://tarvo@/" + name + at;
}

}  // namespace content_service_test
