// CfgConduit as the host calls it: the argument checks in their order, and
// the answer written into the record when nobody can be asked.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>

#include "hotsync/conduit_api.h"
#include "settings/settings_store.h"
#include "xdg_world.h"

namespace {

class CfgConduitExport : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TARVO_NO_TTY", "1", 1);
    setenv("TARVO_NO_GUI", "1", 1);
    library = dlopen(TARVO_CONDUIT_LIB, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(library, nullptr) << dlerror();
    cfg = reinterpret_cast<CfgConduitFn>(dlsym(library, "CfgConduit"));
    ASSERT_NE(cfg, nullptr);
    info.dwVersion = 1;
    info.dwSize = sizeof info;
    info.syncNew = 77;
    info.syncPref = 77;
  }
  void TearDown() override {
    if (library != nullptr) dlclose(library);
    unsetenv("TARVO_NO_TTY");
    unsetenv("TARVO_NO_GUI");
  }

  tarvo::test::XdgWorld world{"tarvo-cfg-export"};
  void* library = nullptr;
  CfgConduitFn cfg = nullptr;
  CfgConduitInfoType info{};
  uint32_t size = sizeof(CfgConduitInfoType);
};

TEST_F(CfgConduitExport, BadArgumentsAreRefusedInOrderAndTheRecordIsLeftAlone) {
  uint32_t wrongSize = 351;
  EXPECT_EQ(cfg(1, nullptr, nullptr), 0x1074);
  EXPECT_EQ(cfg(1, &info, nullptr), 0x1078);
  EXPECT_EQ(cfg(1, &info, &wrongSize), 0x107A);
  EXPECT_EQ(cfg(1, &info, &size), 0x1079);
  info.dwVersion = 2;
  EXPECT_EQ(cfg(0, &info, &size), 0x107B);
  EXPECT_EQ(info.syncNew, 77);
  EXPECT_EQ(info.syncPref, 77);
  EXPECT_EQ(size, 352u);
}

TEST_F(CfgConduitExport, UnattendedRunAnswersFromTheStoreAndSavesNothing) {
  // A name that fills its whole field, with no zero: read to the field's end.
  std::memset(info.szUser, 'a', sizeof info.szUser);
  const std::string user(sizeof info.szUser, 'a');
  tarvo::AppSettings().WriteInt(user, "proximo", 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(cfg(0, &info, &size), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("nothing was saved"), std::string::npos);
  EXPECT_EQ(info.syncNew, eDoNothing);
  EXPECT_EQ(info.syncPref, eTemporaryPreference);
  EXPECT_EQ(tarvo::AppSettings().List().value().size(), 1u);

  tarvo::AppSettings().WriteInt(user, "proximo", 1);
  EXPECT_EQ(cfg(0, &info, &size), 0);
  EXPECT_EQ(info.syncNew, eFast);
}

}  // namespace
