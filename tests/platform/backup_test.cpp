// The HotSync's backup into the user's folder: what is backed up, what is
// not read at all, and what a kill in the middle leaves.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "hotsync/backup.h"
#include "hotsync/syncmgr.h"
#include "hotsync/test_hooks.h"
#include "test_handheld.h"
#include "time_zone.h"

using namespace testing_hh;

namespace {

class Backup : public TempRoot {
 protected:
  static pdb::Database backedUp(const std::string& name, std::vector<std::vector<uint8_t>> records) {
    pdb::Database db = recordDb(name, std::move(records));
    db.attributes = pdb::kAttrBackup;
    db.modificationNumber = 7;
    db.modificationDate = 3'100'000'000u;
    return db;
  }

  hotsync::BackupReport backUp(const fs::path& handheld, hotsync::BackupOptions options = {}) {
    connect(handheld);
    hotsync::BackupReport report = hotsync::backupHandheld(options);
    hotsync::disconnectHandheld();
    return report;
  }

  fs::path backupDir() const { return hotsync::userBackupDir("Ana"); }

  // Appends a record through the Sync Manager, as a conduit would.
  static void appendRecord(const char* name, const std::string& text) {
    uint8_t handle = 0;
    ASSERT_EQ(SyncOpenDB(name, 0, &handle, eDbRead | eDbWrite), SYNCERR_NONE);
    RecordInfo rec{};
    rec.m_FileHandle = handle;
    rec.m_RecSize = static_cast<uint32_t>(text.size());
    rec.m_pBytes = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
    ASSERT_EQ(SyncWriteRec(&rec), SYNCERR_NONE);
    ASSERT_EQ(SyncCloseDB(handle), SYNCERR_NONE);
  }
};

TEST_F(Backup, ChangedDatabasesAreCopiedAndUnchangedOnesNotRead) {
  pdb::Database noBackupBit = recordDb("Scratch", {{9}});
  pdb::Database otherCreator = backedUp("Mail", {{5}});
  otherCreator.creator = pdb::fourCC("mail");
  const fs::path hh =
      makeHandheld({backedUp("Memo", {{1, 2}, {3}}), backedUp("Todo", {{4}}), noBackupBit, otherCreator});

  const uint64_t before = hotsync::wholeDatabaseReads();
  hotsync::BackupOptions options;
  options.skipCreators = {pdb::fourCC("mail")};  // its conduit takes care of it
  std::vector<std::string> shown;
  options.progress = [&](const std::string& name) { shown.push_back(name); };
  hotsync::BackupReport first = backUp(hh, options);
  EXPECT_EQ(first.backedUp, 2);
  EXPECT_TRUE(first.failures.empty());
  EXPECT_EQ(shown, (std::vector<std::string>{"Memo", "Todo"}));
  EXPECT_EQ(hotsync::wholeDatabaseReads() - before, 2u);

  // The copies are the databases, with the backup date the handheld now has too.
  const pdb::Database memo = pdb::readFile(backupDir() / "Memo.pdb").db;
  EXPECT_EQ(memo.records, backedUp("Memo", {{1, 2}, {3}}).records);
  EXPECT_NE(memo.backupDate, 0u);
  const pdb::Database onHandheld = pdb::readFile(hh / "card0" / "Memo.pdb").db;
  EXPECT_EQ(onHandheld.backupDate, memo.backupDate);
  // Setting the backup date is no modification.
  EXPECT_EQ(onHandheld.modificationNumber, 7u);
  EXPECT_EQ(onHandheld.modificationDate, 3'100'000'000u);
  EXPECT_FALSE(fs::exists(backupDir() / "Scratch.pdb"));
  EXPECT_FALSE(fs::exists(backupDir() / "Mail.pdb"));

  // Next HotSync: nothing changed, nothing read.
  const uint64_t quiet = hotsync::wholeDatabaseReads();
  hotsync::BackupReport second = backUp(hh, options);
  EXPECT_EQ(second.backedUp, 0);
  EXPECT_EQ(second.unchanged, 2);
  EXPECT_EQ(hotsync::wholeDatabaseReads(), quiet);

  // A conduit changes Todo: only Todo is read again.
  connect(hh);
  appendRecord("Todo", "new task");
  hotsync::BackupReport third = hotsync::backupHandheld(options);
  hotsync::disconnectHandheld();
  EXPECT_EQ(third.backedUp, 1);
  EXPECT_EQ(hotsync::wholeDatabaseReads() - quiet, 1u);
  EXPECT_EQ(pdb::readFile(backupDir() / "Todo.pdb").db.records.size(), 2u);
  EXPECT_FALSE(fs::exists(backupDir() / "Todo.pdb.bak"));

  // A copy removed from the folder is made again.
  fs::remove(backupDir() / "Memo.pdb");
  EXPECT_EQ(backUp(hh, options).backedUp, 1);
  EXPECT_TRUE(fs::exists(backupDir() / "Memo.pdb"));
}

TEST_F(Backup, KillWhileReplacingACopyLeavesThePreviousOneReadable) {
  const fs::path hh = makeHandheld({backedUp("Memo", {{1}})});
  ASSERT_EQ(backUp(hh).backedUp, 1);
  const std::string previous = ReadFile(backupDir() / "Memo.pdb");
  connect(hh);
  appendRecord("Memo", "second");
  hotsync::disconnectHandheld();

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("TARVO_CRASH_AT", "backup-write", 1);
    std::string error;
    if (hotsync::connectHandheld(hh, &error)) hotsync::backupHandheld({});
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  EXPECT_EQ(ReadFile(backupDir() / "Memo.pdb"), previous);
  std::vector<std::string> skipped;
  const auto files = hotsync::readBackupFolder(backupDir(), &skipped);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "Memo");
  EXPECT_TRUE(skipped.empty());

  // The next backup completes it, reusing the same file.
  const hotsync::BackupReport report = backUp(hh);
  EXPECT_EQ(report.backedUp, 1);
  EXPECT_EQ(pdb::readFile(backupDir() / "Memo.pdb").db.records.size(), 2u);
  EXPECT_FALSE(fs::exists(backupDir() / "Memo~2.pdb"));
  EXPECT_FALSE(fs::exists(backupDir() / "Memo.pdb.bak"));
}

// The backup date goes into a clean database's header in place, at once:
// a kill right after the backup keeps it, and nothing else of the file
// changes. A database with journaled changes, or a file with a second
// name, is never written in place.
TEST_F(Backup, BackupDateIsWrittenIntoTheHeaderInPlace) {
  const fs::path hh = makeHandheld({backedUp("Memo", {{1}}), backedUp("Todo", {{2}}), backedUp("Note", {{3}})});
  const fs::path card = hh / "card0";
  fs::create_hard_link(card / "Note.pdb", root / "Note-link.pdb");
  const std::string memoBefore = ReadFile(card / "Memo.pdb");
  const std::string noteBefore = ReadFile(card / "Note.pdb");
  const auto inode = [](const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
  };
  const ino_t memoInode = inode(card / "Memo.pdb");

  connect(hh);
  appendRecord("Todo", "journaled");
  ASSERT_EQ(hotsync::backupHandheld({}).backedUp, 3);
  // What a kill at this moment leaves.
  const fs::path killed = root / "killed";
  fs::copy(hh, killed, fs::copy_options::recursive);
  fs::remove(killed / ".lock");
  hotsync::disconnectHandheld();

  const uint32_t date = pdb::readFile(backupDir() / "Memo.pdb").db.backupDate;
  ASSERT_NE(date, 0u);
  std::string memoAfter = memoBefore;
  for (int i = 0; i < 4; ++i) memoAfter[44 + i] = static_cast<char>(date >> (24 - 8 * i));
  EXPECT_EQ(ReadFile(killed / "card0" / "Memo.pdb"), memoAfter);
  EXPECT_FALSE(fs::exists(killed / "card0" / "Memo.pdb.journal"));
  EXPECT_EQ(ReadFile(card / "Memo.pdb"), memoAfter);
  EXPECT_EQ(inode(card / "Memo.pdb"), memoInode);
  EXPECT_EQ(ReadFile(root / "Note-link.pdb"), noteBefore);
  EXPECT_EQ(pdb::readFile(card / "Note.pdb").db.backupDate, date);

  // Reconnecting the killed handheld replays Todo's journal: its new record
  // and its backup date are both there.
  connect(killed);
  hotsync::disconnectHandheld();
  const pdb::Database todo = pdb::readFile(killed / "card0" / "Todo.pdb").db;
  EXPECT_EQ(todo.records.size(), 2u);
  EXPECT_EQ(todo.backupDate, date);
  EXPECT_EQ(pdb::readFile(killed / "card0" / "Memo.pdb").db.backupDate, date);
}

// The desktop's local wall clock now, in Palm seconds, worked out here on its own.
uint32_t localWallClockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<uint32_t>(timegm(&local) + 2082844800);
}

