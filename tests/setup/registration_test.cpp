// Self-registration through recording stand-ins for the conduit manager and
// the HotSync manager, and through the real registration store.
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hotsync/condmgr.h"
#include "setup/self_registration.h"
#include "xdg_world.h"

namespace tarvo::setup {
namespace {

using Calls = std::vector<std::string>;
using Store = std::map<std::string, std::map<std::string, std::string>>;

// Records each call as "operation creator value"; the registration step
// `failAt` (1..8, 0: none) answers -1. With `forward` the calls that do not
// fail reach the platform's store.
class RecordingConduitManager final : public ConduitManager {
 public:
  explicit RecordingConduitManager(int failAt = 0, bool forward = false) : failAt_(failAt), forward_(forward) {}
  int32_t beginUpdate() override {
    return note("begin", "", "", [] { return CmBeginUpdate(); });
  }
  int32_t endUpdate() override {
    return note("end", "", "", [] { return CmEndUpdate(); });
  }
  int32_t installCreator(const char* c, int32_t t) override {
    return step("67", c, std::to_string(t), [&] { return CmInstallCreator(c, t); });
  }
  int32_t setModule(const char* c, const char* v) override {
    return step("46", c, v, [&] { return CmSetCreatorModule(c, v); });
  }
  int32_t setDirectory(const char* c, const char* v) override {
    return step("48", c, v, [&] { return CmSetCreatorDirectory(c, v); });
  }
  int32_t setName(const char* c, const char* v) override {
    return step("54", c, v, [&] { return CmSetCreatorName(c, v); });
  }
  int32_t setFile(const char* c, const char* v) override {
    return step("50", c, v, [&] { return CmSetCreatorFile(c, v); });
  }
  int32_t setRemote(const char* c, const char* v) override {
    return step("63", c, v, [&] { return CmSetCreatorRemote(c, v); });
  }
  int32_t setPriority(const char* c, int32_t v) override {
    return step("44", c, std::to_string(v), [&] { return CmSetCreatorPriority(c, v); });
  }
  int32_t setTitle(const char* c, const char* v) override {
    return step("58", c, v, [&] { return CmSetCreatorTitle(c, v); });
  }
  int32_t remove(const char* c) override {
    return note("65", c, "", [&] { return CmRemoveConduitByCreatorID(c); });
  }

  Calls calls;

 private:
  template <typename Real>
  int32_t note(const std::string& op, const std::string& creator, const std::string& value, Real&& real) {
    calls.push_back(op + " " + creator + " " + value);
    return forward_ ? real() : 0;
  }
  template <typename Real>
  int32_t step(const std::string& op, const std::string& creator, const std::string& value, Real&& real) {
    if (++steps_ == failAt_) {
      calls.push_back(op + " " + creator + " " + value + " -> -1");
      return -1;
    }
    return note(op, creator, value, real);
  }
  int failAt_;
  bool forward_;
  int steps_ = 0;
};

// A HotSync manager that answers `answers` quit requests before it is gone.
class RecordingSyncHost final : public SyncHost {
 public:
  explicit RecordingSyncHost(int answers) : answers_(answers) {}
  bool requestQuit() override {
    calls.push_back("quit");
    return answers_-- > 0;
  }
  void pause(std::chrono::milliseconds time) override { calls.push_back("wait " + std::to_string(time.count())); }
  void start() override { calls.push_back("start -r"); }
  Calls calls;

