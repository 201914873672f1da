// CPalmSync over a real simulated handheld: arguments and results pass
// through unchanged, in and out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "handheld/palm_sync.h"
#include "handheld_writer.h"
#include "hotsync/host.h"
#include "pdb/pdb.h"

namespace {

// The records are packed: assertions take copies of their fields
// (T{field}), as a reference to a misaligned field is undefined.
class PalmSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-hh-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    const auto dir = root_ / "handheld";
    pdb::Database db = tarvo::test::MakeDatabase("Notes");
    db.version = 7;
    db.records.push_back({0, 10, {'a', 'b', 'c'}});
    tarvo::test::WriteHandheld(dir, {"Ann", 42, "3.5", "feature.psys.2 = 5\n"}, {db});
    std::string error;
    ASSERT_TRUE(hotsync::connectHandheld(dir, &error)) << error;
    device_ = std::make_unique<CPalmSync>();
  }
  void TearDown() override {
    device_.reset();
    hotsync::disconnectHandheld();
    unsetenv("XDG_DATA_HOME");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::filesystem::path root_;
  std::unique_ptr<CMobileDeviceSync> device_;  // used through the interface, as the conduit does
};

TEST_F(PalmSyncTest, IdentityOfTheHandheld) {
  EXPECT_EQ(g_pMobileDeviceSync, nullptr);
  UserInfo user{};
  EXPECT_EQ(device_->ReadUserInfo(user), 0);
  EXPECT_STREQ(user.m_pName, "Ann");
  EXPECT_EQ(uint32_t{user.m_Id}, 42u);
  uint16_t minor = 0;
  EXPECT_EQ(device_->GetHHOSVersion(minor), 3);
  EXPECT_EQ(minor, 5);
  uint32_t processor = 0;
  device_->ReadFeature(pdb::fourCC("psys"), 2, processor);
  EXPECT_EQ(processor, 5u);
  uint32_t handle = 0;
  EXPECT_EQ(device_->RegisterConduit(handle), 0);
  EXPECT_EQ(device_->UnregisterConduit(handle), 0);
}

TEST_F(PalmSyncTest, CardsAndDatabaseList) {
  CardInfo card{};
  card.m_CardNo = 0;
  ASSERT_EQ(device_->ReadSingleCardInfo(card), 0);
  EXPECT_EQ(uint16_t{card.m_ramDbCount}, 1);
  CardInfo missing{};
  missing.m_CardNo = 1;
  EXPECT_EQ(device_->ReadSingleCardInfo(missing), SYNCERR_NOT_FOUND);

  CDbList list[4] = {};
  int count = 4;  // capacity in, entries out
  device_->ReadDBList(0, 0, DB_LIST_RAM, list, count);
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(list[0].m_Name, "Notes");
  EXPECT_EQ(uint32_t{list[0].m_Creator}, pdb::fourCC("Tarv"));
  EXPECT_EQ(uint16_t{list[0].m_Version}, 7);
}

TEST_F(PalmSyncTest, RecordsGoBothWaysThroughTheHandle) {
  uint8_t handle = 0xFF;
  EXPECT_EQ(device_->OpenDB("Nothing", 0, handle, kOpenReadOnly), SYNCERR_NOT_FOUND);
  ASSERT_EQ(device_->OpenDB("Notes", 0, handle, kOpenReadWrite), 0);

  std::string text = "new";
  RecordInfo write{};
  write.m_FileHandle = handle;
  write.m_RecSize = static_cast<uint32_t>(text.size());
  write.m_pBytes = reinterpret_cast<uint8_t*>(text.data());
  EXPECT_EQ(device_->WriteRecord(write), 0);
  EXPECT_NE(uint32_t{write.m_RecId}, 0u);  // the new id comes back through the reference

  uint16_t count = 0;
  device_->GetDBRecordCount(handle, count);
  EXPECT_EQ(count, 2);
  OpenDbInfoRequest request{0xC0, handle};
  OpenDbInfo info{};
  device_->ReadOpenDbInfo(request, info);
  EXPECT_EQ(uint32_t{info.m_RecCount}, 2u);
  EXPECT_EQ(uint32_t{info.m_DbInfo.m_DbType}, pdb::fourCC("DATA"));

  uint8_t buffer[0xFFFF] = {};
  RecordInfo read{};
  read.m_FileHandle = handle;
  read.m_RecIndex = 0;
  read.m_TotalBytes = 0xFFFF;
  read.m_pBytes = buffer;
  ASSERT_EQ(device_->ReadRecordByIndex(read), 0);
  EXPECT_EQ(uint32_t{read.m_RecId}, 10u);
  EXPECT_EQ(uint32_t{read.m_RecSize}, 3u);
  EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);

  RecordInfo del{};
  del.m_FileHandle = handle;
  del.m_RecId = 10;
  EXPECT_EQ(device_->DeleteRecord(del), 0);
  EXPECT_EQ(device_->PurgeDeletedRecords(handle), 0);
  device_->GetDBRecordCount(handle, count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(device_->CloseDB(handle), 0);
  EXPECT_EQ(device_->DeleteDB("Notes", 0), 0);
  EXPECT_EQ(device_->OpenDB("Notes", 0, handle, kOpenReadOnly), SYNCERR_NOT_FOUND);
}

// The card number only matters to the caller's log text: both calls queue.
TEST_F(PalmSyncTest, InstallFileQueuesForTheTargetWhateverTheCard) {
  std::string error;
  ASSERT_TRUE(hotsync::addUser("Ann", &error)) << error;
  pdb::Database db;
  db.name = "Extra";
  const auto file = root_ / "Extra.pdb";
  pdb::writeFileAtomic(file, pdb::serialize(db));
  EXPECT_EQ(device_->InstallFile("Ann", file.string(), -1), 0);
  EXPECT_EQ(device_->InstallFile("Ann", file.string(), 0), 0);
  EXPECT_LT(device_->InstallFile("Nobody", file.string(), 0), 0);
  EXPECT_FALSE(std::filesystem::is_empty(hotsync::userInstallDir("Ann")));
}

}  // namespace
