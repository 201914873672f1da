// The Sync Manager's contract over a simulated handheld.
#include <cstring>

#include "hotsync/syncmgr.h"
#include "test_handheld.h"

using namespace testing_hh;

namespace {

class SyncManager : public TempRoot {
 protected:
  uint8_t open(const char* name, uint8_t mode, int32_t card = 0) {
    uint8_t h = 0;
    EXPECT_EQ(SyncOpenDB(name, card, &h, mode), SYNCERR_NONE) << name;
    return h;
  }
  // Reads record `index` into a fresh buffer; returns the status.
  int32_t read(uint8_t h, uint16_t index, RecordInfo* rec, std::vector<uint8_t>* buffer, uint16_t capacity = 0xFFFF) {
    buffer->assign(static_cast<std::size_t>(capacity) + 16, 0xEE);
    *rec = RecordInfo{};
    rec->m_FileHandle = h;
    rec->m_RecIndex = index;
    rec->m_TotalBytes = capacity;
    rec->m_pBytes = buffer->data();
    return SyncReadRecordByIndex(rec);
  }
  int32_t write(uint8_t h, uint32_t id, const std::string& data, RecordInfo* out = nullptr) {
    std::vector<uint8_t> bytes = BytesOf(data);
    RecordInfo rec{};
    rec.m_FileHandle = h;
    rec.m_RecId = id;
    rec.m_RecSize = static_cast<uint32_t>(bytes.size());
    rec.m_pBytes = bytes.data();
    const int32_t status = SyncWriteRec(&rec);
    if (out) *out = rec;
    return status;
  }
  pdb::Database onDisk(const fs::path& dir, const std::string& file) { return pdb::readFile(dir / "card0" / file).db; }
};

TEST_F(SyncManager, EveryCallNeedsAConnectedHandheld) {
  uint8_t h = 0;
  uint32_t conduit = 0;
  CardInfo card{};
  EXPECT_EQ(SyncRegisterConduit(&conduit), SYNCERR_NOT_CONNECTED);
  EXPECT_EQ(SyncOpenDB("x", 0, &h, eDbRead), SYNCERR_NOT_CONNECTED);
  EXPECT_EQ(SyncReadSingleCardInfo(&card), SYNCERR_NOT_CONNECTED);
}

TEST_F(SyncManager, IdentityComesFromDeviceConf) {
  const auto dir = makeHandheld({},
                                "# owner\nuser.name = José Silva\nuser.id = 0x1234\nos.version = 4.1\n"
                                "feature.psys.2 = 3\nfeature.Tarv.7 = 99\n");
  connect(dir);
  uint32_t conduit = 0;
  EXPECT_EQ(SyncRegisterConduit(&conduit), SYNCERR_NONE);
  EXPECT_NE(conduit, 0u);

  UserInfo user{};
  EXPECT_EQ(SyncReadUserInfo(&user), SYNCERR_NONE);
  EXPECT_STREQ(user.m_pName, "Jos\xE9 Silva");  // Windows-1252 on the handheld side
  EXPECT_EQ(+user.m_Id, 0x1234u);
  EXPECT_EQ(hotsync::currentUser(), "José Silva");

  uint16_t minor = 0;
  EXPECT_EQ(SyncGetHHOSVersion(&minor), 4);
  EXPECT_EQ(minor, 1);

  uint32_t value = 0;
  EXPECT_EQ(SyncReadFeature(pdb::fourCC("psys"), 2, &value), SYNCERR_NONE);
  EXPECT_EQ(value, 3u);
  EXPECT_EQ(SyncReadFeature(pdb::fourCC("Tarv"), 7, &value), SYNCERR_NONE);
  EXPECT_EQ(value, 99u);
  EXPECT_EQ(SyncReadFeature(pdb::fourCC("Tarv"), 8, &value), SYNCERR_NOT_FOUND);
  EXPECT_EQ(SyncUnRegisterConduit(conduit), SYNCERR_NONE);
  EXPECT_EQ(SyncUnRegisterConduit(conduit), SYNCERR_BAD_ARG);
}

TEST_F(SyncManager, DefaultsAndBadDeviceConf) {
  connect(makeHandheld({}, ""));
  uint16_t minor = 9;
  EXPECT_EQ(SyncGetHHOSVersion(&minor), 3);
  EXPECT_EQ(minor, 5);
  uint32_t value = 0;
  EXPECT_EQ(SyncReadFeature(pdb::fourCC("psys"), 2, &value), SYNCERR_NONE);
  EXPECT_NE(value, 0u);
  hotsync::disconnectHandheld();

  std::string error;
  EXPECT_FALSE(hotsync::connectHandheld(makeHandheld({}, "user.id = twelve\n", "bad"), &error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  EXPECT_FALSE(hotsync::connectHandheld(root / "nowhere", &error));
  EXPECT_FALSE(hotsync::handheldConnected());
}

TEST_F(SyncManager, CardsEndWithNotFoundAndCountTheirDatabases) {
  const auto dir = makeHandheld({recordDb("A"), recordDb("B")});
  WriteFile(dir / "card1" / "C.pdb", pdb::serialize(recordDb("C")));
  WriteFile(dir / "card3" / "D.pdb", pdb::serialize(recordDb("D")));  // after a gap: not a card
  connect(dir);
  CardInfo info{};
  info.m_CardNo = 0;
  EXPECT_EQ(SyncReadSingleCardInfo(&info), SYNCERR_NONE);
  EXPECT_EQ(+info.m_ramDbCount, 2);
  info = CardInfo{};
  info.m_CardNo = 1;
  EXPECT_EQ(SyncReadSingleCardInfo(&info), SYNCERR_NONE);
  EXPECT_EQ(+info.m_ramDbCount, 1);
  info = CardInfo{};
  info.m_CardNo = 2;
  EXPECT_EQ(SyncReadSingleCardInfo(&info), SYNCERR_NOT_FOUND);
}

TEST_F(SyncManager, DatabaseListFollowsOrderFileAndFillsEntries) {
  auto news = recordDb("News", {BytesOf("a"), BytesOf("b")}, "DATA", "Tarv");
  news.version = 7;
  news.modificationDate = 3'100'000'000u;
  const auto dir = makeHandheld({recordDb("Alpha"), news, resourceDb("Tarvo")});
  WriteFile(dir / "card0" / "order", "Tarvo.prc\nmissing.pdb\nNews.pdb\n");
  WriteFile(dir / "card0" / "Broken.pdb", "not a database");
  connect(dir);

  CDbList list[8];
  std::memset(list, 0xAB, sizeof list);
  int32_t count = 8;
  ASSERT_EQ(SyncReadDBList(0, 0, DB_LIST_RAM, list, &count), SYNCERR_NONE);
  ASSERT_EQ(count, 3);  // the broken file is not listed
  EXPECT_STREQ(list[0].m_Name, "Tarvo");
  EXPECT_STREQ(list[1].m_Name, "News");
  EXPECT_STREQ(list[2].m_Name, "Alpha");
  EXPECT_EQ(+list[0].m_DbFlags & pdb::kAttrResourceDb, pdb::kAttrResourceDb);
  EXPECT_EQ(+list[0].m_RecCount, 1u);
  const CDbList& e = list[1];
  EXPECT_EQ(+e.m_CardNum, 0);
  EXPECT_EQ(+e.m_DbType, 0x44415441u);
  EXPECT_EQ(+e.m_Creator, 0x54617276u);
  EXPECT_EQ(+e.m_Version, 7);
  EXPECT_EQ(+e.m_RecCount, 2u);
  EXPECT_EQ(+e.m_Index, 1);
  EXPECT_EQ(+e.m_CreateDate, 3'000'000'000u);
  EXPECT_EQ(+e.m_ModDate, 3'100'000'000u);

  count = 8;
  ASSERT_EQ(SyncReadDBList(0, 2, DB_LIST_RAM, list, &count), SYNCERR_NONE);
  EXPECT_EQ(count, 1);
  EXPECT_STREQ(list[0].m_Name, "Alpha");
  count = 8;
  EXPECT_EQ(SyncReadDBList(0, 3, DB_LIST_RAM, list, &count), SYNCERR_NOT_FOUND);
  EXPECT_EQ(count, 0);
  count = 1;  // capacity is respected
  ASSERT_EQ(SyncReadDBList(0, 0, DB_LIST_RAM, list, &count), SYNCERR_NONE);
  EXPECT_EQ(count, 1);
}

TEST_F(SyncManager, OpenModesAndHandles) {
  auto rom = recordDb("Rom");
  rom.attributes = pdb::kAttrReadOnly;
  connect(makeHandheld({recordDb("A", {BytesOf("x")}), recordDb("B"), rom}));
  uint8_t h1 = 0, h2 = 0, h3 = 0;
  EXPECT_EQ(SyncOpenDB("Missing", 0, &h1, eDbRead), SYNCERR_NOT_FOUND);
  EXPECT_EQ(SyncOpenDB("A", 5, &h1, eDbRead), SYNCERR_NOT_FOUND);
  EXPECT_EQ(SyncOpenDB("A", 0, &h1, 0), SYNCERR_BAD_ARG);

  ASSERT_EQ(SyncOpenDB("A", 0, &h1, eDbRead | eDbShowSecret), SYNCERR_NONE);
  ASSERT_EQ(SyncOpenDB("A", 0, &h2, eDbRead), SYNCERR_NONE);  // two readers are fine
  EXPECT_NE(h1, h2);
  EXPECT_EQ(SyncOpenDB("A", 0, &h3, eDbRead | eDbWrite), SYNCERR_FILE_OPEN);
  EXPECT_EQ(write(h1, 0, "no"), SYNCERR_READ_ONLY);
  EXPECT_EQ(SyncPurgeDeletedRecs(h1), SYNCERR_READ_ONLY);
  EXPECT_EQ(SyncResetSyncFlags(h1), SYNCERR_READ_ONLY);
  EXPECT_EQ(SyncCloseDB(h1), SYNCERR_NONE);
  EXPECT_EQ(SyncCloseDB(h1), SYNCERR_FILE_NOT_OPEN);
  EXPECT_EQ(SyncCloseDB(h2), SYNCERR_NONE);

  const uint8_t w = open("A", eDbRead | eDbWrite);
  EXPECT_EQ(SyncOpenDB("A", 0, &h3, eDbRead), SYNCERR_FILE_OPEN);  // not while a writer has it
  const uint8_t other = open("B", eDbRead | eDbWrite);
  EXPECT_NE(w, other);

  OpenDbInfoRequest request{0xC0, w};
  OpenDbInfo info{};
  ASSERT_EQ(SyncReadOpenDbInfo(&request, &info), SYNCERR_NONE);
  EXPECT_STREQ(info.m_DbInfo.m_Name, "A");
  EXPECT_EQ(+info.m_RecCount, 1u);
  request.m_Kind = 0x80;
  EXPECT_EQ(SyncReadOpenDbInfo(&request, &info), SYNCERR_BAD_ARG);
  request = {0xC0, 250};
  EXPECT_EQ(SyncReadOpenDbInfo(&request, &info), SYNCERR_FILE_NOT_OPEN);

  uint16_t count = 0;
  EXPECT_EQ(SyncGetDBRecordCount(w, &count), SYNCERR_NONE);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(SyncOpenDB("Rom", 0, &h3, eDbRead | eDbWrite), SYNCERR_READ_ONLY);
}

TEST_F(SyncManager, ReadRecordFillsFieldsAndNeverOverflows) {
  auto db = recordDb("A", {BytesOf("hello"), std::vector<uint8_t>(300, 7)});
  db.records[0].attributes = pdb::kRecDirty | 0x03;
  connect(makeHandheld({db}));
  const uint8_t h = open("A", eDbRead | eDbShowSecret);
  RecordInfo rec{};
  std::vector<uint8_t> buffer;
  ASSERT_EQ(read(h, 0, &rec, &buffer), SYNCERR_NONE);
  EXPECT_EQ(+rec.m_RecId, 100u);
  EXPECT_EQ(+rec.m_RecSize, 5u);
  EXPECT_EQ(rec.m_Attribs, pdb::kRecDirty);
  EXPECT_EQ(+rec.m_CatId, 3);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 5), "hello");

  // 300 bytes into a 100-byte buffer: refused, size reported, nothing written.
  EXPECT_EQ(read(h, 1, &rec, &buffer, 100), SYNCERR_LOCAL_BUFF_TOO_SMALL);
  EXPECT_EQ(+rec.m_RecSize, 300u);
  EXPECT_EQ(buffer[0], 0xEE);
  EXPECT_EQ(read(h, 2, &rec, &buffer), SYNCERR_NOT_FOUND);
}

TEST_F(SyncManager, WriteDeletePurgeAndResetReachTheFile) {
  const auto dir = makeHandheld({recordDb("A", {BytesOf("one"), BytesOf("two")})});
  connect(dir);
  const uint8_t h = open("A", eDbRead | eDbWrite | eDbShowSecret);

  RecordInfo made{};
  ASSERT_EQ(write(h, 0, "new", &made), SYNCERR_NONE);
  EXPECT_NE(+made.m_RecId, 0u);
  EXPECT_NE(+made.m_RecId, 100u);
  EXPECT_NE(+made.m_RecId, 101u);
  RecordInfo second{};
  ASSERT_EQ(write(h, 0, "newer", &second), SYNCERR_NONE);
  EXPECT_NE(+second.m_RecId, +made.m_RecId);
  ASSERT_EQ(write(h, 100, "ONE"), SYNCERR_NONE);      // replaces in place
  ASSERT_EQ(write(h, 5000, "chosen"), SYNCERR_NONE);  // an unknown id is added with that id
  EXPECT_EQ(write(h, 0x1000000, "wide"), SYNCERR_BAD_ARG);

  uint16_t count = 0;
  SyncGetDBRecordCount(h, &count);
  EXPECT_EQ(count, 5);

  RecordInfo del{};
  del.m_FileHandle = h;
  del.m_RecId = 101;
  ASSERT_EQ(SyncDeleteRec(&del), SYNCERR_NONE);
  del.m_RecId = 999;
  EXPECT_EQ(SyncDeleteRec(&del), SYNCERR_NOT_FOUND);

  // Deleted, still listed until purged, with the delete bit and no data.
  RecordInfo rec{};
  std::vector<uint8_t> buffer;
  ASSERT_EQ(read(h, 1, &rec, &buffer), SYNCERR_NONE);
  EXPECT_EQ(+rec.m_RecId, 101u);
  EXPECT_TRUE(rec.m_Attribs & pdb::kRecDelete);
  EXPECT_EQ(+rec.m_RecSize, 0u);
  ASSERT_EQ(read(h, 0, &rec, &buffer), SYNCERR_NONE);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 3), "ONE");

  EXPECT_EQ(SyncCloseDB(h), SYNCERR_NONE);
  // Closed but not yet disconnected: the file is untouched, the journal has it.
  EXPECT_EQ(onDisk(dir, "A.pdb").records.size(), 2u);
  EXPECT_TRUE(fs::exists(dir / "card0" / "A.pdb.journal"));

  const uint8_t h2 = open("A", eDbRead | eDbWrite);
  EXPECT_EQ(SyncPurgeDeletedRecs(h2), SYNCERR_NONE);
  EXPECT_EQ(SyncResetSyncFlags(h2), SYNCERR_NONE);
  EXPECT_EQ(SyncCloseDB(h2), SYNCERR_NONE);
  hotsync::disconnectHandheld();

  EXPECT_FALSE(fs::exists(dir / "card0" / "A.pdb.journal"));
  const pdb::Database db = onDisk(dir, "A.pdb");
  ASSERT_EQ(db.records.size(), 4u);
  EXPECT_EQ(db.records[0].uniqueId, 100u);
  EXPECT_EQ(db.records[0].data, BytesOf("ONE"));
  EXPECT_EQ(db.records[1].uniqueId, +made.m_RecId);
  EXPECT_EQ(db.records[3].uniqueId, 5000u);
  for (const auto& r : db.records) EXPECT_EQ(r.attributes & pdb::kRecDirty, 0) << r.uniqueId;
  EXPECT_GT(db.backupDate, 3'000'000'000u);
  EXPECT_GT(db.modificationNumber, 0u);
}

TEST_F(SyncManager, DeleteDatabase) {
  const auto dir = makeHandheld({recordDb("A"), recordDb("B")});
  connect(dir);
  const uint8_t h = open("A", eDbRead);
  EXPECT_EQ(SyncDeleteDB("A", 0), SYNCERR_FILE_OPEN);
  SyncCloseDB(h);
  EXPECT_EQ(SyncDeleteDB("A", 0), SYNCERR_NONE);
  EXPECT_EQ(SyncDeleteDB("A", 0), SYNCERR_NOT_FOUND);
  EXPECT_EQ(SyncDeleteDB("B", 1), SYNCERR_NOT_FOUND);
  EXPECT_FALSE(fs::exists(dir / "card0" / "A.pdb"));
  CardInfo info{};
  SyncReadSingleCardInfo(&info);
  EXPECT_EQ(+info.m_ramDbCount, 1);
}

TEST_F(SyncManager, ResourceDatabasesAreListedButHaveNoRecords) {
  connect(makeHandheld({resourceDb("App")}));
  const uint8_t h = open("App", eDbRead | eDbWrite);
  uint16_t count = 0;
  EXPECT_EQ(SyncGetDBRecordCount(h, &count), SYNCERR_NONE);
  EXPECT_EQ(count, 1);
  RecordInfo rec{};
  std::vector<uint8_t> buffer;
  EXPECT_EQ(read(h, 0, &rec, &buffer), SYNCERR_BAD_ARG);
  EXPECT_EQ(write(h, 0, "x"), SYNCERR_BAD_ARG);
  EXPECT_EQ(SyncPurgeDeletedRecs(h), SYNCERR_BAD_ARG);
}

TEST_F(SyncManager, SecretRecordsNeedTheSecretMode) {
  auto db = recordDb("A", {BytesOf("s")});
  db.records[0].attributes = pdb::kRecSecret;
  connect(makeHandheld({db}));
  const uint8_t h = open("A", eDbRead);
  RecordInfo rec{};
  std::vector<uint8_t> buffer;
  EXPECT_EQ(read(h, 0, &rec, &buffer), SYNCERR_NOT_FOUND);
  SyncCloseDB(h);
  const uint8_t s = open("A", eDbRead | eDbShowSecret);
  EXPECT_EQ(read(s, 0, &rec, &buffer), SYNCERR_NONE);
}

TEST_F(SyncManager, HandheldLogAndClock) {
  connect(makeHandheld({}, "user.name = Ana\nclock.offset = 86400\n"));
  EXPECT_EQ(SyncAddLogEntry("Tarvo: Not\xED"
                            "cias on card: 0\n"),
            SYNCERR_NONE);
  const auto lines = hotsync::handheldLog();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Tarvo: Notícias on card: 0");

  SysDateTime clock{};
  ASSERT_EQ(SyncReadSysDateTime(&clock), SYNCERR_NONE);
  const std::time_t tomorrow = std::time(nullptr) + 86400;
  std::tm local{};
  localtime_r(&tomorrow, &local);
  EXPECT_EQ(+clock.m_Year, local.tm_year + 1900);
  EXPECT_EQ(clock.m_Day, local.tm_mday);
}

}  // namespace
