// How the handheld scales: 1,000 and 10,000 small databases, and one 64 MiB
// database. For each: `handheld list`, a HotSync whose only work is module
// discovery, and a HotSync that writes one record (rput) into one database;
// wall time and peak memory, medians of interleaved rounds.
//   bench_handheld_scale [ROUNDS]   (default 3)
#include <cstdio>
#include <cstdlib>

#include "bench_world.h"
#include "pdb/pdb.h"

using namespace tarvo::bench;

namespace {

struct Figures {
  std::vector<double> seconds, peakMb;
  void add(const ChildRun& run) {
    if (run.status != 0) std::printf("  run failed (%d): %s\n", run.status, run.output.c_str());
    seconds.push_back(run.seconds);
    peakMb.push_back(run.peakMb);
  }
  void print(const char* what) const {
    std::printf("  %-22s %8.3f s  peak %5.0f MB\n", what, median(seconds), median(peakMb));
  }
};

void scale(const char* title, int databases, int records, std::size_t recordSize, int rounds) {
  const std::string rput = "<tarvoconduit><rput db=\"Scale0\" id=\"1\" data=\"changed%00\"/></tarvoconduit>";
  const std::string idle = "<tarvoconduit></tarvoconduit>";
  BenchWorld world("scale", idle);
  for (int n = 0; n < databases; ++n) {
    const std::string name = "Scale" + std::to_string(n);
    writeRecordDb(world.handheld() / "card0" / (name + ".pdb"), name, pdb::fourCC("Tben"), records, recordSize);
  }
  if (!world.ok()) return;
  const std::string dir = world.handheld().string();
  Figures list, discovery, write;
  for (int round = 0; round < rounds; ++round) {
    list.add(world.host({"handheld", "list", "--handheld", dir}));
    world.answerWith(idle);
    discovery.add(world.sync());
    world.answerWith(rput);
    write.add(world.sync());
  }
  std::printf("%s\n", title);
  list.print("handheld list");
  discovery.print("HotSync, discovery");
  write.print("HotSync with one rput");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::printf("medians of %d rounds\n", rounds);
  scale("1,000 databases of one 100-byte record", 1000, 1, 100, rounds);
  scale("10,000 databases of one 100-byte record", 10000, 1, 100, rounds);
  scale("one 64 MiB database (16,384 records of 4 KiB)", 1, 16384, 4096, rounds);
  return 0;
}
