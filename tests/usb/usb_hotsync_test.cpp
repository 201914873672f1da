// USB handhelds above the seam over libusb: played handhelds on a played bus
// (TARVO_PLAYED_USB), reached through the whole host as `usb:`.
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "files.h"
#include "host_fixture.h"
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

}  // namespace
}  // namespace tarvo::test
