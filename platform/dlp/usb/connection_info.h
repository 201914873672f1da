// What a USB handheld says about its connection when the desktop asks
// through the vendor control requests: which port carries the HotSync and,
// from that, which bulk endpoints and which framing to use. Both answers are
// decoded with bounds checks (a short or inconsistent answer throws
// dlp::WireError with a one-line reason) and encoded by the same layouts for
// the played handheld.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dlp::usb {

// bmRequestType of every vendor request: device to host, vendor, endpoint.
inline constexpr uint8_t kVendorRequestType = 0xC2;

enum VendorRequest : uint8_t {
  kBytesAvailable = 0x01,     // two bytes; many devices want it asked before they talk
  kCloseNotification = 0x02,  // the desktop is done
  kConnectionInfo = 0x03,     // the older answer
  kExtConnectionInfo = 0x04,  // the extended answer
};

// The older answer: a 16-bit little-endian port count, then per port a
// function id (0 generic, 1 debugger, 2 HotSync, 3 console, 4 remote file
// system) and the endpoint number both directions use.
inline constexpr std::size_t kConnectionInfoHeader = 2;
inline constexpr std::size_t kConnectionInfoEntry = 2;
inline constexpr std::size_t kConnectionInfoSize = kConnectionInfoHeader + 2 * kConnectionInfoEntry;
inline constexpr uint8_t kFunctionHotSync = 0x02;

// The extended answer: port count, a flag "endpoint numbers differ", two
// reserved bytes, then per port a creator (four characters stored as a
// little-endian 32-bit value, so 'sync' arrives as "cnys"), the port's
// endpoint, endpoint info (in << 4 | out, used when the numbers differ) and
// two reserved bytes.
inline constexpr std::size_t kExtConnectionInfoHeader = 4;
inline constexpr std::size_t kExtConnectionInfoEntry = 8;
inline constexpr std::size_t kExtConnectionInfoSize = kExtConnectionInfoHeader + 2 * kExtConnectionInfoEntry;
inline constexpr uint32_t kCreatorSync = 0x73796E63;  // 'sync'

// The most ports either answer holds: the desktop asks for two entries.
inline constexpr std::size_t kMaxPorts = 2;

// How the handheld frames the DLP over the bulk endpoints.
enum class Framing {
  Net,     // network HotSync frames
  Serial,  // SLP/PADP with the CMP handshake
};
const char* framingName(Framing framing);

struct Port {
  uint32_t function = 0;     // older answer: the function id; extended: the creator
  uint8_t endpoint = 0;      // the port's endpoint number
  uint8_t endpointInfo = 0;  // extended only: in << 4 | out
  bool operator==(const Port&) const = default;
};

struct ConnectionInfo {
  bool extended = false;
  bool endpointsDiffer = false;  // extended only
  std::vector<Port> ports;
  bool operator==(const ConnectionInfo&) const = default;
};

// Where the HotSync runs: endpoint numbers (1..15, without the direction
// bit) and the framing.
struct HotSyncPort {
  uint8_t inEndpoint = 0;
  uint8_t outEndpoint = 0;
  Framing framing = Framing::Net;
  bool operator==(const HotSyncPort&) const = default;
};

// Throw WireError for an answer shorter than its header, a port count of 0,
// more ports than the answer holds or than were asked for.
ConnectionInfo decodeConnectionInfo(std::span<const uint8_t> answer);
ConnectionInfo decodeExtConnectionInfo(std::span<const uint8_t> answer);

// The HotSync port of an answer: the older answer's devices speak the
// serial protocol, the extended answer's network HotSync frames. Throws
// WireError when no port is the HotSync's or its endpoints are not 1..15.
HotSyncPort hotSyncPort(const ConnectionInfo& info);

// The answers' bytes (at most two ports are written).
std::vector<uint8_t> encodeConnectionInfo(const ConnectionInfo& info);

}  // namespace dlp::usb
