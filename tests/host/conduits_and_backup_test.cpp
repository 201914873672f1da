// A HotSync with several registered conduits, the backup after them, and
// restoring that backup onto an empty handheld.
#include <cstdlib>
#include <fstream>

#include "files.h"
#include "handheld_writer.h"
#include "host_fixture.h"
#include "hotsync/condmgr.h"
#include "pdb/palm_clock.h"

namespace tarvo::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

class ConduitsTest : public HostTest {
 protected:
  // Registrations are written in process, into the test's data folder.
  void registerConduit(const char* creator, const std::string& library, int32_t priority, bool always = false) {
    ASSERT_EQ(setenv("XDG_DATA_HOME", dataHome_.c_str(), 1), 0);
    ASSERT_GE(CmInstallCreator(creator, 1), 0);
    ASSERT_GE(CmSetCreatorModule(creator, library.c_str()), 0);
    ASSERT_GE(CmSetCreatorPriority(creator, priority), 0);
    if (always) {
      ASSERT_GE(CmSetCreatorRunAlways(creator, 1), 0);
    }
    unsetenv("XDG_DATA_HOME");
  }

  ProgramResult sync(const std::map<std::string, std::string>& env = {}, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"sync", "--no-gui", "--online", "--handheld", handheld_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return host(args, env);
  }

  // A database of creator "test" with its backup bit set, on the handheld's card 0.
  void addBackedUpDatabase(const std::string& name, std::vector<std::vector<uint8_t>> records) {
    pdb::Database db = MakeDatabase(name, "DATA", "test", std::move(records));
    db.attributes = pdb::kAttrBackup;
    db.modificationNumber = 3;
    db.appInfo = {1, 2, 3};
    WriteDatabase(handheld_, db);
  }

  std::string desktopLog() { return host({"log", "--user", "Demo User"}).out; }
};

std::size_t at(const std::string& text, const std::string& part) {
  const std::size_t found = text.find(part);
  EXPECT_NE(found, std::string::npos) << "no \"" << part << "\" in\n" << text;
  return found;
}

TEST_F(ConduitsTest, RegisteredConduitsRunInPriorityOrderEachWithItsLogEntries) {
  addBackedUpDatabase("Test Data", {{1}});
  registerConduit("Tarv", TARVO_STUB_CONDUIT, 2);
  registerConduit("test", TARVO_SECOND_CONDUIT, 1);
  registerConduit("Alws", TARVO_SECOND_CONDUIT, 3, true);  // no databases, runs anyway
  registerConduit("Nope", TARVO_SECOND_CONDUIT, 0);        // no databases: not run

  const ProgramResult order = host({"conduits"});
  EXPECT_LT(at(order.out, "1. Nope  priority 0"), at(order.out, "2. test  priority 1"));
  EXPECT_LT(at(order.out, "3. Tarv  priority 2"), at(order.out, "4. Alws  priority 3, always"));

  const ProgramResult r = sync();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_LT(at(r.out, "second: ran for test"), at(r.out, "stub: registered"));
  EXPECT_LT(at(r.out, "stub: unregistered"), at(r.out, "second: ran for Alws"));
  EXPECT_THAT(r.out, Not(HasSubstr("ran for Nope")));

  const std::string log = desktopLog();
  const std::size_t secondStart = at(log, "Conduit SecondConduit started");
  const std::size_t secondRan = at(log, "Second conduit ran for test");
  const std::size_t secondEnd = at(log, "Conduit SecondConduit finished");
  const std::size_t stubStart = at(log, "Conduit TestConduit started");
  const std::size_t stubRan = at(log, "Test conduit ran");
  const std::size_t stubEnd = at(log, "Conduit TestConduit finished");
  EXPECT_LT(secondStart, secondRan);
  EXPECT_LT(secondRan, secondEnd);
  EXPECT_LT(secondEnd, stubStart);
  EXPECT_LT(stubStart, stubRan);
  EXPECT_LT(stubRan, stubEnd);
  // Each registered conduit keeps its own databases: only the backup of
  // what none of them handles runs (here: nothing).
  EXPECT_THAT(r.out, HasSubstr("backup: 0 databases backed up"));
}

TEST_F(ConduitsTest, AFailedConduitDoesNotStopTheNextOne) {
  registerConduit("Tarv", TARVO_STUB_CONDUIT, 2);
  registerConduit("Frst", TARVO_SECOND_CONDUIT, 0, true);
  registerConduit("Miss", (root_ / "gone.so").string(), 1, true);

  for (const char* failure : {"result", "throw"}) {
    SCOPED_TRACE(failure);
    const ProgramResult r = sync({{"TARVO_SECOND_FAIL", failure}});
    EXPECT_EQ(r.status, 4) << r.out << r.err;
    EXPECT_LT(at(r.out, "second: ran for Frst"), at(r.out, "stub: unregistered"));
    EXPECT_THAT(r.err, HasSubstr("the conduit registered for creator Miss is missing"));
    EXPECT_THAT(r.err, HasSubstr(std::string(failure) == "throw" ? "OpenConduit let out second conduit broke"
                                                                 : "the conduit reported a failure (-1)"));
  }
  const std::string log = desktopLog();
  EXPECT_THAT(log, HasSubstr("Conduit SecondConduit failed"));
  EXPECT_THAT(log, HasSubstr("Conduit gone.so not run"));
  EXPECT_THAT(log, HasSubstr("Conduit TestConduit finished"));

  // --conduit runs just that one.
  const ProgramResult alone = sync({{"TARVO_SECOND_FAIL", "result"}}, {"--conduit", TARVO_STUB_CONDUIT});
  EXPECT_EQ(alone.status, 0) << alone.out << alone.err;
  EXPECT_THAT(alone.out, Not(HasSubstr("second:")));
}

