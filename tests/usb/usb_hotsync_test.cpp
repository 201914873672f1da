// USB handhelds above the seam over libusb: played handhelds on a played bus
// (TARVO_PLAYED_USB), reached through the whole host as `usb:`.
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "files.h"
#include "host_fixture.h"
#include "serial_line.h"
#include "waits.h"

namespace tarvo::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class UsbTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    fs::create_directories(bus_);
  }
  // A handheld appears on the bus at BUS-ADDRESS `place`.
  void plugIn(const std::string& place, const fs::path& handheld, const std::string& more = "") {
    std::ofstream(bus_ / (place + ".new")) << "handheld=" << handheld.string() << "\n" << more;
    fs::rename(bus_ / (place + ".new"), bus_ / place);  // whole, as a device appears
  }
  std::map<std::string, std::string> env(std::map<std::string, std::string> more = {}) const {
    more["TARVO_PLAYED_USB"] = bus_.string();
    return more;
  }
  ProgramResult syncOverUsb(const std::map<std::string, std::string>& extra, std::vector<std::string> args = {}) {
    std::vector<std::string> all = {
        "sync", "--no-gui", "--online", "--port", "usb:", "--wait", "60", "--conduit", TARVO_STUB_CONDUIT};
    all.insert(all.end(), args.begin(), args.end());
    return host(all, env(extra));
  }
  std::string newsOf(const fs::path& handheld) {
    return host({"handheld", "dump", "--handheld", handheld.string(), "Tarvo News"}).out;
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  fs::path bus_ = root_ / "usb";
};

TEST_F(UsbTest, AHotSyncOverUsbIsTheSameAsAnyOther) {
  // The serial one is a Palm that answers only the older request, so the
  // desktop falls back to it after the extended one is refused.
  for (const std::string framing : {"net", "serial"}) {
    SCOPED_TRACE(framing);
    const fs::path handheld = root_ / framing;
    fs::copy(handheld_, handheld, fs::copy_options::recursive);
    plugIn(framing == "net" ? "1-5" : "1-6", handheld, "framing=" + framing + "\nvendor=0830\nproduct=0060\n");
    const ProgramResult r = syncOverUsb({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "over USB " + framing}});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("stub: card 0: Tarvo (appl/Tarv), Tarvo News (DATA/Tarv)\n"));
    EXPECT_THAT(newsOf(handheld), HasSubstr("over USB " + framing));
    // The handheld left the bus when its HotSync ended.
    EXPECT_TRUE(fs::is_empty(bus_));
  }
  // $PILOTPORT names the port when --port does not.
  plugIn("2-3", handheld_);
  const ProgramResult listed = host({"handheld", "list", "--wait", "60"}, env({{"PILOTPORT", "usb:"}}));
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_THAT(listed.out, HasSubstr("Tarvo News"));
}

TEST_F(UsbTest, ACablePulledMidHotSyncEndsLikeAHandheldThatWentAway) {
  plugIn("1-9", handheld_, "hangup=6\n");
  const ProgramResult r = syncOverUsb({{"TARVO_STUB_DB", "Tarvo News"}});
  EXPECT_EQ(r.status, 8) << r.out << r.err;
  EXPECT_THAT(r.err, HasSubstr("the handheld went away"));
  EXPECT_THAT(r.err, HasSubstr("left the USB bus"));
  EXPECT_THAT(host({"log", "--user", "Demo User"}).out, HasSubstr("the handheld went away"));
}

