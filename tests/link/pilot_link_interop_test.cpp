// Our handheld's end of the link against pilot-link's desktop tools, an
// independent implementation of the desktop side: what they list, back up
// and install must be what the folder holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "files.h"
#include "link_world.h"
#include "needs.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::test;

class PilotLinkInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    bin_ = pilotLinkPrograms(&why);
    TARVO_NEEDS(!bin_.empty(), why);
    fs::copy(fs::path(TARVO_EXAMPLES) / "handheld", handheld_, fs::copy_options::recursive);
    // Categories, a secret, a deleted record and an app info block.
    pdb::Database notes = recordDb("Interop Notes", {{0x03, 10, {'a', 'b'}},
                                                     {pdb::kRecSecret | 0x01, 11, {'s'}},
                                                     {pdb::kRecDelete, 12, {}},
                                                     {0x00, 13, std::vector<uint8_t>(3000, 'z')}});
    notes.appInfo = {1, 2, 3, 4};
    pdb::writeFileAtomic(handheld_ / "card0" / "Interop_Notes.pdb", pdb::serialize(notes));
  }

  // pilot-link's tool against tarvo-handheld; TZ fixed so both read dates alike.
  LinkRun run(const std::string& tool, std::vector<std::string> args) {
    const uint16_t port = freePort();
    args.insert(args.begin(), {"-p", "net:any:" + std::to_string(port)});
    return runLinked((bin_ / tool).string(), args, {{"TZ", "UTC"}, {"HOME", temp_.path().string()}}, handheld_, port);
  }

  pdb::Database onHandheld(const std::string& file) { return pdb::readFile(handheld_ / "card0" / file).db; }
  pdb::Database named(const std::string& name) {
    for (const auto& entry : fs::directory_iterator(handheld_ / "card0")) {
      if (entry.path().extension() != ".pdb" && entry.path().extension() != ".prc") continue;
      pdb::Database db = pdb::readFile(entry.path()).db;
      if (db.name == name) return db;
    }
    ADD_FAILURE() << "no database " << name;
    return {};
  }

  TempFolder temp_{"tarvo-interop"};
  fs::path handheld_ = temp_.path() / "handheld";
  fs::path bin_;
};

TEST_F(PilotLinkInterop, ListShowsTheFoldersDatabases) {
  const LinkRun r = run("pilot-xfer", {"-l"});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err;
  EXPECT_NE(r.handheld.out.find("HotSync complete"), std::string::npos);
  for (const char* name : {"Tarvo", "Tarvo News", "Interop Notes"}) {
    EXPECT_NE(r.desktop.out.find(std::string("   ") + name + "\n"), std::string::npos) << name << "\n" << r.desktop.out;
  }
  EXPECT_NE(r.desktop.out.find("3 files found"), std::string::npos) << r.desktop.out;
}

TEST_F(PilotLinkInterop, BackupHoldsTheSameRecordsAndAttributes) {
  const fs::path backup = temp_.path() / "backup";
  fs::create_directory(backup);
  const LinkRun r = run("pilot-xfer", {"-b", backup.string()});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;

  for (const auto& [file, copy] :
       {std::pair{"Interop_Notes.pdb", "Interop Notes.pdb"}, std::pair{"Tarvo_News.pdb", "Tarvo News.pdb"},
        std::pair{"Tarvo.prc", "Tarvo.prc"}}) {
    SCOPED_TRACE(file);
    pdb::Database want = onHandheld(file);
    const pdb::Database got = pdb::readFile(backup / copy).db;
    // A backup leaves out what cannot be restored: deleted records.
    std::erase_if(want.records, [](const pdb::Record& rec) { return (rec.attributes & pdb::kRecDelete) != 0; });
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.creator, want.creator);
    EXPECT_EQ(got.version, want.version);
    EXPECT_EQ(got.attributes, want.attributes);
    EXPECT_EQ(got.creationDate, want.creationDate);
    EXPECT_EQ(got.appInfo, want.appInfo);
    EXPECT_EQ(got.records, want.records);
    EXPECT_EQ(got.resources, want.resources);
  }
}

