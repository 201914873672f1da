// Records per second of the handheld reads a pget makes (open, database
// info, every record, reset the sync flags, close) over a network HotSync of
// a 10,000-record database, played by tarvo-handheld; then pilot-link's
// pilot-xfer -b of the same database in the same run, for comparison. The
// same again over a serial line (a pseudo-terminal pair joined by socat),
// where both runs are timed whole: opening, reads and end of the HotSync.
// pilot-link is built through the shared script when it is not yet.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "handheld_writer.h"
#include "hotsync/host.h"
#include "hotsync/link.h"
#include "hotsync/syncmgr.h"
#include "pdb/pdb.h"
#include "scripted_server.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRecords = 10000;

uint16_t freePort() { return static_cast<uint16_t>(tarvo::test::FreeLoopbackPort()); }

pid_t spawn(const std::vector<std::string>& args, const fs::path& output) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int wait(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The reads of a pget of "Bench" on the connected handheld.
bool pgetReads() {
  uint8_t handle = 0;
  if (SyncOpenDB("Bench", 0, &handle, eDbRead | eDbShowSecret | eDbWrite) != SYNCERR_NONE) return false;
  OpenDbInfoRequest request{0xC0, handle};
  OpenDbInfo info{};
  SyncReadOpenDbInfo(&request, &info);
  std::vector<uint8_t> buffer(0xFFFF);
  for (uint32_t i = 0; i < info.m_RecCount; ++i) {
    RecordInfo rec{};
    rec.m_FileHandle = handle;
    rec.m_RecIndex = static_cast<uint16_t>(i);
    rec.m_TotalBytes = 0xFFFF;
    rec.m_pBytes = buffer.data();
    if (SyncReadRecordByIndex(&rec) != SYNCERR_NONE) return false;
  }
  SyncResetSyncFlags(handle);
  SyncCloseDB(handle);
  return info.m_RecCount == kRecords;
}

// Seconds for the pget reads over the link, or a negative value on failure.
double pgetOverTheLink(const fs::path& handheld, const fs::path& root) {
  std::string error;
  hotsync::PortName anyPort;
  anyPort.port = 0;
  const auto opened = hotsync::HandheldPort::open(anyPort, &error);
  if (!opened) return std::fprintf(stderr, "%s\n", error.c_str()), -1;
  const uint16_t port = opened->boundPort();
  const pid_t player = spawn({TARVO_HANDHELD_BIN, "--handheld", handheld.string(), "--hotsync",
                              "127.0.0.1:" + std::to_string(port), "--quiet"},
                             root / "handheld.out");
  if (opened->connect({}, &error) != hotsync::WaitResult::Connected)
    return std::fprintf(stderr, "%s\n", error.c_str()), -1;
  const auto start = Clock::now();
  if (!pgetReads()) return -1;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  hotsync::disconnectHandheld();
  return wait(player) == 0 ? seconds : -1;
}

// A pseudo-terminal pair joined by socat: its two ends, or empty ones.
struct Pty {
  pid_t socat = -1;
  std::string desktop, handheld;
};
Pty ptyPair(const fs::path& root, const std::string& name) {
  Pty pty;
  const fs::path a = root / (name + "-desktop"), b = root / (name + "-handheld");
  pty.socat = spawn({"/usr/bin/socat", "pty,raw,echo=0,link=" + a.string(), "pty,raw,echo=0,link=" + b.string()},
                    root / (name + "-socat.out"));
  for (int i = 0; i < 200 && !(fs::exists(a) && fs::exists(b)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (fs::exists(a) && fs::exists(b)) {
    pty.desktop = fs::canonical(a).string();
    pty.handheld = fs::canonical(b).string();
  }
  return pty;
}
void endPty(const Pty& pty) {
  if (pty.socat <= 0) return;
  ::kill(pty.socat, SIGTERM);
  wait(pty.socat);
}

// Seconds for a whole serial HotSync of our desktop making the pget reads
// (waiting for the wakeup to the handheld's end), or negative.
double pgetOverSerial(const fs::path& handheld, const fs::path& root) {
  const Pty pty = ptyPair(root, "ours");
  if (pty.desktop.empty()) return endPty(pty), -1;
  const auto start = Clock::now();
  const pid_t player =
      spawn({TARVO_HANDHELD_BIN, "--handheld", handheld.string(), "--serial", pty.handheld, "--retry", "30", "--quiet"},
            root / "serial-handheld.out");
  std::string error;
  hotsync::PortName tty;
  tty.kind = hotsync::PortName::Tty;
  tty.path = pty.desktop;
  hotsync::WaitOptions options;
  options.waitSeconds = 60;
  const auto opened = hotsync::HandheldPort::open(tty, &error);
  bool ok = opened && opened->connect(options, &error) == hotsync::WaitResult::Connected;
  if (!ok) std::fprintf(stderr, "%s\n", error.c_str());
  ok = ok && pgetReads();
  hotsync::disconnectHandheld();
  ok = wait(player) == 0 && ok;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  endPty(pty);
  return ok ? seconds : -1;
}

// Seconds for pilot-xfer -b over the serial line, or negative.
double pilotXferSerialBackup(const std::string& bin, const fs::path& handheld, const fs::path& root) {
  const Pty pty = ptyPair(root, "pilot");
  if (pty.desktop.empty()) return endPty(pty), -1;
  fs::create_directories(root / "serial-backup");
  const auto start = Clock::now();
  const pid_t xfer = spawn({bin + "/pilot-xfer", "-p", pty.desktop, "-b", (root / "serial-backup").string()},
                           root / "serial-xfer.out");
  const pid_t player =
      spawn({TARVO_HANDHELD_BIN, "--handheld", handheld.string(), "--serial", pty.handheld, "--retry", "30", "--quiet"},
            root / "serial-handheld2.out");
  const bool ok = wait(player) == 0 && wait(xfer) == 0;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  endPty(pty);
  return ok ? seconds : -1;
}

// The folder of pilot-link's programs, built when they are not yet; empty
// when they cannot be.
std::string pilotLink(const fs::path& root) {
  const fs::path built = root / "pilot-link.out";
  if (wait(spawn({TARVO_BUILD_PILOT_LINK}, built)) != 0) return {};
  std::string bin;
  std::getline(std::ifstream(built), bin);
  return bin;
}

// Seconds for pilot-xfer -b of the handheld (the one database), or negative.
double pilotXferBackup(const std::string& bin, const fs::path& handheld, const fs::path& root) {
  if (bin.empty()) return -1;
  fs::create_directories(root / "backup");
  const uint16_t port = freePort();
  const auto start = Clock::now();
  const pid_t xfer =
      spawn({bin + "/pilot-xfer", "-p", "net:any:" + std::to_string(port), "-b", (root / "backup").string()},
            root / "xfer.out");
  const pid_t player = spawn({TARVO_HANDHELD_BIN, "--handheld", handheld.string(), "--hotsync",
                              "127.0.0.1:" + std::to_string(port), "--retry", "30", "--quiet"},
                             root / "handheld2.out");
  if (wait(player) != 0 || wait(xfer) != 0) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
  char pattern[] = "/tmp/tarvo-link-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  const fs::path handheld = root / "handheld";
  setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  pdb::Database db = tarvo::test::MakeDatabase("Bench");
  for (int i = 0; i < kRecords; ++i) {
    db.records.push_back(pdb::Record{0x40, static_cast<uint32_t>(i + 1), std::vector<uint8_t>(100, 0x11)});
  }
  tarvo::test::WriteHandheld(handheld, {"Bench", 42, "3.5", ""}, {db});

  const double link = pgetOverTheLink(handheld, root);
  if (link <= 0) {
    std::fprintf(stderr, "link_pget_bench: the pget over the link failed (see %s)\n", root.c_str());
    return 1;
  }
  std::printf("pget reads over the link:  %6d records in %.3f s = %8.0f records/s\n", kRecords, link, kRecords / link);
  const std::string pilot = pilotLink(root);
  const double xfer = pilotXferBackup(pilot, handheld, root);
  if (xfer <= 0) {
    std::printf("pilot-xfer -b:             not measured (pilot-link could not be built or run; see %s)\n",
                root.c_str());
  } else {
    std::printf("pilot-xfer -b (whole run): %6d records in %.3f s = %8.0f records/s\n", kRecords, xfer,
                kRecords / xfer);
    std::printf("ratio link / pilot-xfer:   %.2f\n", xfer / link);
  }

  // Over a serial line, both timed whole.
  const double serial = pgetOverSerial(handheld, root);
  if (serial <= 0) {
    std::fprintf(stderr, "link_pget_bench: the HotSync over the serial line failed (see %s)\n", root.c_str());
    return 1;
  }
  std::printf("serial HotSync with pget:  %6d records in %.3f s = %8.0f records/s\n", kRecords, serial,
              kRecords / serial);
  const double serialXfer = pilot.empty() ? -1 : pilotXferSerialBackup(pilot, handheld, root);
  if (serialXfer <= 0) {
    std::printf("serial pilot-xfer -b:      not measured (see %s)\n", root.c_str());
  } else {
    std::printf("serial pilot-xfer -b:      %6d records in %.3f s = %8.0f records/s\n", kRecords, serialXfer,
                kRecords / serialXfer);
    std::printf("ratio ours / pilot-xfer:   %.2f (time; at most 1.0 wanted)\n", serial / serialXfer);
  }
  fs::remove_all(root);
  return 0;
}
