#include "bench_world.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "pdb/pdb.h"

namespace tarvo::bench {
namespace fs = std::filesystem;

void writeRecordDb(const fs::path& file, const std::string& name, uint32_t creator, int records,
                   std::size_t recordSize) {
  pdb::Database db;
  db.name = name;
  db.type = pdb::fourCC("DATA");
  db.creator = creator;
  db.records.reserve(static_cast<std::size_t>(records));
  for (int n = 0; n < records; ++n) {
    pdb::Record record;
    record.uniqueId = static_cast<uint32_t>(100 + n);
    record.data.resize(recordSize);
    for (std::size_t i = 0; i < recordSize; ++i)
      record.data[i] = static_cast<uint8_t>((i * 31 + static_cast<std::size_t>(n)) & 0xFF);
    db.records.push_back(std::move(record));
  }
  const std::vector<uint8_t> image = pdb::serialize(db);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

BenchWorld::BenchWorld(const std::string& tag, const std::string& answer)
    : root_(fs::temp_directory_path() / ("tarvo-bench-" + tag + "-" + std::to_string(::getpid()))) {
  fs::remove_all(root_);
  fs::create_directories(root_ / "files");
  fs::copy(fs::path(TARVO_EXAMPLES) / "handheld", handheld(), fs::copy_options::recursive);
  env_ = {{"XDG_DATA_HOME", (root_ / "data").string()},
          {"XDG_CONFIG_HOME", (root_ / "config").string()},
          {"XDG_CACHE_HOME", (root_ / "cache").string()},
          {"TARVO_NO_TTY", "1"},
          {"TARVO_PROGRESS", "none"}};
  ok_ = answerWith(answer);
}

bool BenchWorld::answerWith(const std::string& answer) {
  server_.stop();
  std::string escaped;
  for (const char c : answer) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  std::ofstream(root_ / "script.json") << R"({"rules": [{"match": {"cmd": "login"}, "body": ")" << escaped
                                       << R"("}], "unmatched": {"body": "<tarvoconduit></tarvoconduit>"}})";
  if (!server_.start({"--script", (root_ / "script.json").string(), "--files", files().string()})) return false;
  base_ = server_.url();
  return host({"settings", "set", "Comunicacao", "syncserver", base_ + "sync"}).status == 0;
}

BenchWorld::~BenchWorld() {
  server_.stop();
  std::error_code ec;
  fs::remove_all(root_, ec);
}

ChildRun BenchWorld::host(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{TARVO_HOST_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildRun run = runChild(argv, env_);
  if (run.status != 0) std::printf("  (tarvo-hotsync %s failed: %s)\n", args.front().c_str(), run.output.c_str());
  return run;
}

ChildRun BenchWorld::sync() const {
  return host({"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB, "--handheld", handheld().string()});
}

void BenchWorld::clearQueue() const {
  std::error_code ec;
  for (const auto& user : fs::directory_iterator(root_ / "data" / "tarvo-hotsync" / "users", ec)) {
    for (const auto& file : fs::directory_iterator(user.path() / "install", ec)) fs::remove(file.path(), ec);
  }
}

void BenchWorld::queue(const fs::path& file) const {
  std::error_code ec;
  for (const auto& user : fs::directory_iterator(root_ / "data" / "tarvo-hotsync" / "users", ec)) {
    fs::copy_file(file, user.path() / "install" / file.filename(), fs::copy_options::overwrite_existing, ec);
  }
}

}  // namespace tarvo::bench