// A HotSync given a place on the bus (as the manager gives each HotSync the
// handheld it saw arrive) takes only the handheld there; a place that
// cannot be read is refused rather than letting any handheld in.
TEST_F(UsbTest, AHotSyncGivenAPlaceOnTheBusTakesOnlyTheHandheldThere) {
  const fs::path other = root_ / "other";
  fs::copy(handheld_, other, fs::copy_options::recursive);
  plugIn("1-3", other);
  plugIn("1-7", handheld_);
  const std::map<std::string, std::string> stub = {{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "at 1-7"}};
  for (const char* unreadable : {"1-", "1-7x", "seven"}) {
    const ProgramResult refused = syncOverUsb(stub, {"--usb-device", unreadable});
    EXPECT_EQ(refused.status, 1) << unreadable << ": " << refused.out << refused.err;
    EXPECT_THAT(refused.err, HasSubstr("--usb-device needs BUS-ADDRESS"));
  }
  const ProgramResult r = syncOverUsb(stub, {"--usb-device", "1-7"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(newsOf(handheld_), HasSubstr("at 1-7"));
  EXPECT_THAT(newsOf(other), ::testing::Not(HasSubstr("at 1-7")));
  EXPECT_TRUE(fs::exists(bus_ / "1-3"));
}

TEST_F(UsbTest, NonsenseConnectionInformationIsRefusedWithOneLine) {
  // Extended answer naming three ports in a buffer that holds two.
  plugIn("1-4", handheld_, "info=03000000636e7973020000000000000000000000\n");
  const ProgramResult r = host({"handheld", "list", "--port", "usb:", "--wait", "60"}, env());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.status, 9);
  ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
  EXPECT_THAT(r.err, HasSubstr("the USB device 0830:0060 (Palm Tungsten or Zire 71) at bus 1 device 4 answered with "
                               "nonsense (extended connection information names 3 ports but holds 2); refused"));
  // An empty extended answer sends the desktop to the older request, which
  // this device refuses: nothing names the HotSync's endpoints.
  fs::remove(bus_ / "1-4");
  plugIn("1-8", handheld_, "info=\n");
  const ProgramResult none = host({"handheld", "list", "--port", "usb:", "--wait", "60"}, env());
  EXPECT_EQ(none.status, 1);
  ASSERT_EQ(lines(none.err).size(), 1u) << none.err;
  EXPECT_THAT(none.err, HasSubstr("at bus 1 device 8 answers no connection-information request; refused"));
}

TEST_F(UsbTest, NoHandheldWithinTheWaitIsStatusNine) {
  const ProgramResult r = host({"handheld", "list", "--port", "usb:", "--wait", "1"}, env());
  EXPECT_EQ(r.status, 9) << r.out << r.err;
  EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
  EXPECT_THAT(r.err, HasSubstr("no handheld came"));
}

// The manager with `port = usb:` runs a HotSync for each handheld that
// appears, one at a time.
TEST_F(UsbTest, ManagerServesHandheldsThatAppearOneAfterAnother) {
  fs::create_directories(root_ / "config" / "tarvo-hotsync");
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf") << "port = usb:\n";
  fs::create_directories(dataHome_ / "tarvo-hotsync");
  std::ofstream(dataHome_ / "tarvo-hotsync" / "conduits.conf") << "Tarv\nTarv\tmodule\t" TARVO_STUB_CONDUIT "\n";
  const ProgramResult started =
      host({"manager", "-r"}, env({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "served over USB"}}));
  ASSERT_EQ(started.status, 0) << started.err;

  const fs::path second = root_ / "second";
  fs::copy(handheld_, second, fs::copy_options::recursive);
  const fs::path log = runtime_ / "tarvo-hotsync" / "manager.log";
  plugIn("3-1", handheld_);
  // The second arrives once the first one's HotSync has begun, and waits.
  EXPECT_TRUE(WaitForText(log, " started in "));
  plugIn("3-2", second);
  // Each handheld leaves the bus when its HotSync ends; bounded, never a timing assertion.
  WaitUntil([&] { return fs::is_empty(bus_); }, std::chrono::minutes(2));
  host({"manager", "--quit"});
  const std::string text = ReadFile(log);
  ASSERT_TRUE(fs::is_empty(bus_)) << text;

  std::vector<std::string> events;
  for (const std::string& line : lines(text)) {
    if (line.find(" started in ") != std::string::npos) events.push_back("started");
    if (const auto ended = line.find(" ended with "); ended != std::string::npos)
      events.push_back(line.substr(ended + 1));
  }
  const std::string ok = "ended with status 0";
  EXPECT_EQ(events, (std::vector<std::string>{"started", ok, "started", ok})) << text;
  for (const fs::path& folder : {handheld_, second}) EXPECT_THAT(newsOf(folder), HasSubstr("served over USB"));
}