// A Palm's clock has no zone: the dates a HotSync writes are the local time of day.
TEST_F(Backup, DatesWrittenAreTheLocalTimeOfDayInEveryZone) {
  int n = 0;
  for (const char* zone : testing_tz::kZones) {
    testing_tz::ZoneScope scope(zone);
    const fs::path hh = makeHandheld({backedUp("Memo", {{1}})}, "user.name = Ana\n", "hh" + std::to_string(n++));
    const uint32_t before = localWallClockNow();
    connect(hh);
    appendRecord("Memo", "new");
    ASSERT_EQ(hotsync::backupHandheld({}).backedUp, 1) << zone;
    hotsync::disconnectHandheld();
    const uint32_t after = localWallClockNow();
    const pdb::Database memo = pdb::readFile(hh / "card0" / "Memo.pdb").db;
    EXPECT_GE(memo.backupDate, before) << zone;
    EXPECT_LE(memo.backupDate, after) << zone;
    EXPECT_GE(memo.modificationDate, before) << zone;
    EXPECT_LE(memo.modificationDate, after) << zone;
  }
}

// More changed databases than are put in place at once.
TEST_F(Backup, ManyChangedDatabasesAreAllCopiedAndDated) {
  std::vector<pdb::Database> dbs;
  for (int n = 0; n < 70; ++n) dbs.push_back(backedUp("Db" + std::to_string(n), {{static_cast<uint8_t>(n)}}));
  const fs::path hh = makeHandheld(dbs);
  ASSERT_EQ(backUp(hh).backedUp, 70);
  std::vector<std::string> skipped;
  const auto files = hotsync::readBackupFolder(backupDir(), &skipped);
  EXPECT_EQ(files.size(), 70u);
  EXPECT_TRUE(skipped.empty());
  for (const auto& file : files) {
    const pdb::Database copy = pdb::readFile(file.path).db;
    const pdb::Database onHandheld = pdb::readFile(hh / "card0" / (copy.name + ".pdb")).db;
    EXPECT_EQ(copy.records, onHandheld.records) << copy.name;
    EXPECT_EQ(onHandheld.backupDate, copy.backupDate) << copy.name;
  }
  const hotsync::BackupReport again = backUp(hh);
  EXPECT_EQ(again.backedUp, 0);
  EXPECT_EQ(again.unchanged, 70);
}

