// manager.conf as the desktop's Setup window reads and writes it, checked
// against what the manager itself makes of the same file.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "host/manager_config.h"
#include "temp_folder.h"

namespace tarvo::test {
namespace {

using host::ManagerConnections;
using host::NetworkReach;

class ManagerConf : public ::testing::Test {
 protected:
  void put(const std::string& text) { std::ofstream(file_, std::ios::trunc) << text; }
  std::string text() const {
    std::ostringstream all;
    all << std::ifstream(file_).rdbuf();
    return all.str();
  }
  // The ports the manager waits on, sorted.
  std::vector<std::string> managerPorts() const {
    host::ManagerConfig config;
    std::string error;
    EXPECT_TRUE(host::readManagerConfig(file_, &config, &error)) << error;
    std::sort(config.ports.begin(), config.ports.end());
    return config.ports;
  }
  // The ports the window's reading says are watched, sorted.
  static std::vector<std::string> windowPorts(const ManagerConnections& read) {
    std::vector<std::string> ports = read.serialPorts;
    if (read.usb) ports.push_back("usb:");
    if (read.network != NetworkReach::Off)
      ports.push_back("net:" + (read.network == NetworkReach::LocalNetwork && read.networkAddress.empty()
                                    ? std::string("0.0.0.0")
                                    : read.networkAddress));
    std::sort(ports.begin(), ports.end());
    return ports;
  }
  ManagerConnections read() const {
    ManagerConnections read;
    std::string error;
    EXPECT_TRUE(host::readManagerConnections(file_, &read, &error)) << error;
    return read;
  }

  TempFolder temp_{"tarvo-manager-conf"};
  std::filesystem::path file_ = temp_.path() / "manager.conf";
};

// Files where reading the window's way and the manager's way once parted:
// the window must show what the manager watches.
TEST_F(ManagerConf, TheWindowSeesThePortsTheManagerWatches) {
  for (const char* file : {
           "port = usb:\nusb = off\n",                          // the port line still watches USB
           "usb = off\nport = /dev/ttyS0\t57600\n",             // a tab before the speed
           "port = net:192.168.1.2:9000\n",                     // network HotSync named as a port
           "network = on\nport = net:10.0.0.1\n",               // the last network line wins
           "port = net:10.0.0.1\nnetwork = 127.0.0.1:9000\n",   // ... either way
           "port = /dev/ttyUSB0\nport = /dev/ttyUSB0 19200\n",  // one port named twice
       }) {
    put(file);
    EXPECT_EQ(windowPorts(read()), managerPorts()) << file;
  }
  put("usb = off\nport = /dev/ttyS0\t57600\n");
  EXPECT_EQ(read().serialRates, (std::map<std::string, uint32_t>{{"/dev/ttyS0", 57600}}));

  // A line the manager refuses is not shown as watched, and the rest of the
  // file still is.
  put("port = serial-tcp:host:1\nport = /dev/ttyS1 12345\nbackup = maybe\nport = /dev/ttyS0\n");
  const ManagerConnections lenient = read();
  EXPECT_EQ(lenient.serialPorts, std::vector<std::string>{"/dev/ttyS0"});
  EXPECT_TRUE(lenient.backup);
}

// Saving the window unchanged must not move the manager: an address or
// port the window has no field for stays while its reach is chosen.
TEST_F(ManagerConf, SavingUnchangedKeepsWhatTheManagerWatchesAndTheFilesOtherLines) {
  for (const char* network : {"127.0.0.1:9000", "0.0.0.0:9000", "192.168.1.2", "on", "0.0.0.0"}) {
    put(std::string("# mine\nhandheld-wait = 120\nusb = off\nport = /dev/ttyS0 57600\nnetwork = ") + network + "\n");
    const std::vector<std::string> before = managerPorts();
    std::string error;
    ASSERT_TRUE(host::writeManagerConnections(file_, read(), &error)) << error;
    EXPECT_EQ(managerPorts(), before) << network;
    EXPECT_EQ(text().substr(0, 28), "# mine\nhandheld-wait = 120\nu") << network;
  }

  // Another reach drops the address that belonged to the old one.
  put("network = 127.0.0.1:9000\n");
  ManagerConnections wider = read();
  EXPECT_EQ(wider.network, NetworkReach::ThisMachine);
  wider.network = NetworkReach::LocalNetwork;
  std::string error;
  ASSERT_TRUE(host::writeManagerConnections(file_, wider, &error)) << error;
  EXPECT_EQ(text(), "usb = on\nnetwork = 0.0.0.0\nbackup = on\n");

  // The file is replaced whole, with the permissions it had.
  ::chmod(file_.c_str(), 0600);
  ASSERT_TRUE(host::writeManagerConnections(file_, wider, &error)) << error;
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.path()), {}), 1);
}

}  // namespace
}  // namespace tarvo::test