// Out of the box, with no settings file, the manager watches USB; a command
// given that port hands its work to the manager or says it waits there.
TEST_F(UsbTest, ManagerWithNoSettingsServesUsbAndOwnsThePort) {
  fs::create_directories(dataHome_ / "tarvo-hotsync");
  std::ofstream(dataHome_ / "tarvo-hotsync" / "conduits.conf") << "Tarv\nTarv\tmodule\t" TARVO_STUB_CONDUIT "\n";
  ASSERT_EQ(
      host({"manager", "-r"}, env({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "out of the box"}})).status, 0);
  const fs::path log = runtime_ / "tarvo-hotsync" / "manager.log";
  for (int i = 0; i < 200 && ReadFile(log).find("watching USB") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

  const ProgramResult listing = host({"handheld", "list", "--port", "usb:"}, env());
  EXPECT_EQ(listing.status, 1);
  EXPECT_THAT(listing.err, HasSubstr("the HotSync manager waits for handhelds on usb: (press the HotSync button"));

  // A sync on that port is the caller's HotSync of the next handheld there.
  ProgramResult synced;
  std::thread caller([&] { synced = host({"sync", "--no-gui", "--online", "--port", "usb:"}, env()); });
  for (int i = 0; i < 200 && ReadFile(log).find("waits for a handheld on usb:") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  plugIn("1-9", handheld_);
  caller.join();
  EXPECT_EQ(synced.status, 0) << synced.out << synced.err;
  EXPECT_THAT(synced.out, HasSubstr("the HotSync manager waits for the handheld on usb:; press its HotSync button"));
  EXPECT_THAT(synced.out, HasSubstr("stub: card 0: Tarvo (appl/Tarv), Tarvo News (DATA/Tarv)\n"));
  for (int i = 0; i < 1200 && !fs::is_empty(bus_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  host({"manager", "--quit"});
  const std::string text = ReadFile(log);
  EXPECT_EQ(text.find("USB HotSync queued"), std::string::npos) << text;  // one HotSync, the caller's
  EXPECT_THAT(newsOf(handheld_), HasSubstr("out of the box"));
}

// Every local link at once: USB, a serial cradle and network HotSync, each
// serving its HotSync, while a missing tty and a busy address are said with
// what to do and tried again, never stopping the manager.
TEST_F(UsbTest, ManagerServesEveryPortAtOnceAndRetriesThoseItCannotOpen) {
  using nlohmann::json;
  SerialLine line;
  if (!line.ok()) GTEST_SKIP() << line.why();
  // Another program holds the network address first.
  const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &size), 0);
  const std::string net = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  const std::string missing = (root_ / "ttyNone").string();

  fs::create_directories(root_ / "config" / "tarvo-hotsync");
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf")
      << "port = usb:\nport = " << line.desktop() << "\nport = " << missing << "\nnetwork = " << net << "\n";
  fs::create_directories(dataHome_ / "tarvo-hotsync");
  std::ofstream(dataHome_ / "tarvo-hotsync" / "conduits.conf") << "Tarv\nTarv\tmodule\t" TARVO_STUB_CONDUIT "\n";
  ASSERT_EQ(host({"manager", "-r"}, env({{"TARVO_STUB_DB", "Tarvo News"}, {"TARVO_STUB_TEXT", "served"}})).status, 0);

  auto ports = [&] {
    std::map<std::string, json> byName;
    const json state = json::parse(host({"manager", "--status", "--json"}).out, nullptr, false);
    if (state.is_object())
      for (const json& port : state["ports"]) byName[port["port"]] = port;
    return byName;
  };
  std::map<std::string, json> seen = ports();
  ASSERT_EQ(seen.size(), 4u) << host({"manager", "--status", "--json"}).out;
  EXPECT_EQ(seen["usb:"]["condition"], "waiting");
  EXPECT_EQ(seen[line.desktop()]["condition"], "waiting");
  EXPECT_EQ(seen[missing]["condition"], "unavailable");
  EXPECT_THAT(seen[missing]["reason"].get<std::string>(), HasSubstr("No such file or directory"));
  EXPECT_THAT(seen[missing]["remedy"].get<std::string>(), HasSubstr("plug in the cradle"));
  EXPECT_EQ(seen["net:" + net]["condition"], "unavailable");
  EXPECT_THAT(seen["net:" + net]["reason"].get<std::string>(), HasSubstr("in use"));
  const fs::path log = runtime_ / "tarvo-hotsync" / "manager.log";
  EXPECT_THAT(ReadFile(log), HasSubstr(missing + " cannot be used: "));

  // The address is let go: the manager takes it at its next look.
  ::close(holder);
  for (int i = 0; i < 200 && ports()["net:" + net]["condition"] != "waiting"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ports()["net:" + net]["condition"], "waiting");

  const fs::path serial = root_ / "serial", network = root_ / "network";
  fs::copy(handheld_, serial, fs::copy_options::recursive);
  fs::copy(handheld_, network, fs::copy_options::recursive);
  plugIn("2-4", handheld_);
  const ProgramResult bySerial =
      runProgram(TARVO_HANDHELD_BIN, {"--handheld", serial.string(), "--serial", line.handheld(), "--quiet"}, {});
  const ProgramResult byNetwork =
      runProgram(TARVO_HANDHELD_BIN, {"--handheld", network.string(), "--hotsync", net, "--quiet"}, {});
  EXPECT_EQ(bySerial.status, 0) << bySerial.err;
  EXPECT_EQ(byNetwork.status, 0) << byNetwork.err;
  for (int i = 0; i < 1200 && !fs::is_empty(bus_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  host({"manager", "--quit"});
  const std::string text = ReadFile(log);
  size_t served = 0;
  for (const std::string& entry : lines(text)) served += entry.find("ended with status 0") != std::string::npos;
  EXPECT_EQ(served, 3u) << text;
  for (const fs::path& folder : {handheld_, serial, network}) EXPECT_THAT(newsOf(folder), HasSubstr("served"));
}

}  // namespace
}  // namespace tarvo::test