TEST_F(PilotLinkInterop, InstalledDatabasesReadBackFromTheFolder) {
  pdb::Database records = recordDb("Installed Notes", {{0x02, 0x123456, {'x'}}, {pdb::kRecDirty, 7, {'y', 'z'}}});
  records.appInfo = std::vector<uint8_t>(400, 9);
  pdb::Database resources = onHandheld("Tarvo.prc");
  resources.name = "Installed App";
  const fs::path recordFile = temp_.path() / "installed.pdb";
  const fs::path resourceFile = temp_.path() / "installed.prc";
  pdb::writeFileAtomic(recordFile, pdb::serialize(records));
  pdb::writeFileAtomic(resourceFile, pdb::serialize(resources));

  const LinkRun r = run("pilot-xfer", {"-i", recordFile.string(), resourceFile.string()});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;

  const pdb::Database gotRecords = named("Installed Notes");
  EXPECT_EQ(gotRecords.type, records.type);
  EXPECT_EQ(gotRecords.version, records.version);
  EXPECT_EQ(gotRecords.appInfo, records.appInfo);
  EXPECT_EQ(gotRecords.records, records.records);
  const pdb::Database gotResources = named("Installed App");
  EXPECT_EQ(gotResources.type, resources.type);
  EXPECT_EQ(gotResources.resources, resources.resources);
}

TEST_F(PilotLinkInterop, ShellReadsTheUserAndSetsTheClock) {
  const LinkRun user = run("pilot-dlpsh", {"-c", "user"});
  ASSERT_EQ(user.handheld.status, 0) << user.handheld.err;
  EXPECT_NE(user.desktop.out.find("Username = \"Demo User\""), std::string::npos) << user.desktop.out;
  EXPECT_NE(user.desktop.out.find("UserID   = 000003e9 (1001)"), std::string::npos) << user.desktop.out;

  const LinkRun time = run("pilot-dlpsh", {"-c", "time"});
  ASSERT_EQ(time.handheld.status, 0) << time.handheld.err;
  EXPECT_NE(time.handheld.out.find("the desktop set the clock"), std::string::npos) << time.handheld.out;
}

// pilot-xfer names its backup files its own way: a handheld made from its
// backup folder reads the names from the headers and holds the same databases.
TEST_F(PilotLinkInterop, HandheldMadeFromAPilotXferBackupHoldsTheSameDatabases) {
  for (const auto& entry : fs::directory_iterator(fs::path(TARVO_TESTDATA) / "pdb")) {
    if (entry.path().extension() == ".pdb" || entry.path().extension() == ".prc") {
      fs::copy_file(entry.path(), handheld_ / "card0" / entry.path().filename());
    }
  }
  const fs::path backup = temp_.path() / "backup";
  fs::create_directory(backup);
  const LinkRun r = run("pilot-xfer", {"-b", backup.string()});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;

  const fs::path made = temp_.path() / "made";
  const ProgramResult m =
      runProgram(TARVO_HOST_BIN, {"handheld", "make", made.string(), "--from", backup.string(), "--user", "Old Palm"},
                 {{"XDG_DATA_HOME", (temp_.path() / "data").string()}, {"HOME", temp_.path().string()}});
  ASSERT_EQ(m.status, 0) << m.out << m.err;
  EXPECT_NE(ReadFile(made / "device.conf").find("user.name = Old Palm\n"), std::string::npos);

  int compared = 0;
  for (const auto& entry : fs::directory_iterator(handheld_ / "card0")) {
    if (entry.path().extension() != ".pdb" && entry.path().extension() != ".prc") continue;
    pdb::Database want = pdb::readFile(entry.path()).db;
    SCOPED_TRACE(want.name);
    std::erase_if(want.records, [](const pdb::Record& rec) { return (rec.attributes & pdb::kRecDelete) != 0; });
    pdb::Database got;
    for (const auto& copy : fs::directory_iterator(made / "card0")) {
      pdb::Database db = pdb::readFile(copy.path()).db;
      if (db.name == want.name) got = std::move(db);
    }
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.creator, want.creator);
    EXPECT_EQ(got.appInfo, want.appInfo);
    EXPECT_EQ(got.records, want.records);
    EXPECT_EQ(got.resources, want.resources);
    ++compared;
  }
  EXPECT_GE(compared, 8);
}

}  // namespace
