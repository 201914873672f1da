// The manager's state as its events change it: a HotSync's own report
// cannot speak for the manager, the bar never goes back, and a subscriber
// reads every event in order after the state it started from.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "host/manager_status.h"
#include "host/manager_words.h"
#include "time_zone.h"

namespace tarvo::test {
namespace {

using host::stateInWords;
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

// The words a person reads: a state as the manager sends it, the running
// HotSync's optional fields missing, a port that cannot be opened with its
// remedy, times in the local zone.
TEST(ManagerWords, TheStateInWords) {
  testing_tz::ZoneScope zone("America/Sao_Paulo");
  const json state = json::parse(R"({
    "manager": {"pid": 4711, "started": "2026-12-08T17:02:11Z", "quitting": false},
    "ports": [
      {"port": "usb:", "link": "usb", "condition": "waiting", "since": "2026-12-08T17:02:11Z"},
      {"port": "/dev/ttyS0", "link": "serial", "condition": "unavailable", "since": "2026-12-08T17:02:11Z",
       "reason": "/dev/ttyS0: Permission denied", "remedy": "add yourself to the dialout group"},
      {"port": "net:127.0.0.1:14238", "link": "network", "condition": "busy", "hotsync": 7}],
    "hotsync": {"id": 7, "origin": "handheld", "port": "net:127.0.0.1:14238", "link": "network", "pid": 5120,
                "queued": "2026-12-08T18:00:00Z", "started": "2026-12-08T18:00:01Z"},
    "queue": [{"id": 8, "origin": "command", "port": "", "link": "", "queued": "2026-12-08T18:00:02Z"}],
    "last": {"id": 6, "origin": "handheld", "port": "usb:", "link": "usb", "user": "Ana Souza",
             "started": "2026-12-08T17:50:00Z", "ended": "2026-12-08T17:51:00Z", "status": 5,
             "result": "cancelled", "words": "HotSync cancelled"}})");
  EXPECT_EQ(stateInWords(state),
            "HotSync manager 4711, running since 2026-12-08 14:02\n"
            "  waiting for a handheld on usb:\n"
            "  cannot use /dev/ttyS0: /dev/ttyS0: Permission denied; trying again every few seconds\n"
            "    add yourself to the dialout group\n"
            "  busy with HotSync 7 on net:127.0.0.1:14238\n"
            "Now: HotSync 7 over the network\n"
            "Waiting: HotSync 8 (handed over by a command)\n"
            "Last: HotSync 6 of Ana Souza over USB, ended 2026-12-08 14:51: HotSync cancelled\n");

  json running = state;
  running["hotsync"]["user"] = "Ana Souza";
  running["hotsync"]["percent"] = 42;
  running["hotsync"]["words"] = "Downloading news";
  running["hotsync"]["conduit"] = {{"creator", "Tarv"}, {"name", "Tarvo Sync"}};
  running["ports"] = json::array();
  running["queue"] = json::array();
  running["last"] = nullptr;
  EXPECT_EQ(stateInWords(running),
            "HotSync manager 4711, running since 2026-12-08 14:02\n"
            "Watches no port: only HotSyncs handed over by tarvo-hotsync sync run\n"
            "Now: HotSync 7 of Ana Souza over the network, 42% (Downloading news), conduit Tarvo Sync\n");
}

}  // namespace
}  // namespace tarvo::test
