// The manager's state as its events change it: a HotSync's own report
// cannot speak for the manager, the bar never goes back, and a subscriber
// reads every event in order after the state it started from.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "host/manager_status.h"

namespace tarvo::test {
namespace {

using nlohmann::json;

// What a subscriber read so far, one event a line.
std::vector<json> readEvents(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  std::vector<json> events;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) events.push_back(json::parse(line));
  return events;
}

TEST(ManagerStatusTest, AHotSyncsReportChangesOnlyWhatItMayAndTheBarNeverGoesBack) {
  host::ManagerStatus status;
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  const int id = status.queued("handheld", "usb:", "usb");
  status.subscribe(pair[0]);
  status.started(id, 4242);
  status.reported(R"({"event":"user","user":"Ana Souza"})");
  status.reported(R"({"event":"progress","percent":40,"words":"Notícias"})");
  status.reported(R"({"event":"progress","percent":30,"words":"Notícias"})");  // a second conduit's own bar
  status.reported(R"({"event":"progress","percent":250})");
  // Not a HotSync's to say, and not JSON at all.
  status.reported(R"({"event":"ended","hotsync":{"status":0}})");
  status.reported(R"({"event":"quitting"})");
  status.reported("not json");
  EXPECT_EQ(status.state()["hotsync"]["user"], "Ana Souza");
  EXPECT_EQ(status.state()["hotsync"]["percent"], 100);
  EXPECT_FALSE(status.state()["manager"]["quitting"].get<bool>());
  status.ended(5);

  const std::vector<json> events = readEvents(pair[1]);
  std::vector<std::string> types;
  for (const json& e : events) types.push_back(e["event"]);
  EXPECT_EQ(types, (std::vector<std::string>{"state", "started", "user", "progress", "progress", "ended"}));
  EXPECT_EQ(events[0]["state"]["queue"][0]["id"], id);
  EXPECT_EQ(events[3]["percent"], 40);
  EXPECT_EQ(events[4]["percent"], 100);
  for (size_t i = 1; i < events.size(); ++i) EXPECT_EQ(events[i]["seq"], events[i - 1]["seq"].get<int>() + 1);
  const json last = status.state()["last"];
  EXPECT_EQ(last["result"], "cancelled");
  EXPECT_EQ(last["words"], "HotSync cancelled");
  EXPECT_FALSE(last.contains("percent"));
  EXPECT_TRUE(status.state()["hotsync"].is_null());
  ::close(pair[1]);
}

}  // namespace
}  // namespace tarvo::test
