// The two layers of a network HotSync: frames on the TCP stream (type,
// transaction id, 32-bit length, payload) and, inside each data frame, one
// Desktop Link Protocol request or response with its argument blocks. All
// integers are big-endian. Decoding is bounded: a short, oversized or
// inconsistent packet throws WireError.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dlp/wire.h"

namespace dlp {

constexpr std::size_t kFrameHeaderSize = 6;
constexpr uint8_t kFrameData = 0x01;
constexpr uint8_t kFrameTickle = 0x02;  // keep-alive, no payload
// A 64 KiB record with its argument headers fits; anything larger is refused
// before it is allocated.
constexpr uint32_t kMaxFramePayload = 0x20000;

struct FrameHeader {
  uint8_t type = kFrameData;
  uint8_t txid = 0;
  uint32_t length = 0;
};
FrameHeader decodeFrameHeader(std::span<const uint8_t> header);
std::vector<uint8_t> encodeFrame(uint8_t type, uint8_t txid, std::span<const uint8_t> payload);

// The opening exchange, as frame payloads: the handheld speaks first, the
// desktop answers, the handheld confirms, the desktop acknowledges, the
// handheld closes the exchange. Only the first byte of each is checked.
std::span<const uint8_t> handheldHello();    // 22 bytes
std::span<const uint8_t> desktopWelcome();   // 50 bytes
std::span<const uint8_t> handheldConfirm();  // 50 bytes
std::span<const uint8_t> desktopAccept();    // 46 bytes
std::span<const uint8_t> handheldReady();    // 8 bytes

constexpr uint8_t kFirstArgId = 0x20;

struct Arg {
  uint8_t id = kFirstArgId;
  std::vector<uint8_t> data;
  bool operator==(const Arg&) const = default;
};

struct Request {
  uint8_t command = 0;
  std::vector<Arg> args;
  // The argument with `id`, or nullptr.
  const Arg* find(uint8_t id = kFirstArgId) const;
  bool operator==(const Request&) const = default;
};

struct Response {
  uint8_t command = 0;  // the request's command (the wire adds 0x80)
  uint16_t error = 0;
  std::vector<Arg> args;
  const Arg* find(uint8_t id = kFirstArgId) const;
  bool operator==(const Response&) const = default;
};

std::vector<uint8_t> encodeRequest(const Request& request);
std::vector<uint8_t> encodeResponse(const Response& response);
Request decodeRequest(std::span<const uint8_t> packet);
Response decodeResponse(std::span<const uint8_t> packet);

}  // namespace dlp
