// A whole HotSync through the host with the test conduit: what the conduit
// sees, what it changes on the handheld, what reaches the logs.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "handheld_writer.h"
#include "host_fixture.h"
#include "hotsync/condmgr.h"
#include "time_zone.h"

namespace tarvo::test {
namespace {

using ::testing::HasSubstr;

class HostSyncTest : public HostTest {
 protected:
  ProgramResult sync(const std::map<std::string, std::string>& env = {},
                     std::vector<std::string> extra = {"--conduit", TARVO_STUB_CONDUIT}) {
    std::vector<std::string> args = {"sync", "--no-gui", "--online", "--handheld", handheld_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return host(args, env);
  }
};

// The wall clock of the zone the test runs in, as `handheld dump` prints dates.
std::string LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string DumpedDate(const std::string& dump, const std::string& label) {
  const auto at = dump.find(label);
  return at == std::string::npos ? "" : dump.substr(at + label.size(), 19);
}

// A handheld's clock is the desktop's wall clock and knows no zone: far from
// UTC too, the record a conduit writes and the backup after it carry the
// local time of day, and `handheld dump` shows that time in any zone.
TEST_F(HostSyncTest, DatesAreTheLocalTimeOfDayInZonesFarFromUtc) {
  pdb::Database data = MakeDatabase("Test Data", "DATA", "test", {{1}});
  data.attributes = pdb::kAttrBackup;
  WriteDatabase(handheld_, data);
  for (const char* zone : testing_tz::kZones) {
    SCOPED_TRACE(zone);
    testing_tz::ZoneScope scope(zone);
    const std::string before = LocalNow();
    const ProgramResult synced = sync({{"TZ", zone}, {"TARVO_STUB_DB", "Test Data"}});
    ASSERT_EQ(synced.status, 0) << synced.out << synced.err;
    ASSERT_THAT(synced.out, HasSubstr("backup: 1 database"));
    const std::string after = LocalNow();
    for (const char* shownIn : {zone, "Pacific/Chatham"}) {
      const std::string dump =
          host({"handheld", "dump", "--handheld", handheld_.string(), "Test Data"}, {{"TZ", shownIn}}).out;
      for (const char* label : {"modified:      ", "backed up:     "}) {
        const std::string shown = DumpedDate(dump, label);
        EXPECT_LE(before, shown) << label << " shown in " << shownIn << "\n" << dump;
        EXPECT_GE(after, shown) << label << " shown in " << shownIn << "\n" << dump;
      }
    }
  }
}

TEST_F(HostSyncTest, ConduitSeesTheHandheldAndItsChangesAreKept) {
  const ProgramResult r = sync({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "fresh news"}});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("new HotSync user \"Demo User\""));
  EXPECT_THAT(r.out, HasSubstr("given with --conduit"));
  EXPECT_THAT(r.out, HasSubstr("conduit name: TestConduit"));
  EXPECT_THAT(r.out, HasSubstr("stub: user Demo User id 1001\n"));
  EXPECT_THAT(r.out, HasSubstr("stub: install target Demo User\n"));
  EXPECT_THAT(r.out, HasSubstr("stub: os 4.1 processor 8\n"));
  EXPECT_THAT(r.out, HasSubstr("stub: card 0: Tarvo (appl/Tarv), Tarvo News (DATA/Tarv)\n"));
  EXPECT_THAT(r.out, HasSubstr("stub: unregistered"));
  EXPECT_THAT(r.out, HasSubstr("OpenConduit returned 1"));

  // The record written in the sync is in the files after the host ended.
  const ProgramResult dump = host({"handheld", "dump", "--handheld", handheld_.string(), "Tarvo News"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_THAT(dump.out, HasSubstr("records:       4\n"));
  EXPECT_THAT(dump.out, HasSubstr("fresh news"));

  const ProgramResult log = host({"log", "--user", "Demo User", "--handheld", handheld_.string()});
  ASSERT_EQ(log.status, 0) << log.err;
  EXPECT_THAT(log.out, HasSubstr("Test conduit ran"));
  EXPECT_THAT(log.out, HasSubstr("Test conduit was here"));

  // A second sync knows the user already.
  const ProgramResult again = sync();
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_THAT(again.out, ::testing::Not(HasSubstr("new HotSync user")));
}

// Files queued for the user reach the handheld at the next sync; a file
// that is not a database is refused and leaves the handheld untouched.
TEST_F(HostSyncTest, QueuedFilesAreInstalledAndBadOnesRefused) {
  const auto file = writeDatabase(root_ / "Extra.pdb", "Extra", {"one", "two"});
  ASSERT_EQ(host({"install", "--user", "Demo User", "--create", file.string()}).status, 0);
  // Slipped into the queue behind the host's back, as a broken download would be.
  std::filesystem::path queue;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dataHome_)) {
    if (entry.is_regular_file() && entry.path().filename() == "Extra.pdb") queue = entry.path().parent_path();
  }
  ASSERT_FALSE(queue.empty());
  std::ofstream(queue / "Broken.pdb") << "garbage";
  // A killed writer's copy goes at the next HotSync; one a writer still
  // holds (locked) stays.
  std::ofstream(queue / ".News.pdb.tmp-AbC123") << "half a download";
  std::ofstream(queue / ".Live.pdb.tmp-XyZ789") << "being written";
  const int live = ::open((queue / ".Live.pdb.tmp-XyZ789").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);

