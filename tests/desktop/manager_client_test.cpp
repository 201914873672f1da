// The client against a manager played on the real socket path: a
// QLocalServer that sends the protocol's lines.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "desktop/manager_client.h"
#include "hotsync/manager.h"
#include "manager_lines.h"
#include "temp_folder.h"

namespace {

using namespace tarvo::desktop;

class PlayedManager : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    std::string error;
    socketPath_ = QString::fromStdString((hotsync::managerDir(&error) / "manager.sock").string());
    ASSERT_FALSE(socketPath_.isEmpty()) << error;
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  void listen() {
    server_ = std::make_unique<QLocalServer>();
    ASSERT_TRUE(server_->listen(socketPath_)) << server_->errorString().toStdString();
  }
  // The next caller and its request line.
  QLocalSocket* accept(QByteArray* request) {
    // The event loop runs meanwhile: the client does its work there.
    if (!QTest::qWaitFor([&] { return server_->hasPendingConnections(); }, 10000)) return nullptr;
    QLocalSocket* caller = server_->nextPendingConnection();
    if (!QTest::qWaitFor([&] { return caller->canReadLine(); }, 10000)) return nullptr;
    *request = caller->readLine();
    return caller;
  }

  tarvo::test::TempFolder runtime_{"tarvo-desktop-run"};
  QString socketPath_;
  std::unique_ptr<QLocalServer> server_;
};

TEST_F(PlayedManager, FollowsTheStreamAcrossSplitWritesAndComesBackAfterARestart) {
  SocketManagerClient client;
  QSignalSpy events(&client, &ManagerClient::eventArrived);
  QSignalSpy lost(&client, &ManagerClient::lost);
  client.start();
  ASSERT_EQ(lost.count(), 1);  // nothing listens yet
  EXPECT_EQ(lost.at(0).at(0).toString(), "The HotSync manager is not running");

  // The manager starts: its socket appearing is enough to connect.
  listen();
  QByteArray request;
  QLocalSocket* caller = accept(&request);
  ASSERT_NE(caller, nullptr);
  EXPECT_EQ(request, "{\"request\":\"events\",\"v\":1}\n");
  // A line cut in two writes is one event; two lines in one write are two.
  const QByteArray first = tarvo::test::kFirstState + '\n';
  caller->write(first.left(100));
  caller->flush();
  QTest::qWait(20);
  const QList<QByteArray> lines = tarvo::test::hotSyncLines(7, 0, "ok", "HotSync completed");
  caller->write(first.mid(100) + lines[0] + '\n' + lines[1] + '\n' + "not json\n");
  caller->flush();
  ASSERT_TRUE(QTest::qWaitFor([&] { return events.count() == 3; }, 10000));
  EXPECT_EQ(events.at(0).at(0).toJsonObject().value("event"), "state");
  EXPECT_EQ(events.at(2).at(0).toJsonObject().value("event"), "started");

  // The manager quits and comes back: the client follows it again.
  caller->disconnectFromServer();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() == 2; }, 10000));
  server_.reset();
  QLocalServer::removeServer(socketPath_);
  listen();
  caller = accept(&request);
  ASSERT_NE(caller, nullptr);
  EXPECT_EQ(request, "{\"request\":\"events\",\"v\":1}\n");
}

TEST_F(PlayedManager, AManagerOfAnotherVersionIsReportedInItsOwnWords) {
  listen();
  SocketManagerClient client;
  QSignalSpy events(&client, &ManagerClient::eventArrived);
  QSignalSpy lost(&client, &ManagerClient::lost);
  client.start();
  QByteArray request;
  QLocalSocket* caller = accept(&request);
  ASSERT_NE(caller, nullptr);
  caller->write(
      R"({"v":2,"reply":"error","error":"unsupported-version","message":"this manager speaks protocol version 2","versions":[2]})"
      "\n");
  caller->flush();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() == 1; }, 10000));
  EXPECT_EQ(lost.at(0).at(0).toString(), "this manager speaks protocol version 2");
  EXPECT_EQ(events.count(), 0);
}

TEST_F(PlayedManager, ARequestGetsItsReplyOrSaysNoManagerRuns) {
  SocketManagerClient client;
  QJsonObject reply;
  client.request("quit", [&](const QJsonObject& r) { reply = r; });
  EXPECT_EQ(reply.value("error"), "no-manager");

  listen();
  bool answered = false;
  client.request("quit", [&](const QJsonObject& r) {
    reply = r;
    answered = true;
  });
  QByteArray request;
  QLocalSocket* caller = accept(&request);
  ASSERT_NE(caller, nullptr);
  EXPECT_EQ(request, "{\"request\":\"quit\",\"v\":1}\n");
  caller->write("{\"v\":1,\"reply\":\"quit\"}\n");
  caller->flush();
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 10000));
  EXPECT_EQ(reply.value("reply"), "quit");

  // A manager that closes without a reply is an answer too.
  answered = false;
  client.request("reload", [&](const QJsonObject& r) {
    reply = r;
    answered = true;
  });
  caller = accept(&request);
  ASSERT_NE(caller, nullptr);
  caller->disconnectFromServer();
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 10000));
  EXPECT_EQ(reply.value("error"), "no-manager");
}

}  // namespace
