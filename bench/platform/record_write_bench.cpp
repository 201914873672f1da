// Cost of single-record writes: cycles of open, write one 100-byte record,
// close on one database. A cycle must cost in proportion to the record, not
// to the database: ten times the cycles (and so ten times the records)
// should take about ten times as long, and a database that already holds
// many records must not make a cycle dearer. The last line shows the price
// of flushing every close to disk (hotsync::setFlushEachClose), which is the
// disk's flush latency and nothing of the library's. A database holds at most 65,535
// records, so the scaling pair is 6,000 and 60,000 cycles.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hotsync/host.h"
#include "hotsync/syncmgr.h"
#include "pdb/pdb.h"

namespace fs = std::filesystem;

namespace {

// Runs `cycles` open/write/close cycles on a fresh handheld; seconds taken,
// or a negative value on failure.
double run(const fs::path& root, int cycles, int preloaded = 0) {
  const fs::path dir = root / ("hh-" + std::to_string(cycles) + "-" + std::to_string(preloaded));
  fs::create_directories(dir / "card0");
  std::ofstream(dir / "device.conf") << "user.name = Bench\n";
  pdb::Database db;
  db.name = "Bench";
  db.type = pdb::fourCC("DATA");
  db.creator = pdb::fourCC("Tarv");
  for (int i = 0; i < preloaded; ++i) {
    db.records.push_back(pdb::Record{0, static_cast<uint32_t>(i + 1), std::vector<uint8_t>(100, 0x11)});
  }
  db.uniqueIdSeed = static_cast<uint32_t>(preloaded + 1);
  const auto image = pdb::serialize(db);
  std::ofstream(dir / "card0" / "Bench.pdb", std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

  std::string error;
  if (!hotsync::connectHandheld(dir, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return -1;
  }
  std::vector<uint8_t> record(100, 0x5A);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < cycles; ++i) {
    uint8_t h = 0;
    if (SyncOpenDB("Bench", 0, &h, eDbRead | eDbWrite) != SYNCERR_NONE) return -1;
    RecordInfo rec{};
    rec.m_FileHandle = h;
    rec.m_RecSize = static_cast<uint32_t>(record.size());
    rec.m_pBytes = record.data();
    if (SyncWriteRec(&rec) != SYNCERR_NONE) return -1;
    if (SyncCloseDB(h) != SYNCERR_NONE) return -1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  hotsync::disconnectHandheld();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 10'000;
  std::string pattern = (fs::temp_directory_path() / "hotsync-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path root = pattern;
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);

  const double target = run(root, cycles);
  const double small = run(root, 6'000);
  const double large = run(root, 60'000);
  const double full = run(root, cycles, 50'000);
  hotsync::setFlushEachClose(true);
  const double flushed = run(root, 1'000);
  hotsync::setFlushEachClose(false);
  fs::remove_all(root);
  if (target < 0 || small < 0 || large < 0 || full < 0 || flushed < 0) {
    std::fprintf(stderr, "benchmark failed\n");
    return 1;
  }
  auto show = [](const char* what, int n, double s) {
    std::printf("%-44s %6d cycles: %7.3f s (%6.1f us each)\n", what, n, s, s * 1e6 / n);
  };
  show("open, write 100 bytes, close", cycles, target);
  show("same, 6,000 records", 6'000, small);
  show("same, 60,000 records", 60'000, large);
  show("same, into a database of 50,000 records", cycles, full);
  show("same, each close flushed to disk", 1'000, flushed);
  std::printf("ratio 60,000 / 6,000: %.2f (linear cost gives about 10)\n", large / small);
  std::printf("ratio full / empty database: %.2f (about 1 when the database size does not matter)\n", full / target);
  return 0;
}
