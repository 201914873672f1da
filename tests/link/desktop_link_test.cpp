// The desktop's end of the link against a scripted handheld in this process:
// status codes as the conduit expects them, and a handheld that lies,
// overflows or vanishes ends the link with a reason instead of a bad read.
#include <gtest/gtest.h>

#include "dlp/messages.h"
#include "dlp/packet.h"
#include "dlp/table.h"
#include "hotsync/host.h"
#include "hotsync/port.h"
#include "hotsync/syncmgr.h"
#include "scripted_handheld.h"
#include "temp_folder.h"

namespace {

using tarvo::test::Answer;
using tarvo::test::frame;
using tarvo::test::ScriptedHandheld;

class DesktopLink : public ::testing::Test {
 protected:
  void connect(Answer answer) {
    setenv("XDG_DATA_HOME", temp_.path().c_str(), 1);
    std::string error;
    hotsync::PortName anyPort;
    anyPort.port = 0;
    const auto port = hotsync::HandheldPort::open(anyPort, &error);
    ASSERT_TRUE(port) << error;
    handheld_ = std::make_unique<ScriptedHandheld>(port->boundPort(), std::move(answer));
    ASSERT_EQ(port->connect({}, &error), hotsync::WaitResult::Connected) << error;
  }
  void TearDown() override {
    hotsync::disconnectHandheld();
    handheld_.reset();
  }
  tarvo::test::TempFolder temp_{"tarvo-desktop-link"};
  std::unique_ptr<ScriptedHandheld> handheld_;
};

int32_t readFirstRecord(std::vector<uint8_t>* buffer) {
  RecordInfo rec{};
  rec.m_FileHandle = 1;
  rec.m_TotalBytes = 0xFFFF;
  rec.m_pBytes = buffer->data();
  return SyncReadRecordByIndex(&rec);
}

TEST_F(DesktopLink, TheHandheldsUserAndStatusesReachTheConduitAsTheSyncManagerGivesThem) {
  connect([](const dlp::Request& r) {
    const uint16_t error = r.command == dlp::OpenDB        ? dlp::ErrNotFound
                           : r.command == dlp::WriteRecord ? dlp::ErrReadOnly
                           : r.command == dlp::ReadFeature ? dlp::ErrNone
                                                           : dlp::ErrIllegalRequest;
    dlp::Response response{r.command, error, {}};
    if (r.command == dlp::ReadFeature) response.args.push_back({dlp::kFirstArgId, {0, 0, 0, 8}});
    return frame(response);
  });
  EXPECT_EQ(hotsync::currentUser(), "Link User");
  UserInfo user{};
  EXPECT_EQ(SyncReadUserInfo(&user), SYNCERR_NONE);
  EXPECT_STREQ(user.m_pName, "Link User");
  EXPECT_EQ(user.m_Id, 77u);
  uint16_t minor = 0;
  EXPECT_EQ(SyncGetHHOSVersion(&minor), 5);
  EXPECT_EQ(minor, 1);
  uint32_t feature = 0;
  EXPECT_EQ(SyncReadFeature(0x70737973, 2, &feature), SYNCERR_NONE);
  EXPECT_EQ(feature, 8u);

  uint8_t handle = 0;
  EXPECT_EQ(SyncOpenDB("Missing", 0, &handle, 0x90), SYNCERR_NOT_FOUND);
  uint8_t data[1] = {1};
  RecordInfo rec{};
  rec.m_RecSize = 1;
  rec.m_pBytes = data;
  EXPECT_EQ(SyncWriteRec(&rec), SYNCERR_READ_ONLY);
  EXPECT_EQ(SyncPurgeDeletedRecs(1), SYNCERR_UNKNOWN);
  EXPECT_TRUE(hotsync::handheldLost().empty());
}

TEST_F(DesktopLink, ARecordLongerThanItsSizeEndsTheLink) {
  connect([](const dlp::Request& r) {
    dlp::Writer w;
    w.u32(5).u16(0).u16(4).u8(0).u8(0).bytes(std::vector<uint8_t>(20, 'x'));  // says 4, carries 20
    return frame({r.command, 0, {{dlp::kFirstArgId, w.out()}}});
  });
  std::vector<uint8_t> buffer(0xFFFF);
  EXPECT_EQ(readFirstRecord(&buffer), SYNCERR_NOT_CONNECTED);
  EXPECT_NE(hotsync::handheldLost().find("longer than its size"), std::string::npos) << hotsync::handheldLost();
  // Gone is gone: later calls do not touch the link.
  uint16_t count = 0;
  EXPECT_EQ(SyncGetDBRecordCount(1, &count), SYNCERR_NOT_CONNECTED);
}

TEST_F(DesktopLink, AnOversizedFrameIsRefusedBeforeItIsRead) {
  connect([](const dlp::Request&) { return std::vector<uint8_t>{1, 1, 0x7F, 0xFF, 0xFF, 0xFF}; });
  std::vector<uint8_t> buffer(0xFFFF);
  EXPECT_EQ(readFirstRecord(&buffer), SYNCERR_NOT_CONNECTED);
  EXPECT_NE(hotsync::handheldLost().find("more than the link allows"), std::string::npos) << hotsync::handheldLost();
}

TEST_F(DesktopLink, AHandheldThatHangsUpIsReportedWhenTheHotSyncEnds) {
  connect([](const dlp::Request&) { return std::vector<uint8_t>{}; });
  uint16_t count = 0;
  EXPECT_EQ(SyncGetDBRecordCount(1, &count), SYNCERR_NOT_CONNECTED);
  hotsync::disconnectHandheld();
  EXPECT_NE(hotsync::handheldLost().find("closed the link"), std::string::npos) << hotsync::handheldLost();
}

}  // namespace