TEST_F(ConduitsTest, AConduitTurnedOffNeverRunsUntilTurnedOnAgain) {
  addBackedUpDatabase("Test Data", {{1}});
  registerConduit("test", TARVO_SECOND_CONDUIT, 1);
  ASSERT_EQ(host({"conduits", "--disable", "test"}).status, 0);
  // The stand-in for the product's own conduit, too.
  ASSERT_EQ(host({"conduits", "--disable", "Tarv"}).status, 0);
  // A new registration (a conduit's upgrade) keeps the user's choice.
  registerConduit("test", TARVO_SECOND_CONDUIT, 1);

  const std::string listing = host({"conduits"}).out;
  EXPECT_THAT(listing, HasSubstr("next HotSync: turned off: does not run (conduits --enable test)"));
  EXPECT_THAT(listing, HasSubstr("next HotSync: turned off: does not run (conduits --enable Tarv)"));
  const ProgramResult off = sync();
  EXPECT_EQ(off.status, 0) << off.out << off.err;
  EXPECT_THAT(off.out, Not(HasSubstr("second: ran")));
  EXPECT_THAT(off.out, Not(HasSubstr("conduit: ")));
  EXPECT_THAT(off.out, HasSubstr("conduit test is turned off"));
  // Its databases are backed up instead, as those of no conduit are.
  EXPECT_THAT(off.out, HasSubstr("Backing up Test Data"));

  ASSERT_EQ(host({"conduits", "--enable", "test"}).status, 0);
  EXPECT_THAT(host({"conduits"}).out,
              HasSubstr("next HotSync: runs when the handheld holds a database of creator test"));
  const ProgramResult on = sync();
  EXPECT_THAT(on.out, HasSubstr("second: ran for test"));
  EXPECT_THAT(on.out, Not(HasSubstr("stub:")));

  const ProgramResult bad = host({"conduits", "--disable", "toolong"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("a creator is four characters"));
}

// Palm::PDB (Debian's libpalm-pdb-perl) reads a database file on its own:
// name, then per record its id, category and bytes in hex.
std::string readWithPalmPdb(const fs::path& file) {
  const ProgramResult r =
      runProgram("/usr/bin/perl",
                 {"-MPalm::PDB", "-MPalm::Raw", "-e",
                  "my $p = Palm::PDB->new; $p->Load($ARGV[0]); print \"$p->{name}\\n\";"
                  "print \"app \", unpack('H*', $p->{appinfo} // ''), \"\\n\";"
                  "printf \"%d %d %s\\n\", $_->{id}, $_->{category}, unpack('H*', $_->{data}) for @{$p->{records}};",
                  file.string()},
                 {});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

TEST_F(ConduitsTest, BackupRestoresOntoAnEmptyHandheld) {
  addBackedUpDatabase("Test Data", {{1, 2, 3}, {4}, {}});
  addBackedUpDatabase("More Data", {std::vector<uint8_t>(2000, 0x5A)});
  const ProgramResult synced = sync({}, {"--conduit", TARVO_STUB_CONDUIT});
  ASSERT_EQ(synced.status, 0) << synced.out << synced.err;
  EXPECT_THAT(synced.out, HasSubstr("Backing up Test Data"));
  EXPECT_THAT(synced.out, HasSubstr("backup: 2 databases backed up"));
  // Off for one HotSync, and nothing changed anyway the time after.
  EXPECT_THAT(sync({}, {"--conduit", TARVO_STUB_CONDUIT, "--no-backup"}).out, Not(HasSubstr("backup:")));
  EXPECT_THAT(sync({}, {"--conduit", TARVO_STUB_CONDUIT}).out, HasSubstr("backup: 0 databases backed up, 2 unchanged"));

  const fs::path empty = root_ / "new";
  WriteDeviceConf(empty, DeviceConf{});
  fs::create_directories(empty / "card0");
  const ProgramResult restored = host({"restore", "--user", "Demo User", "--handheld", empty.string()});
  ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
  EXPECT_THAT(restored.out, HasSubstr("2 databases restored"));
  for (const char* file : {"Test Data.pdb", "More Data.pdb"}) {
    SCOPED_TRACE(file);
    const std::string want = readWithPalmPdb(handheld_ / "card0" / file);
    EXPECT_THAT(want, HasSubstr("app 010203"));
    EXPECT_EQ(readWithPalmPdb(empty / "card0" / file), want);
  }
  // Again: everything is there already.
  EXPECT_THAT(host({"restore", "--user", "Demo User", "--handheld", empty.string()}).out,
              HasSubstr("0 databases restored, 2 already there"));

  // A database changed on the handheld since the backup is kept without --yes.
  pdb::Database newer = pdb::readFile(empty / "card0" / "Test Data.pdb").db;
  newer.modificationDate = pdb::palmNow() + 100;
  newer.records[0].data = {7, 7};
  pdb::writeFileAtomic(empty / "card0" / "Test Data.pdb", pdb::serialize(newer));
  const ProgramResult kept = host({"restore", "--user", "Demo User", "--handheld", empty.string()});
  EXPECT_EQ(kept.status, 4);
  EXPECT_THAT(kept.out, HasSubstr("kept Test Data: newer on the handheld"));
  EXPECT_EQ(host({"restore", "--user", "Demo User", "--handheld", empty.string(), "--yes"}).status, 0);
  EXPECT_EQ(pdb::readFile(empty / "card0" / "Test Data.pdb").db.modificationDate,
            pdb::readFile(handheld_ / "card0" / "Test Data.pdb").db.modificationDate);
}

}  // namespace
}  // namespace tarvo::test
