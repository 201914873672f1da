// A request that does not end by itself: Abort from the other thread, the
// time-out, a second POST meanwhile, tearing the client down under it, and
// the keep-alive notifications that flow while it waits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "http/thttp.h"
#include "loopback.h"

namespace {

using http_test::ScriptedServer;

const HeaderLines kFormHeaders{"Content-Type: application/x-www-form-urlencoded", "Content-Length: 3"};

// A POST running on its own thread, as the page fetch worker runs it.
class Worker {
 public:
  explicit Worker(CTHttp& http) {
    m_thread = std::thread([this, &http] {
      try {
        http.Post("a=1", kFormHeaders, m_result, m_headers);
      } catch (const CInternetException& e) {
        m_error = e.m_dwError;
      }
    });
  }
  ~Worker() { Join(); }
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }
  uint32_t error() const { return m_error; }
  const std::string& result() const { return m_result; }

 private:
  std::string m_result;
  HeaderLines m_headers;
  uint32_t m_error = 0;
  std::thread m_thread;
};

class AbortTest : public ::testing::Test {
 protected:
  void SetUp() override { http_test::ClearProxyEnvironment(); }
  void TearDown() override { g_pMobileDeviceSync = nullptr; }

  // Never answers until released (or the test ends).
  ScriptedServer hanging{[this](const auto&) {
    hanging.WaitForRelease();
    return std::string();
  }};
};

TEST_F(AbortTest, AbortFromAnotherThreadEndsTheRequestAndLeavesTheClientUsable) {
  CTHttp http;
  http.SetUrl(hanging.Url("/slow"));
  Worker worker(http);
  ASSERT_TRUE(hanging.WaitForRequests(1));
  EXPECT_TRUE(http.IsBlocked());

  http.Abort();
  EXPECT_FALSE(http.IsBlocked());
  worker.Join();
  EXPECT_EQ(worker.error(), kErrorInternetOperationCancelled);
  EXPECT_FALSE(http.IsBlocked());
  EXPECT_EQ(http.m_pConnection, nullptr);
  EXPECT_EQ(http.m_pRequest, nullptr);

  ScriptedServer good([](const auto&) { return ScriptedServer::HttpAnswer("again"); });
  http.SetUrl(good.Url("/"));
  Worker next(http);
  next.Join();
  EXPECT_EQ(next.error(), 0u);
  EXPECT_EQ(next.result(), "again");
}

TEST_F(AbortTest, TheTimeoutEndsARequestThatMakesNoProgress) {
  CTHttp http;
  http.SetTimeout(1000);
  http.SetUrl(hanging.Url("/slow"));
  Worker worker(http);
  worker.Join();  // ends by itself, through the no-progress time-out
  EXPECT_EQ(worker.error(), kErrorInternetTimeout);
  EXPECT_FALSE(http.IsBlocked());
  EXPECT_EQ(http.m_pConnection, nullptr);
}

TEST_F(AbortTest, ASecondPostWhileOneIsInFlightIsRefusedWithoutDisturbingIt) {
  ScriptedServer slow(
      [&](const auto&) { return slow.WaitForRelease() ? ScriptedServer::HttpAnswer("first") : std::string(); });
  CTHttp http;
  http.SetUrl(slow.Url("/"));
  Worker first(http);
  ASSERT_TRUE(slow.WaitForRequests(1));

  std::string result = "mine";
  HeaderLines headers;
  try {
    http.Post("b=2", kFormHeaders, result, headers);
    ADD_FAILURE() << "second POST was accepted";
  } catch (const CInternetException& e) {
    EXPECT_EQ(e.m_dwError, kErrorConnectionCountLimit);
  }
  EXPECT_EQ(result, "mine");
  EXPECT_TRUE(http.IsBlocked());

  slow.Release();
  first.Join();
  EXPECT_EQ(first.error(), 0u);
  EXPECT_EQ(first.result(), "first");
}

TEST_F(AbortTest, DestroyingTheClientBreaksOffARequestInFlight) {
  auto http = std::make_unique<CTHttp>();
  http->SetUrl(hanging.Url("/slow"));
  Worker worker(*http);
  ASSERT_TRUE(hanging.WaitForRequests(1));
  http.reset();  // returns once the worker has left the client
  worker.Join();
  EXPECT_EQ(worker.error(), kErrorInternetOperationCancelled);
}

TEST_F(AbortTest, NotificationsKeepTheHandheldLinkAliveWhileTheServerIsSilent) {
  http_test::CountingDevice device;
  g_pMobileDeviceSync = &device;
  CTHttp http;
  http.SetUrl(hanging.Url("/slow"));
  Worker worker(http);
  ASSERT_TRUE(hanging.WaitForRequests(1));
  const int atRequest = device.yields;
  for (int i = 0; i < 200 && device.yields < atRequest + 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_GE(device.yields, atRequest + 3) << "no keep-alive while waiting for the answer";
  http.Abort();
  worker.Join();
  EXPECT_EQ(device.yieldsOfOtherThanOne, 0);
}

}  // namespace
