#include "link_world.h"

#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace tarvo::test {

LinkRun runLinked(const std::string& desktop, const std::vector<std::string>& desktopArgs,
                  const std::map<std::string, std::string>& env, const std::filesystem::path& handheld, uint16_t port,
                  const std::vector<std::string>& handheldArgs) {
  std::vector<std::string> args{"--hotsync", "127.0.0.1:" + std::to_string(port), "--retry", "30"};
  args.insert(args.end(), handheldArgs.begin(), handheldArgs.end());
  return runBoth(desktop, desktopArgs, env, handheld, args);
}

LinkRun runBoth(const std::string& desktop, const std::vector<std::string>& desktopArgs,
                const std::map<std::string, std::string>& env, const std::filesystem::path& handheld,
                const std::vector<std::string>& handheldArgs) {
  auto desktopRun = std::async(std::launch::async, [&] { return runProgram(desktop, desktopArgs, env, 120); });
  std::vector<std::string> args{"--handheld", handheld.string()};
  args.insert(args.end(), handheldArgs.begin(), handheldArgs.end());
  LinkRun run;
  run.handheld = runProgram(TARVO_HANDHELD_BIN, args, env, 120);
  run.desktop = desktopRun.get();
  return run;
}

std::filesystem::path pilotLinkPrograms(std::string* why) {
  static std::string cachedWhy;
  static std::filesystem::path cached;
  static bool tried = false;
  if (!tried) {
    tried = true;
    const std::string script = TARVO_BUILD_PILOT_LINK;
    if (!std::filesystem::exists(script)) {
      cachedWhy = "no pilot-link build script at " + script;
    } else {
      // Test processes may run side by side: one build at a time.
      const std::string lock = (std::filesystem::temp_directory_path() / "tarvo-pilot-link.lock").string();
      const ProgramResult r = std::filesystem::exists("/usr/bin/flock")
                                  ? runProgram("/usr/bin/flock", {lock, script}, {}, 900)
                                  : runProgram(script, {}, {}, 900);
      std::string out = r.out;
      while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
      if (r.status != 0 || !std::filesystem::exists(std::filesystem::path(out) / "pilot-xfer")) {
        cachedWhy = "pilot-link could not be built: " + (r.err.empty() ? r.out : r.err.substr(0, 400));
      } else {
        cached = out;
      }
    }
  }
  *why = cachedWhy;
  return cached;
}

pdb::Database recordDb(const std::string& name, const std::vector<pdb::Record>& records) {
  pdb::Database db;
  db.name = name;
  db.type = pdb::fourCC("DATA");
  db.creator = pdb::fourCC("Test");
  db.version = 2;
  db.attributes = pdb::kAttrBackup;
  db.creationDate = db.modificationDate = 3786912000u;
  db.records = records;
  return db;
}

}  // namespace tarvo::test
