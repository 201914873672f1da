// SyncYieldCycles and SyncReadSysDateTime from a worker thread while the
// HotSync thread works on the handheld.
#include <atomic>
#include <thread>

#include "hotsync/syncmgr.h"
#include "test_handheld.h"

using namespace testing_hh;

namespace {

class Yield : public TempRoot {
 protected:
  void TearDown() override {
    hotsync::setYieldPump({});
    TempRoot::TearDown();
  }
};

TEST_F(Yield, PumpRunsOnlyOnTheHotSyncThreadAndMayCallBack) {
  connect(makeHandheld({recordDb("A")}));
  hotsync::setHotSyncThread();
  int pumped = 0;
  hotsync::setYieldPump([&] {
    ++pumped;
    SysDateTime now{};
    SyncReadSysDateTime(&now);  // the pump runs without the library's lock
  });

  std::atomic<bool> stop{false};
  std::atomic<int> workerCalls{0};
  std::thread worker([&] {
    while (!stop.load()) {
      SyncYieldCycles(1);
      SysDateTime now{};
      SyncReadSysDateTime(&now);
      ++workerCalls;
    }
  });
  int mainYields = 0;
  for (int i = 0; i < 300; ++i) {
    uint8_t h = 0;
    ASSERT_EQ(SyncOpenDB("A", 0, &h, eDbRead | eDbWrite), SYNCERR_NONE);
    uint8_t byte = static_cast<uint8_t>(i);
    RecordInfo rec{};
    rec.m_FileHandle = h;
    rec.m_RecSize = 1;
    rec.m_pBytes = &byte;
    ASSERT_EQ(SyncWriteRec(&rec), SYNCERR_NONE);
    SyncYieldCycles(10);
    ++mainYields;
    ASSERT_EQ(SyncCloseDB(h), SYNCERR_NONE);
  }
  // Let the worker run at least a little, however the scheduler behaves.
  while (workerCalls.load() < 10) std::this_thread::yield();
  stop = true;
  worker.join();
  EXPECT_EQ(pumped, mainYields);
  EXPECT_EQ(hotsync::yieldCount(), static_cast<uint64_t>(mainYields + workerCalls.load()));
}

}  // namespace
