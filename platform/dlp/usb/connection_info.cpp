#include "dlp/usb/connection_info.h"

#include <algorithm>

#include "dlp/wire.h"

namespace dlp::usb {
namespace {

// USB answers are little-endian, unlike the DLP packets.
uint16_t le16(std::span<const uint8_t> b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t le32(std::span<const uint8_t> b, std::size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(b[at + 3]) << 24;
}

std::string hex(uint32_t v) {
  static const char digits[] = "0123456789abcdef";
  std::string s = "0x";
  bool started = false;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const unsigned d = (v >> shift) & 0xF;
    if (d != 0 || started || shift == 0) {
      s += digits[d];
      started = true;
    }
  }
  return s;
}

// Count, entries present and entries asked for agree.
void checkCount(const char* what, std::size_t count, std::size_t header, std::size_t entry, std::size_t size) {
  if (count == 0) throw WireError(std::string(what) + " names no port");
  const std::size_t held = (size - header) / entry;
  if (count > kMaxPorts || count > held) {
    throw WireError(std::string(what) + " names " + std::to_string(count) + " ports but holds " +
                    std::to_string(std::min(held, kMaxPorts)));
  }
}

void checkEndpoint(uint8_t endpoint) {
  if (endpoint == 0 || endpoint > 15) {
    throw WireError("connection information names endpoint " + std::to_string(endpoint) +
                    " for the HotSync (1 to 15 exist)");
  }
}

}  // namespace

const char* framingName(Framing framing) {
  return framing == Framing::Net ? "network HotSync frames" : "the serial protocol";
}

ConnectionInfo decodeConnectionInfo(std::span<const uint8_t> answer) {
  if (answer.size() < kConnectionInfoHeader) {
    throw WireError("connection information of " + std::to_string(answer.size()) + " bytes (at least " +
                    std::to_string(kConnectionInfoHeader) + " expected)");
  }
  ConnectionInfo info;
  const std::size_t count = le16(answer, 0);
  checkCount("connection information", count, kConnectionInfoHeader, kConnectionInfoEntry, answer.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kConnectionInfoHeader + i * kConnectionInfoEntry;
    info.ports.push_back(Port{answer[at], answer[at + 1], 0});
  }
  return info;
}

ConnectionInfo decodeExtConnectionInfo(std::span<const uint8_t> answer) {
  if (answer.size() < kExtConnectionInfoHeader) {
    throw WireError("extended connection information of " + std::to_string(answer.size()) + " bytes (at least " +
                    std::to_string(kExtConnectionInfoHeader) + " expected)");
  }
  ConnectionInfo info;
  info.extended = true;
  info.endpointsDiffer = answer[1] != 0;
  const std::size_t count = answer[0];
  checkCount("extended connection information", count, kExtConnectionInfoHeader, kExtConnectionInfoEntry,
             answer.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kExtConnectionInfoHeader + i * kExtConnectionInfoEntry;
    info.ports.push_back(Port{le32(answer, at), answer[at + 4], answer[at + 5]});
  }
  return info;
}

HotSyncPort hotSyncPort(const ConnectionInfo& info) {
  for (const Port& port : info.ports) {
    if (!info.extended && port.function == kFunctionHotSync) {
      checkEndpoint(port.endpoint);
      return HotSyncPort{port.endpoint, port.endpoint, Framing::Serial};
    }
    if (info.extended && port.function == kCreatorSync) {
      HotSyncPort found{port.endpoint, port.endpoint, Framing::Net};
      if (info.endpointsDiffer) {
        found.inEndpoint = port.endpointInfo >> 4;
        found.outEndpoint = port.endpointInfo & 0x0F;
      }
      checkEndpoint(found.inEndpoint);
      checkEndpoint(found.outEndpoint);
      return found;
    }
  }
  std::string named;
  for (const Port& port : info.ports) named += (named.empty() ? "" : ", ") + hex(port.function);
  throw WireError(std::string(info.extended ? "extended " : "") + "connection information names no HotSync port (" +
                  named + ")");
}

std::vector<uint8_t> encodeConnectionInfo(const ConnectionInfo& info) {
  const std::size_t count = std::min(info.ports.size(), kMaxPorts);
  std::vector<uint8_t> out;
  if (info.extended) {
    out.assign(kExtConnectionInfoSize, 0);
    out[0] = static_cast<uint8_t>(count);
    out[1] = info.endpointsDiffer ? 1 : 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = kExtConnectionInfoHeader + i * kExtConnectionInfoEntry;
      const Port& p = info.ports[i];
      for (int b = 0; b < 4; ++b) out[at + b] = static_cast<uint8_t>(p.function >> (8 * b));
      out[at + 4] = p.endpoint;
      out[at + 5] = p.endpointInfo;
    }
  } else {
    out.assign(kConnectionInfoSize, 0);
    out[0] = static_cast<uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = kConnectionInfoHeader + i * kConnectionInfoEntry;
      out[at] = static_cast<uint8_t>(info.ports[i].function);
      out[at + 1] = info.ports[i].endpoint;
    }
  }
  return out;
}

}  // namespace dlp::usb
