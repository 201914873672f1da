// Cancel while the sync's HTTP client is inside a request: the request must
// end at once instead of waiting for the server.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http/internet_error.h"
#include "recording_views.h"
#include "scripted_server.h"
#include "ui/progress/conduit_progress.h"
#include "ui/progress/proxy_prompt_relay.h"

namespace {

using namespace std::chrono_literals;

TEST(ProgressCancelTest, CancelAbortsTheRequestInFlight) {
  tarvo::test::RecordingViews views;

  tarvo::test::ScriptedServer server;  // answers only when the test lets it
  server.Queue({"late", 200, true});

  CConduitProgress dialog;
  dialog.m_http.SetTimeout(30000);
  dialog.m_http.SetUrl(server.Url("/sync"));
  bool failed = false;
  std::thread worker([&] {
    std::string result;
    HeaderLines responseHeaders;
    try {
      dialog.m_http.Post("cmd=login", HeaderLines{}, result, responseHeaders);
    } catch (const CInternetException&) {
      failed = true;
    }
  });

  for (int i = 0; i < 2000 && !dialog.m_http.IsBlocked(); ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(dialog.m_http.IsBlocked());
  dialog.OnCancel();
  worker.join();  // returns because of the abort: the server still holds its answer
  EXPECT_TRUE(failed);
  EXPECT_TRUE(dialog.m_cancel);
  EXPECT_FALSE(dialog.m_http.IsBlocked());
  dialog.OnCancel();  // nothing in flight any more: only the flag
  server.Release();
}

// The proxy prompt: asked from the request's thread, shown by the HotSync
// thread at its next pump; Cancel wakes a request waiting for it.
TEST(ProgressCancelTest, ProxyPromptsReachTheHotSyncThreadAndCancelWakesThem) {
  int shown = 0;
  ProxyPromptRelay relay(
      [&](ProxyCredentials& credentials) {
        ++shown;
        credentials.user = "typed";
        return true;
      },
      std::this_thread::get_id());

  ProxyCredentials asked;
  bool confirmed = false;
  std::thread worker([&] { confirmed = relay.Request(asked); });
  while (shown == 0) {
    relay.Serve();  // the HotSync thread's pump
    std::this_thread::sleep_for(1ms);
  }
  worker.join();
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(asked.user, "typed");

  ProxyCredentials waiting;
  bool answered = true;
  std::thread stuck([&] { answered = relay.Request(waiting); });
  relay.Cancel();  // no pump ever serves it
  stuck.join();
  EXPECT_FALSE(answered);
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(relay.Request(waiting)) << "declined on its own thread too, once cancelled";
}

}  // namespace