 private:
  int answers_;
};

const Calls kEightValues = {"67 Tarv 1", "46 Tarv /opt/t/libtarvoconduit.so.1",
                            "48 Tarv ",  "54 Tarv Tarvo",
                            "50 Tarv ",  "63 Tarv ",
                            "44 Tarv 0", "58 Tarv "};

TEST(SelfRegistration, ClosesRemovesWritesTheEightValuesInOrderAndStarts) {
  RecordingConduitManager manager;
  RecordingSyncHost host(1);
  EXPECT_EQ(selfRegister(manager, host, "/opt/t/libtarvoconduit.so.1"), kSelfRegOk);
  Calls expected = {"begin  ", "65 sync ", "65 Tarv "};
  expected.insert(expected.end(), kEightValues.begin(), kEightValues.end());
  expected.push_back("end  ");
  EXPECT_EQ(manager.calls, expected);
  // One quit answered, then none: the manager is gone and is started again.
  EXPECT_EQ(host.calls, (Calls{"quit", "wait 500", "quit", "start -r"}));

  // Unregistering closes, removes both and starts again too; with no
  // manager running the close is one unanswered request.
  RecordingConduitManager removing;
  RecordingSyncHost none(0);
  EXPECT_EQ(selfUnregister(removing, none), kSelfRegOk);
  EXPECT_EQ(removing.calls, (Calls{"begin  ", "65 sync ", "65 Tarv ", "end  "}));
  EXPECT_EQ(none.calls, (Calls{"quit", "start -r"}));
}

TEST(SelfRegistration, AManagerThatNeverQuitsIsAskedTwentyTimesAndReported) {
  RecordingConduitManager manager;
  RecordingSyncHost stubborn(1000);
  EXPECT_EQ(selfRegister(manager, stubborn, "/x.so"), kSelfRegHostDidNotQuit);
  EXPECT_EQ(std::count(stubborn.calls.begin(), stubborn.calls.end(), "quit"), kCloseRequests);
  EXPECT_EQ(std::count(stubborn.calls.begin(), stubborn.calls.end(), "wait 500"), kCloseRequests);
  // The registration is written all the same and the start still tried.
  EXPECT_EQ(manager.calls.size(), 12u);
  EXPECT_EQ(stubborn.calls.back(), "start -r");
}

TEST(SelfRegistration, AFailingStepEndsTheRegistrationThere) {
  for (int failAt = 1; failAt <= 8; ++failAt) {
    RecordingConduitManager manager(failAt);
    EXPECT_EQ(registerConduit(manager, "/opt/t/libtarvoconduit.so.1"), -1) << failAt;
    Calls expected(kEightValues.begin(), kEightValues.begin() + failAt);
    expected.back() += " -> -1";
    EXPECT_EQ(manager.calls, expected) << "failing step " << failAt;
  }
}

class RegistrationStore : public ::testing::Test {
 protected:
  static Store store() {
    Store all;
    EXPECT_TRUE(hotsync::allRegistrations(&all));
    return all;
  }
  // An old registration of both creators the conduit removes.
  static void writeOld() {
    for (const char* c : {"sync", "Tarv", "Othr"}) {
      ASSERT_EQ(CmInstallCreator(c, 1), 0);
      ASSERT_EQ(CmSetCreatorModule(c, "/old/lib.so"), 0);
    }
  }
  test::XdgWorld world_{"tarvo-registration"};
};

TEST_F(RegistrationStore, AFailingStepKeepsExactlyTheValuesBeforeIt) {
  const std::vector<std::string> keys = {"type", "module", "directory", "name", "file", "remote", "priority", "title"};
  for (int failAt = 1; failAt <= 9; ++failAt) {  // 9: none fails
    writeOld();
    RecordingConduitManager manager(failAt, true);
    RecordingSyncHost none(0);
    selfRegister(manager, none, "/new/libtarvoconduit.so.1");
    const Store all = store();
    EXPECT_EQ(all.count("sync"), 0u);
    EXPECT_EQ(all.at("Othr").at("module"), "/old/lib.so");  // other conduits are left alone
    std::map<std::string, std::string> expected;
    for (int i = 0; i < failAt - 1; ++i) expected[keys[i]] = "";
    if (failAt > 1) expected["type"] = "1";
    if (failAt > 2) expected["module"] = "/new/libtarvoconduit.so.1";
    if (failAt > 4) expected["name"] = "Tarvo";
    if (failAt > 7) expected["priority"] = "0";
    if (failAt == 1) {
      EXPECT_EQ(all.count("Tarv"), 0u);
    } else {
      EXPECT_EQ(all.at("Tarv"), expected) << "failing step " << failAt;
    }
  }
}

// A registration killed half-way leaves the store as it was, and its lock
// does not outlive it.
TEST_F(RegistrationStore, AKilledRegistrationLeavesTheOldStore) {
  writeOld();
  const Store before = store();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    CmBeginUpdate();
    CmRemoveConduitByCreatorID("Tarv");
    CmInstallCreator("Tarv", 1);
    CmSetCreatorModule("Tarv", "/half/lib.so");
    _exit(0);  // no CmEndUpdate: dies mid-registration
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(store(), before);

  RecordingConduitManager manager(0, true);
  RecordingSyncHost none(0);
  EXPECT_EQ(selfRegister(manager, none, "/new/lib.so"), kSelfRegOk);
  EXPECT_EQ(store().at("Tarv").at("module"), "/new/lib.so");
  EXPECT_EQ(store().at("Tarv").size(), 8u);
}

}  // namespace
}  // namespace tarvo::setup
