#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <thread>

#include "http/internet_error.h"
#include "loopback.h"
#include "ui/progress/conduit_progress.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/proxy_prompt_window.h"

namespace {

using http_test::ScriptedServer;
using tarvo::qt::ProxyPromptWindow;

// What the person at the screen does with each proxy prompt that shows.
struct Person {
  Person(bool confirm, QString user, QString password, QString domain)
      : confirm(confirm), user(std::move(user)), password(std::move(password)), domain(std::move(domain)) {}

  bool confirm;
  QString user, password, domain;
  int prompts = 0;
  QString shownUser;
  QObject alive;  // pending looks end with the person

  // Answers every prompt that shows; past the third one it declines, so a
  // proxy that keeps asking cannot hold the test.
  void AnswerPrompts() {
    QTimer::singleShot(1, &alive, [this] {
      if (auto* prompt = qobject_cast<ProxyPromptWindow*>(QApplication::activeModalWidget())) {
        ++prompts;
        shownUser = prompt->user()->text();
        prompt->user()->setText(user);
        prompt->password()->setText(password);
        prompt->domain()->setText(domain);
        confirm&& prompts <= 3 ? prompt->accept() : prompt->reject();
      }
      AnswerPrompts();
    });
  }
};

// A POST through the dialog's client on a worker thread, while this thread
// pumps the dialog as the HotSync thread's yields do.
uint32_t PostPumping(CConduitProgress& dialog, const std::string& url, Person& person, std::string& result) {
  std::atomic<bool> done{false};
  uint32_t error = 0;
  std::thread worker([&] {
    HeaderLines headers;
    try {
      dialog.m_http.SetUrl(url);
      dialog.m_http.Post("a=1", {}, result, headers);
    } catch (const CInternetException& e) {
      error = e.m_dwError;
    }
    done = true;
  });
  person.AnswerPrompts();
  while (!done) {
    dialog.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  worker.join();
  return error;
}

class ProxyPromptTest : public testing::Test {
 protected:
  void SetUp() override {
    http_test::ClearProxyEnvironment();
    if (!proxy.running()) GTEST_SKIP() << "tinyproxy did not start";
    SetProgressViewFactory([] { return std::make_unique<tarvo::qt::QtProgressView>(); });
  }
  void TearDown() override { SetProgressViewFactory({}); }

  http_test::Tinyproxy proxy;  // wants "user"/"pass"
  ScriptedServer server{[](const tarvo::test::RecordedRequest& request) {
    return ScriptedServer::HttpAnswer(request.Header("Via").empty() ? "direct" : "via proxy");
  }};
};

TEST_F(ProxyPromptTest, ConfirmedCredentialsResendTheRequest) {
  CConduitProgress dialog;
  dialog.m_http.SetProxy(proxy.Address());
  dialog.m_http.SetProxyUser("old");
  Person person{true, "user", "pass", ""};
  std::string result;
  EXPECT_EQ(PostPumping(dialog, server.Url("/sync.asp"), person, result), 0u);
  EXPECT_EQ(result, "via proxy");
  EXPECT_EQ(person.prompts, 1);
  EXPECT_EQ(person.shownUser, "old");
  EXPECT_EQ(dialog.m_http.m_proxyUser, "user");
  EXPECT_EQ(server.Requests().size(), 1u) << "only the resent request passed the proxy";
}

TEST_F(ProxyPromptTest, DeclinedOrCancelledPromptsEndTheRequest) {
  CConduitProgress dialog;
  dialog.m_http.SetProxy(proxy.Address());
  Person person{false, "user", "pass", ""};
  std::string result = "before";
  EXPECT_EQ(PostPumping(dialog, server.Url("/sync.asp"), person, result), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(dialog.m_http.m_httpStatus, 407u);
  EXPECT_EQ(result, "before");
  EXPECT_EQ(person.prompts, 1);

  // A domain goes in front of the user, as the transport expects it.
  Person withDomain{true, "user", "pass", "CORP"};
  EXPECT_EQ(PostPumping(dialog, server.Url("/sync.asp"), withDomain, result), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(dialog.m_http.m_proxyUser, "CORP\\user");

  // Cancel while the request waits for its prompt: it gives up at once.
  dialog.OnCancel();
  Person nobody{true, "user", "pass", ""};
  EXPECT_EQ(PostPumping(dialog, server.Url("/sync.asp"), nobody, result), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(nobody.prompts, 0);
}

}  // namespace
