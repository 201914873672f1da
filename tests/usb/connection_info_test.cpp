// The USB connection-information answers, written byte by byte from their
// layouts: what real devices send, and short or inconsistent answers.
#include "dlp/usb/connection_info.h"

#include <gtest/gtest.h>

#include "dlp/wire.h"

namespace {

using namespace dlp::usb;
using Bytes = std::vector<uint8_t>;

HotSyncPort portOf(const Bytes& answer, bool extended) {
  return hotSyncPort(extended ? decodeExtConnectionInfo(answer) : decodeConnectionInfo(answer));
}

std::string refusal(const Bytes& answer, bool extended) {
  try {
    portOf(answer, extended);
  } catch (const dlp::WireError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(UsbConnectionInfo, OlderAnswerNamesTheSerialHotSyncPort) {
  // Two ports (16-bit little-endian): generic on endpoint 1, HotSync on 2.
  const Bytes answer = {0x02, 0x00, 0x00, 0x01, 0x02, 0x02};
  const ConnectionInfo info = decodeConnectionInfo(answer);
  EXPECT_EQ(info.ports.size(), 2u);
  EXPECT_EQ(hotSyncPort(info), (HotSyncPort{2, 2, Framing::Serial}));
  EXPECT_EQ(encodeConnectionInfo(info), answer);
}

TEST(UsbConnectionInfo, ExtendedAnswerNamesNetworkFramesAndItsEndpoints) {
  // One 'sync' port on endpoint 2, same number both ways; the unused second
  // entry is zeros, as a device sends the whole buffer.
  Bytes same = {0x01, 0x00, 0x00, 0x00, 'c', 'n', 'y', 's', 0x02, 0x00, 0x00, 0x00};
  same.resize(kExtConnectionInfoSize, 0);
  EXPECT_EQ(portOf(same, true), (HotSyncPort{2, 2, Framing::Net}));
  EXPECT_EQ(encodeConnectionInfo(decodeExtConnectionInfo(same)), same);

  // Numbers differ: the endpoint info byte gives in (high) and out (low);
  // a debugger port comes first.
  const Bytes differ = {0x02, 0x01, 0x00, 0x00, 'r', 'g', 'b',  'd',  0x01, 0x00,
                        0x00, 0x00, 'c',  'n',  'y', 's', 0x00, 0x32, 0x00, 0x00};
  EXPECT_EQ(portOf(differ, true), (HotSyncPort{3, 2, Framing::Net}));
}

TEST(UsbConnectionInfo, ShortAndInconsistentAnswersAreRefusedWithAReason) {
  EXPECT_EQ(refusal({}, false), "connection information of 0 bytes (at least 2 expected)");
  EXPECT_EQ(refusal({0x01, 0x00, 0x00}, true), "extended connection information of 3 bytes (at least 4 expected)");
  EXPECT_EQ(refusal({0x00, 0x00, 0x02, 0x02}, false), "connection information names no port");
  // Counts past the entries the answer holds, or past the two asked for.
  EXPECT_EQ(refusal({0x02, 0x00, 0x02, 0x02}, false), "connection information names 2 ports but holds 1");
  EXPECT_EQ(refusal({0x03, 0x00, 0x00, 0x01, 0x02, 0x02, 0x02, 0x03}, false),
            "connection information names 3 ports but holds 2");
  EXPECT_EQ(refusal({0x00, 0x01, 0x00, 0x01, 0x02, 0x02}, false), "connection information names 256 ports but holds 2");
  EXPECT_EQ(refusal({0x02, 0x00, 0x00, 0x00, 'c', 'n', 'y', 's', 0x02, 0x00, 0x00, 0x00}, true),
            "extended connection information names 2 ports but holds 1");
  // No HotSync among the ports.
  EXPECT_EQ(refusal({0x02, 0x00, 0x00, 0x01, 0x03, 0x02}, false),
            "connection information names no HotSync port (0x0, 0x3)");
  EXPECT_EQ(refusal({0x01, 0x00, 0x00, 0x00, 's', 'y', 'n', 'c', 0x02, 0x00, 0x00, 0x00}, true),
            "extended connection information names no HotSync port (0x636e7973)");
  // Endpoints that cannot exist.
  EXPECT_EQ(refusal({0x01, 0x00, 0x02, 0x00}, false),
            "connection information names endpoint 0 for the HotSync (1 to 15 exist)");
  EXPECT_EQ(refusal({0x01, 0x00, 0x02, 0x10}, false),
            "connection information names endpoint 16 for the HotSync (1 to 15 exist)");
  EXPECT_EQ(refusal({0x01, 0x01, 0x00, 0x00, 'c', 'n', 'y', 's', 0x02, 0x20, 0x00, 0x00}, true),
            "connection information names endpoint 0 for the HotSync (1 to 15 exist)");
}

}  // namespace
