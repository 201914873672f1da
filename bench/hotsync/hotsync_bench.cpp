// Whole HotSyncs around a 64 MiB database, each against a lean C program
// doing the same work, in interleaved rounds; prints medians and ratios.
//   bench_hotsync [ROUNDS [pget|pput|list]]   (default 5 rounds, every row)
// Rows: pget of the database; pput of it (host memory growth over an idle
// HotSync); `handheld list` against a reader of headers and entry lists;
// the peak of a command that touches one small database.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench_world.h"
#include "pdb/pdb.h"

using namespace tarvo::bench;

namespace {

constexpr int kRecords = 16384;
constexpr std::size_t kRecordSize = 4096;  // 64 MiB in all

struct Pair {
  std::vector<double> seconds[2];
  std::vector<double> peakMb[2];
};

// Runs the two sides `rounds` times, alternating which goes first.
Pair interleave(int rounds, const std::function<ChildRun()>& ours, const std::function<ChildRun()>& theirs) {
  Pair pair;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const int side = (round + turn) % 2;
      const ChildRun run = side == 0 ? ours() : theirs();
      if (run.status != 0) std::printf("  run failed (%d): %s\n", run.status, run.output.c_str());
      pair.seconds[side].push_back(run.seconds);
      pair.peakMb[side].push_back(run.peakMb);
    }
  }
  return pair;
}

void report(const char* what, const char* comparison, const Pair& pair) {
  const double ours = median(pair.seconds[0]), theirs = median(pair.seconds[1]);
  const double ourPeak = median(pair.peakMb[0]), theirPeak = median(pair.peakMb[1]);
  std::printf("%s: %.3f s, peak %.0f MB\n  %s: %.3f s, peak %.0f MB\n  ratio: time %.2f, memory %.2f\n", what, ours,
              ourPeak, comparison, theirs, theirPeak, ours / theirs, ourPeak / theirPeak);
}

std::string tool(const char* name) { return std::string(TARVO_BENCH_BIN_DIR) + "/" + name; }

void pget(int rounds) {
  BenchWorld world("pget", "<tarvoconduit><pget db=\"Big\"/></tarvoconduit>");
  const auto file = world.handheld() / "card0" / "Big.pdb";
  writeRecordDb(file, "Big", pdb::fourCC("Tben"), kRecords, kRecordSize);
  if (!world.ok()) return;
  const Pair pair = interleave(
      rounds, [&] { return world.sync(); },
      [&] {
        return runChild({tool("bench_pget_c"), file.string(), "Big", world.base() + "sync"});
      });
  report("pget of a 64 MiB database, whole HotSync", "C program: read records, encode, post with libcurl", pair);
}

void pput(int rounds) {
  BenchWorld world("pput", "<tarvoconduit><pput url=\"{{base}}/files/Big.pdb\" title=\"Big\"/></tarvoconduit>");
  writeRecordDb(world.files() / "Big.pdb", "Big", pdb::fourCC("Tben"), kRecords, kRecordSize);
  const double fileMb = static_cast<double>(std::filesystem::file_size(world.files() / "Big.pdb")) / (1 << 20);
  if (!world.ok()) return;
  const auto copies = world.root() / "copies";
  std::filesystem::create_directories(copies);
  const Pair pair = interleave(
      rounds,
      [&] {
        const ChildRun run = world.sync();
        world.clearQueue();
        return run;
      },
      [&] {
        return runChild({tool("bench_pput_c"), world.base() + "files/Big.pdb", copies.string()});
      });
  report("pput of a 64 MiB file, whole HotSync", "C program: libcurl download, save, fsynced copy", pair);

  std::vector<double> idle;
  world.answerWith("<tarvoconduit></tarvoconduit>");
  for (int round = 0; round < rounds; ++round) idle.push_back(world.sync().peakMb);
  std::printf("  host peak growth over an idle HotSync: %.0f MB, %.2f x the file\n",
              median(pair.peakMb[0]) - median(idle), (median(pair.peakMb[0]) - median(idle)) / fileMb);

  // The HotSync after: it installs the queued file before the conduit runs.
  std::vector<double> install, installPeak;
  for (int round = 0; round < rounds; ++round) {
    world.queue(world.files() / "Big.pdb");
    const ChildRun run = world.sync();
    install.push_back(run.seconds);
    installPeak.push_back(run.peakMb);
  }
  std::printf(
      "  the next HotSync, installing it: %.3f s, host peak growth over an idle HotSync %.0f MB, %.2f x the file\n",
      median(install), median(installPeak) - median(idle), (median(installPeak) - median(idle)) / fileMb);
}

void listing(int rounds) {
  BenchWorld world("list", "<tarvoconduit></tarvoconduit>");
  writeRecordDb(world.handheld() / "card0" / "Big.pdb", "Big", pdb::fourCC("Tben"), kRecords, kRecordSize);
  if (!world.ok()) return;
  const std::string dir = world.handheld().string();
  const Pair pair = interleave(
      rounds,
      [&] {
        return world.host({"handheld", "list", "--handheld", dir});
      },
      [&] {
        return runChild({tool("bench_pdb_headers_c"), dir});
      });
  report("handheld list, one 64 MiB database", "C program: headers and entry lists only", pair);
  // What the host costs before it does anything: its own start and its libraries'.
  std::vector<double> start;
  for (int round = 0; round < rounds; ++round) start.push_back(world.host({"--version"}).seconds);
  std::printf("  of which the host's start (--version): %.4f s; the listing itself %.4f s\n", median(start),
              median(pair.seconds[0]) - median(start));
  std::vector<double> dump;
  for (int round = 0; round < rounds; ++round) {
    dump.push_back(world.host({"handheld", "dump", "--handheld", dir, "Tarvo News"}).peakMb);
  }
  std::printf("  handheld dump of a small database beside it: peak %.0f MB\n", median(dump));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string only = argc > 2 ? argv[2] : "";
  std::printf("medians of %d interleaved rounds\n", rounds);
  if (only.empty() || only == "pget") pget(rounds);
  if (only.empty() || only == "pput") pput(rounds);
  if (only.empty() || only == "list") listing(rounds);
  return 0;
}
