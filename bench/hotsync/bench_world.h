// A private world for whole-HotSync benchmarks: XDG folders and a handheld
// in a temporary folder, the reference server on loopback with a script,
// and the real host and conduit run as child processes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "child_run.h"
#include "server_process.h"

namespace tarvo::bench {

// A record database of `records` records of `recordSize` bytes, written to `file`.
void writeRecordDb(const std::filesystem::path& file, const std::string& name, uint32_t creator, int records,
                   std::size_t recordSize);

class BenchWorld {
 public:
  // `answer` is the envelope the server gives to the conduit's first request
  // (its login); every other request gets an empty envelope. files() is
  // served under /files/.
  BenchWorld(const std::string& tag, const std::string& answer);
  ~BenchWorld();
  bool ok() const { return ok_; }
  // Restarts the server with another answer to the first request.
  bool answerWith(const std::string& answer);

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path handheld() const { return root_ / "handheld"; }
  std::filesystem::path files() const { return root_ / "files"; }
  const std::string& base() const { return base_; }  // http://127.0.0.1:PORT/
  const std::map<std::string, std::string>& env() const { return env_; }

  ChildRun host(const std::vector<std::string>& args) const;
  ChildRun sync() const;
  // Empties the user's install queue (what a pput HotSync leaves).
  void clearQueue() const;
  // Puts a copy of `file` in the user's install queue.
  void queue(const std::filesystem::path& file) const;

 private:
  std::filesystem::path root_;
  std::map<std::string, std::string> env_;
  syncserver_test::ServerProcess server_;
  std::string base_;
  bool ok_ = false;
};

}  // namespace tarvo::bench
