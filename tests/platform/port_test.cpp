// Ports as Palm users on Linux type them, and text that names none.
#include "link/port.h"

#include <gtest/gtest.h>

namespace {

using hotsync::detail::PortSpec;

TEST(PortSpec, TheFormsPalmToolsUseWithTheirDefaults) {
  struct Case {
    const char* text;
    PortSpec::Kind kind;
    const char* shown;  // every default filled in
    bool local;
  };
  const Case cases[] = {
      {"/dev/ttyUSB0", PortSpec::Tty, "/dev/ttyUSB0", true},
      {"/dev/pts/7", PortSpec::Tty, "/dev/pts/7", true},
      {"", PortSpec::Net, "net:127.0.0.1:14238", true},
      {"net:", PortSpec::Net, "net:127.0.0.1:14238", true},
      {"net::5000", PortSpec::Net, "net:127.0.0.1:5000", true},
      {"net:192.168.1.5", PortSpec::Net, "net:192.168.1.5:14238", false},
      {"net:any", PortSpec::Net, "net:0.0.0.0:14238", false},
      {"net:[::1]:14239", PortSpec::Net, "net:[::1]:14239", true},
      {"net:::1", PortSpec::Net, "net:[::1]:14238", true},  // a bare IPv6 address has no port
      {"serial-tcp:", PortSpec::SerialTcp, "serial-tcp:127.0.0.1:6416", true},
      {"serial-tcp:localhost:7000", PortSpec::SerialTcp, "serial-tcp:localhost:7000", true},
      {"usb:", PortSpec::Usb, "usb:", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PortSpec spec;
    std::string error;
    ASSERT_TRUE(hotsync::detail::parsePortSpec(c.text, &spec, &error)) << error;
    EXPECT_EQ(spec.kind, c.kind);
    EXPECT_EQ(hotsync::detail::portText(spec), c.shown);
    EXPECT_EQ(hotsync::detail::portIsLocal(spec), c.local);
    // What is shown reads back as the same port.
    PortSpec again;
    ASSERT_TRUE(hotsync::detail::parsePortSpec(c.shown, &again, &error)) << error;
    EXPECT_EQ(hotsync::detail::portText(again), c.shown);
  }
}

TEST(PortSpec, TextThatNamesNoPortIsRefusedInOneLine) {
  for (const char* text : {"com1", "ttyUSB0", "usb:0", "net:host:port", "net:host:70000",
                           "net:host:", "serial-tcp:[::1", "net:[::1]x", "tcp:127.0.0.1"}) {
    SCOPED_TRACE(text);
    PortSpec spec;
    std::string error;
    EXPECT_FALSE(hotsync::detail::parsePortSpec(text, &spec, &error));
    EXPECT_NE(error, "");
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

}  // namespace
