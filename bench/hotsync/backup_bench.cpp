// What the backup costs a HotSync: a handheld of 2,000 databases with the
// backup bit set, 10 of them changed since the last HotSync, synced with the
// backup on and with --no-backup, interleaved in the same run. Prints the
// medians and their ratio (goal: at most 1.2).
//   bench_backup [ROUNDS]   (default 5)
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bench_world.h"
#include "pdb/pdb.h"

using namespace tarvo::bench;

namespace {

constexpr int kDatabases = 2000;
constexpr int kChanged = 10;

// A database of 20 records of 100 bytes; `edition` changes one record and
// the modification number, as a day's use of the handheld would.
void writeDatabase(const std::filesystem::path& card, int n, uint32_t edition) {
  pdb::Database db;
  db.name = "Bench" + std::to_string(n);
  db.attributes = pdb::kAttrBackup;
  db.type = pdb::fourCC("DATA");
  db.creator = pdb::fourCC("Bbak");
  db.modificationNumber = edition;
  db.modificationDate = 3'800'000'000u + edition;
  for (uint32_t r = 0; r < 20; ++r) {
    db.records.push_back({0, 100 + r, std::vector<uint8_t>(100, static_cast<uint8_t>(r == 0 ? edition : r))});
  }
  const std::vector<uint8_t> image = pdb::serialize(db);
  std::ofstream(card / (db.name + ".pdb"), std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  BenchWorld world("backup", "<tarvoconduit></tarvoconduit>");
  const std::filesystem::path card = world.handheld() / "card0";
  for (int n = 0; n < kDatabases; ++n) writeDatabase(card, n, 1);
  if (!world.ok()) return 1;
  const std::string dir = world.handheld().string();
  const std::vector<std::string> sync = {"sync",       "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB,
                                         "--handheld", dir};
  std::vector<std::string> noBackup = sync;
  noBackup.push_back("--no-backup");

  // The first HotSync backs up everything; from then on only what changed.
  const ChildRun first = world.host(sync);
  std::printf("first HotSync, %d databases backed up: %.3f s\n", kDatabases, first.seconds);

  std::vector<double> on, off;
  uint32_t edition = 1;
  for (int round = 0; round < rounds; ++round) {
    ++edition;
    for (int n = 0; n < kChanged; ++n) writeDatabase(card, n * (kDatabases / kChanged), edition);
    on.push_back(world.host(sync).seconds);
    ++edition;
    for (int n = 0; n < kChanged; ++n) writeDatabase(card, n * (kDatabases / kChanged), edition);
    off.push_back(world.host(noBackup).seconds);
  }
  const double withBackup = median(on);
  const double without = median(off);
  std::printf("medians of %d rounds, %d databases, %d changed\n", rounds, kDatabases, kChanged);
  std::printf("  HotSync with backup     %8.3f s\n", withBackup);
  std::printf("  HotSync with --no-backup %7.3f s\n", without);
  std::printf("  ratio                   %8.2f (goal <= 1.20)\n", without > 0 ? withBackup / without : 0.0);
  return 0;
}
