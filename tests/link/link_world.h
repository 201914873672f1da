// Helpers for link tests: a free loopback port, a pseudo-terminal pair as a
// serial line, a desktop program and tarvo-handheld run against each other,
// pilot-link built once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pdb/pdb.h"
#include "run_program.h"
#include "scripted_server.h"
#include "serial_line.h"

namespace tarvo::test {

// A loopback port nothing listens on right now.
inline uint16_t freePort() { return static_cast<uint16_t>(FreeLoopbackPort()); }

struct LinkRun {
  ProgramResult desktop;
  ProgramResult handheld;
};

// Runs `desktop` (which listens on `port`) and tarvo-handheld for the folder
// `handheld` at the same time; the handheld keeps trying until the desktop
// listens. Both runs are bounded.
LinkRun runLinked(const std::string& desktop, const std::vector<std::string>& desktopArgs,
                  const std::map<std::string, std::string>& env, const std::filesystem::path& handheld, uint16_t port,
                  const std::vector<std::string>& handheldArgs = {});

// The folder holding pilot-xfer and pilot-dlpsh, built through the shared
// script at most once at a time; empty with *why when they cannot be built.
std::filesystem::path pilotLinkPrograms(std::string* why);

// Runs `desktop` and tarvo-handheld with `handheldArgs` (after --handheld
// FOLDER) at the same time; both runs are bounded.
LinkRun runBoth(const std::string& desktop, const std::vector<std::string>& desktopArgs,
                const std::map<std::string, std::string>& env, const std::filesystem::path& handheld,
                const std::vector<std::string>& handheldArgs);

pdb::Database recordDb(const std::string& name, const std::vector<pdb::Record>& records);

}  // namespace tarvo::test
