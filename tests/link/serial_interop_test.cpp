// Our handheld's serial end against pilot-link's desktop tools over a
// pseudo-terminal pair: the opening, fragments both ways (records and an
// app info block longer than one fragment) and the end of the HotSync, as
// an independent implementation of the desktop side speaks them.
#include <gtest/gtest.h>

#include "link_world.h"
#include "needs.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::test;

class SerialInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    bin_ = pilotLinkPrograms(&why);
    TARVO_NEEDS(!bin_.empty(), why);
    TARVO_NEEDS(line_.ok(), line_.why());
    fs::copy(fs::path(TARVO_EXAMPLES) / "handheld", handheld_, fs::copy_options::recursive);
    pdb::Database notes =
        recordDb("Serial Notes", {{0x03, 10, {'a', 'b'}}, {0x00, 13, std::vector<uint8_t>(3000, 'z')}});
    notes.appInfo = std::vector<uint8_t>(1500, 4);
    pdb::writeFileAtomic(handheld_ / "card0" / "Serial_Notes.pdb", pdb::serialize(notes));
  }

  LinkRun run(const std::string& tool, std::vector<std::string> args) {
    args.insert(args.begin(), {"-p", line_.desktop()});
    return runBoth((bin_ / tool).string(), args, {{"TZ", "UTC"}, {"HOME", temp_.path().string()}}, handheld_,
                   {"--serial", line_.handheld(), "--retry", "30"});
  }

  TempFolder temp_{"tarvo-serial-interop"};
  SerialLine line_;
  fs::path handheld_ = temp_.path() / "handheld";
  fs::path bin_;
};

TEST_F(SerialInterop, ListShowsTheDatabases) {
  LinkRun r = run("pilot-xfer", {"-l"});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;
  EXPECT_NE(r.handheld.out.find("HotSync complete"), std::string::npos);
  EXPECT_NE(r.desktop.out.find("   Serial Notes\n"), std::string::npos) << r.desktop.out;
}

TEST_F(SerialInterop, BackupHoldsTheRecordsAndTheAppInfo) {
  const fs::path backup = temp_.path() / "backup";
  fs::create_directory(backup);
  const LinkRun r = run("pilot-xfer", {"-b", backup.string()});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;
  const pdb::Database want = pdb::readFile(handheld_ / "card0" / "Serial_Notes.pdb").db;
  const pdb::Database got = pdb::readFile(backup / "Serial Notes.pdb").db;
  EXPECT_EQ(got.appInfo, want.appInfo);
  EXPECT_EQ(got.records, want.records);
}

TEST_F(SerialInterop, InstalledDatabaseReachesTheFolder) {
  pdb::Database records = recordDb("Installed Serial", {{0x02, 0x123456, std::vector<uint8_t>(2500, 'x')}});
  const fs::path file = temp_.path() / "installed.pdb";
  pdb::writeFileAtomic(file, pdb::serialize(records));
  const LinkRun r = run("pilot-xfer", {"-i", file.string()});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;
  bool found = false;
  for (const auto& entry : fs::directory_iterator(handheld_ / "card0")) {
    if (entry.path().extension() != ".pdb") continue;
    const pdb::Database db = pdb::readFile(entry.path()).db;
    if (db.name != "Installed Serial") continue;
    found = true;
    EXPECT_EQ(db.records, records.records);
  }
  EXPECT_TRUE(found);
}

TEST_F(SerialInterop, ShellReadsTheUser) {
  const LinkRun r = run("pilot-dlpsh", {"-c", "user"});
  ASSERT_EQ(r.handheld.status, 0) << r.handheld.err << r.desktop.out << r.desktop.err;
  EXPECT_NE(r.desktop.out.find("Username = \"Demo User\""), std::string::npos) << r.desktop.out;
}

}  // namespace
