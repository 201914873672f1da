// Where the host waits for a live handheld: --port, --listen, $PILOTPORT,
// --rate, --wait, their mistakes, and a wait that ends without a handheld.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "files.h"
#include "host/manager_config.h"
#include "host_fixture.h"
#include "scripted_server.h"
#include "waits.h"

namespace tarvo::test {
namespace {

using ::testing::HasSubstr;

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// True once something listens on the loopback port (binding it fails).
bool listening(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0;
  ::close(fd);
  return taken;
}

TEST_F(HostTest, PortMistakesGiveOneLineAndStatusOne) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"sync", "--port", "com1"}, "not a port: \"com1\""},
      {{"handheld", "list", "--port", "net:host:99999"}, "not a port number"},
      {{"handheld", "list", "--port", "net:", "--listen"}, "--port and --listen"},
      {{"handheld", "list", "--port", "net:", "--handheld", handheld_.string()}, "--handheld DIR or --port PORT"},
      {{"handheld", "list", "--port", "net:", "--rate", "12345"},
       "not a serial speed: 12345 (9600, 19200, 38400, 57600, 115200, 230400 or 460800)"},
      {{"handheld", "list", "--port", "net:", "--wait", "0"}, "--wait needs a number of seconds"},
      {{"sync", "--port", "net:", "--wait", "soon"}, "--wait needs a number of seconds"},
      {{"manager", "--port", "serial-tcp:"}, "the HotSync manager waits on a tty, net:"},
  };
  for (const auto& [args, says] : cases) {
    const ProgramResult r = host(args);
    EXPECT_EQ(r.status, 1) << args[0] << " " << args[1] << "\n" << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(says));
  }
  // The environment's port and speed are read as the options are.
  EXPECT_THAT(host({"handheld", "list"}, {{"PILOTPORT", "COM1"}}).err, HasSubstr("not a port: \"COM1\""));
  EXPECT_THAT(host({"handheld", "list", "--port", "net:"}, {{"PILOTRATE", "fast"}}).err,
              HasSubstr("not a serial speed: fast"));
  // A folder wins over $PILOTPORT.
  EXPECT_EQ(host({"handheld", "list", "--handheld", handheld_.string()}, {{"PILOTPORT", "COM1"}}).status, 0);
  // The manager's settings file is checked the same way.
  std::filesystem::create_directories(root_ / "config" / "tarvo-hotsync");
  std::ofstream(root_ / "config" / "tarvo-hotsync" / "manager.conf") << "port = serial-tcp:\n";
  EXPECT_THAT(host({"manager"}).err, HasSubstr("manager.conf:1: the HotSync manager waits on a tty, net:"));
}

// A serial cradle's speed rides on its port line; only a tty has one, and
// only a speed a serial HotSync runs at.
TEST_F(HostTest, ASerialPortsSpeedInManagerConfIsItsAndOnlyATtyHasOne) {
  const std::filesystem::path file = root_ / "manager.conf";
  host::ManagerConfig config;
  std::string error;
  std::ofstream(file) << "port = /dev/ttyS0   57600\nport = /dev/ttyUSB0\n";
  ASSERT_TRUE(host::readManagerConfig(file, &config, &error)) << error;
  EXPECT_EQ(config.ports, (std::vector<std::string>{"usb:", "/dev/ttyS0", "/dev/ttyUSB0"}));
  EXPECT_EQ(config.rates, (std::map<std::string, uint32_t>{{"/dev/ttyS0", 57600}}));
  for (const auto& [line, said] : std::vector<std::pair<std::string, std::string>>{
           {"port = usb: 57600", "only a serial port has a speed, not usb:"},
           {"port = net:127.0.0.1:14238 9600", "only a serial port has a speed"},
           {"port = /dev/ttyS0 12345", "a serial speed is 9600"},
           {"port = /dev/ttyS0 fast", "not fast"}}) {
    std::ofstream(file) << line << "\n";
    host::ManagerConfig refused;
    EXPECT_FALSE(host::readManagerConfig(file, &refused, &error)) << line;
    EXPECT_THAT(error, HasSubstr(said)) << line;
  }
}

TEST_F(HostTest, AWaitEndsWithStatusNineWhenNoHandheldComesAndAtOnceOnCtrlC) {
  const uint16_t port = static_cast<uint16_t>(FreeLoopbackPort());
  const std::string where = "net:127.0.0.1:" + std::to_string(port);
  ProgramResult r = host({"handheld", "list", "--port", where, "--wait", "1"});
  EXPECT_EQ(r.status, 9) << r.err;
  EXPECT_EQ(r.err, "tarvo-hotsync: no handheld came to " + where + " within 1 second\n");
  // $PILOTPORT names the port of a sync given none.
  r = host({"sync", "--no-gui", "--wait", "1", "--conduit", TARVO_STUB_CONDUIT}, {{"PILOTPORT", where}});
  EXPECT_EQ(r.status, 9) << r.err;
  EXPECT_THAT(r.err, HasSubstr("no handheld came to " + where));

  RunningProgram waiting(TARVO_HOST_BIN, {"handheld", "list", "--port", where}, hostEnv());
  WaitUntil([&] { return listening(port) || !waiting.running(); });
  waiting.signal(SIGINT);
  r = waiting.wait(60);
  EXPECT_EQ(r.status, 5) << r.err;
  EXPECT_EQ(r.err, "tarvo-hotsync: stopped waiting for a handheld\n");
}

}  // namespace
}  // namespace tarvo::test