  const ProgramResult r = sync();
  ::close(live);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("Install: removed 1 unfinished copy of queued files (15 bytes)"));
  EXPECT_FALSE(std::filesystem::exists(queue / ".News.pdb.tmp-AbC123"));
  EXPECT_TRUE(std::filesystem::exists(queue / ".Live.pdb.tmp-XyZ789"));
  EXPECT_THAT(r.out, HasSubstr("installed 1 queued file\n"));
  EXPECT_THAT(r.out, HasSubstr("\nInstall: Broken.pdb"));  // said once, as the log says it
  EXPECT_THAT(r.out, HasSubstr("Extra (DATA/test)"));
  EXPECT_THAT(r.out, ::testing::Not(HasSubstr("Broken (")));
  EXPECT_EQ(host({"users"}).out, "Demo User\t0 queued\n");
}

// A file the conduit queues in this sync reaches the handheld at the next.
TEST_F(HostSyncTest, FileQueuedByTheConduitArrivesNextTime) {
  const auto file = writeDatabase(root_ / "Later.pdb", "Later", {"x"});
  const ProgramResult first = sync({{"TARVO_STUB_INSTALL", file.string()}});
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_THAT(first.out, HasSubstr("stub: queued " + file.string() + " status 0"));
  EXPECT_THAT(first.out, ::testing::Not(HasSubstr("Later (DATA/test)")));
  const ProgramResult second = sync();
  EXPECT_THAT(second.out, HasSubstr("Later (DATA/test)"));
}

TEST_F(HostSyncTest, ExitStatusFollowsTheConduitsResult) {
  EXPECT_EQ(sync({{"TARVO_STUB_RESULT", "0"}}).status, 0);
  EXPECT_EQ(sync({{"TARVO_STUB_RESULT", "-1"}}).status, 3);
  // A registration failure comes back as the Sync Manager's positive code.
  const ProgramResult refused = sync({{"TARVO_STUB_RESULT", "16387"}});
  EXPECT_EQ(refused.status, 3);
  EXPECT_THAT(refused.err, HasSubstr("(16387)"));
  const ProgramResult thrown = sync({{"TARVO_STUB_THROW", "1"}});
  EXPECT_EQ(thrown.status, 3);
  EXPECT_THAT(thrown.out, HasSubstr("stub: failed: thrown on request"));
}

TEST_F(HostSyncTest, MissingOrBrokenConduitIsStatusSeven) {
  const ProgramResult missing = sync({}, {"--conduit", (root_ / "nothing.so").string()});
  EXPECT_EQ(missing.status, 7);
  const auto notLibrary = root_ / "fake.so";
  std::ofstream(notLibrary) << "not a library";
  const ProgramResult broken = sync({}, {"--conduit", notLibrary.string()});
  EXPECT_EQ(broken.status, 7);
  EXPECT_THAT(broken.err, HasSubstr("cannot load the conduit"));
  // The other commands that load a conduit say it the same way.
  EXPECT_EQ(host({"register", notLibrary.string()}).status, 7);
}

TEST_F(HostSyncTest, RegisteredConduitIsFound) {
  // The registration store lives under XDG_DATA_HOME, as the host reads it.
  ASSERT_EQ(setenv("XDG_DATA_HOME", dataHome_.c_str(), 1), 0);
  ASSERT_GE(CmInstallCreator("Tarv", 1), 0);
  ASSERT_GE(CmSetCreatorModule("Tarv", TARVO_STUB_CONDUIT), 0);
  const ProgramResult r = sync({}, {});
  unsetenv("XDG_DATA_HOME");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("registered for creator Tarv"));
  EXPECT_THAT(r.out, HasSubstr("stub: registered"));
}

// The handheld's user name is Windows-1252 for the conduit and UTF-8 for
// the desktop: folders, the terminal.
TEST_F(HostSyncTest, NonAsciiUserNameCrossesTheEdgeBothWays) {
  WriteDeviceConf(handheld_, {"Jo\xC3\xA3o", 7, "", ""});
  const ProgramResult r = sync();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("stub: user Jo\xC3\xA3o id 7\n"));
  EXPECT_THAT(r.out, HasSubstr("stub: install target Jo\xC3\xA3o\n"));
  EXPECT_EQ(host({"users"}).out, "Jo\xC3\xA3o\t0 queued\n");
}

}  // namespace
}  // namespace tarvo::test
