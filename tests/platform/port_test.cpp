// Ports as Palm users on Linux type them, and text that names none.
#include <gtest/gtest.h>

#include "hotsync/port.h"

namespace {

using hotsync::PortName;

TEST(PortName, TheFormsPalmToolsUseWithTheirDefaults) {
  struct Case {
    const char* text;
    PortName::Kind kind;
    const char* shown;  // every default filled in
    bool local;
  };
  const Case cases[] = {
      {"/dev/ttyUSB0", PortName::Tty, "/dev/ttyUSB0", true},
      {"/dev/pts/7", PortName::Tty, "/dev/pts/7", true},
      {"", PortName::Net, "net:127.0.0.1:14238", true},
      {"net:", PortName::Net, "net:127.0.0.1:14238", true},
      {"net::5000", PortName::Net, "net:127.0.0.1:5000", true},
      {"net:192.168.1.5", PortName::Net, "net:192.168.1.5:14238", false},
      {"net:any", PortName::Net, "net:0.0.0.0:14238", false},
      {"net:[::1]:14239", PortName::Net, "net:[::1]:14239", true},
      {"net:::1", PortName::Net, "net:[::1]:14238", true},  // a bare IPv6 address has no port
      {"serial-tcp:", PortName::SerialTcp, "serial-tcp:127.0.0.1:6416", true},
      {"serial-tcp:localhost:7000", PortName::SerialTcp, "serial-tcp:localhost:7000", true},
      {"usb:", PortName::Usb, "usb:", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PortName named;
    std::string error;
    ASSERT_TRUE(hotsync::parsePortName(c.text, &named, &error)) << error;
    EXPECT_EQ(named.kind, c.kind);
    EXPECT_EQ(hotsync::portText(named), c.shown);
    EXPECT_EQ(hotsync::portIsLocal(named), c.local);
    // What is shown reads back as the same port.
    PortName again;
    ASSERT_TRUE(hotsync::parsePortName(c.shown, &again, &error)) << error;
    EXPECT_EQ(hotsync::portText(again), c.shown);
  }
}

TEST(PortName, TextThatNamesNoPortIsRefusedInOneLine) {
  for (const char* text : {"com1", "ttyUSB0", "usb:0", "net:host:port", "net:host:70000",
                           "net:host:", "serial-tcp:[::1", "net:[::1]x", "tcp:127.0.0.1"}) {
    SCOPED_TRACE(text);
    PortName named;
    std::string error;
    EXPECT_FALSE(hotsync::parsePortName(text, &named, &error));
    EXPECT_NE(error, "");
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(PortName, AListNamesEachPortOnceInItsOrder) {
  std::vector<PortName> named;
  std::string error;
  ASSERT_TRUE(hotsync::parsePortNames(" usb:, /dev/ttyUSB0  net:192.168.1.5,,serial-tcp:", &named, &error)) << error;
  std::vector<std::string> shown;
  for (const PortName& n : named) shown.push_back(hotsync::portText(n));
  EXPECT_EQ(shown,
            (std::vector<std::string>{"usb:", "/dev/ttyUSB0", "net:192.168.1.5:14238", "serial-tcp:127.0.0.1:6416"}));
  ASSERT_TRUE(hotsync::parsePortNames("", &named, &error));
  EXPECT_TRUE(named.empty());
  EXPECT_FALSE(hotsync::parsePortNames("usb:, com1", &named, &error));
  EXPECT_NE(error.find("\"com1\""), std::string::npos) << error;
}

}  // namespace