// A damaged or planted index may name any path: only plain names inside
// the folder are taken, so the copies land inside and nothing else is touched.
TEST_F(Backup, TheIndexNamesNoFileOutsideTheFolder) {
  const fs::path hh = makeHandheld({backedUp("Memo", {{1}}), backedUp("Todo", {{2}}), backedUp("Note", {{3}})});
  const fs::path outside = root / "outside.pdb";
  const fs::path absolute = root / "absolute.pdb";
  WriteFile(outside, "planted");
  WriteFile(absolute, "planted");
  // card, modification number and date, name in hex, file
  const std::string upAndOut = fs::relative(outside, backupDir()).string();
  ASSERT_EQ(upAndOut.rfind("../", 0), 0u);
  WriteFile(backupDir() / ".index", "0 7 3100000000 4d656d6f " + upAndOut +                 // Memo
                                        "\n0 7 3100000000 546f646f " + absolute.string() +  // Todo
                                        "\n0 7 3100000000 4e6f7465 .hidden.pdb\n");         // Note
  EXPECT_EQ(backUp(hh).backedUp, 3);
  EXPECT_EQ(ReadFile(outside), "planted");
  EXPECT_EQ(ReadFile(absolute), "planted");
  EXPECT_FALSE(fs::exists(backupDir() / ".hidden.pdb"));
  for (const char* name : {"Memo", "Todo", "Note"}) {
    EXPECT_EQ(pdb::readFile(backupDir() / (std::string(name) + ".pdb")).db.name, name);
  }
  EXPECT_EQ(ReadFile(backupDir() / ".index").find(".."), std::string::npos);
}

// A handheld restored from the folder (its databases as the index knows
// them, but never backed up there) is backed up at its next HotSync.
TEST_F(Backup, AHandheldNeverBackedUpIsBackedUpThoughTheIndexKnowsItsDatabases) {
  const pdb::Database memo = backedUp("Memo", {{1}});
  ASSERT_EQ(backUp(makeHandheld({memo})).backedUp, 1);
  const fs::path restored = makeHandheld({memo}, "user.name = Ana\n", "restored");
  EXPECT_EQ(backUp(restored).backedUp, 1);
  EXPECT_NE(pdb::readFile(restored / "card0" / "Memo.pdb").db.backupDate, 0u);
}

// Where only the previous copy reads, it stands in; names come from headers.
TEST_F(Backup, FolderIsReadByHeaderNames) {
  const fs::path dir = root / "foreign";
  tarvo::test::WriteDatabase(root / "x", recordDb("Address DB", {{1}}), 0, "odd%20name.pdb");
  fs::create_directories(dir);
  fs::copy_file(root / "x" / "card0" / "odd%20name.pdb", dir / "odd%20name.pdb");
  fs::copy_file(root / "x" / "card0" / "odd%20name.pdb", dir / "Copy.PDB");
  WriteFile(dir / "Broken.pdb", "not a database");
  tarvo::test::WriteDatabase(root / "x", recordDb("Memo", {{2}}), 0, "Memo.pdb");
  fs::copy_file(root / "x" / "card0" / "Memo.pdb", dir / "Memo.pdb.bak");
  WriteFile(dir / "Memo.pdb", "cut short");

  std::vector<std::string> skipped;
  const auto files = hotsync::readBackupFolder(dir, &skipped);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "Address DB");
  EXPECT_EQ(files[1].name, "Memo");
  EXPECT_EQ(files[1].path.filename(), "Memo.pdb.bak");
  EXPECT_EQ(skipped.size(), 3u);  // Broken.pdb, Memo.pdb, and one of the two Address DB copies
}

}  // namespace
