#include "dlp/packet.h"

namespace dlp {

namespace {

constexpr uint8_t kArgShort = 0x80;  // 16-bit length after a pad byte
constexpr uint8_t kArgLong = 0x40;   // 32-bit length after a pad byte
constexpr uint8_t kArgIdMask = 0x3F;
constexpr uint8_t kResponseBit = 0x80;

// The opening exchange as the handheld and the desktop send it.
constexpr uint8_t kHello[22] = {0x90, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0, 0, 0x08, 0x01, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kWelcome[50] = {0x12, 0x01, 0,    0,    0,    0, 0, 0, 0, 0x20, 0, 0, 0, 0x24, 0xff, 0xff, 0xff,
                                  0xff, 0x3c, 0x00, 0x3c, 0x00, 0, 0, 0, 0, 0,    0, 0, 0, 0xc0, 0xa8, 0xa5, 0x1f,
                                  0x04, 0x27, 0,    0,    0,    0, 0, 0, 0, 0,    0, 0, 0, 0,    0,    0};
constexpr uint8_t kConfirm[50] = {0x92, 0x01, 0,    0,    0,    0,    0, 0, 0, 0x20, 0, 0, 0, 0x24, 0xff, 0xff, 0xff,
                                  0xff, 0x00, 0x3c, 0x00, 0x3c, 0x40, 0, 0, 0, 0x01, 0, 0, 0, 0xc0, 0xa8, 0xa5, 0x1e,
                                  0x04, 0x01, 0,    0,    0,    0,    0, 0, 0, 0,    0, 0, 0, 0,    0,    0};
constexpr uint8_t kAccept[46] = {0x13, 0x01, 0,    0,    0,    0,    0, 0, 0, 0x20, 0, 0, 0, 0x20, 0xff, 0xff,
                                 0xff, 0xff, 0x00, 0x3c, 0x00, 0x3c, 0, 0, 0, 0,    0, 1, 0, 0,    0,    0,
                                 0,    0,    0,    0,    0,    0,    0, 0, 0, 0,    0, 0, 0, 0};
constexpr uint8_t kReady[8] = {0x93, 0, 0, 0, 0, 0, 0, 0};

void encodeArgs(Writer& w, const std::vector<Arg>& args) {
  if (args.size() > 0xFF) throw WireError("too many arguments for one packet");
  for (const Arg& arg : args) {
    const uint8_t id = static_cast<uint8_t>(arg.id & kArgIdMask);
    const std::size_t n = arg.data.size();
    if (n < 0xFF) {
      w.u8(id).u8(static_cast<uint8_t>(n));
    } else if (n < 0xFFFF) {
      w.u8(id | kArgShort).u8(0).u16(static_cast<uint16_t>(n));
    } else {
      w.u8(id | kArgLong).u8(0).u32(static_cast<uint32_t>(n));
    }
    w.bytes(arg.data);
  }
}

std::vector<Arg> decodeArgs(Reader& r, std::size_t count) {
  std::vector<Arg> args;
  args.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t head = r.u8();
    Arg arg;
    arg.id = static_cast<uint8_t>(head & kArgIdMask);
    std::size_t length = 0;
    switch (head & (kArgShort | kArgLong)) {
      case 0:
        length = r.u8();
        break;
      case kArgShort:
        r.skip(1);
        length = r.u16();
        break;
      case kArgLong:
        r.skip(1);
        length = r.u32();
        break;
      default:
        throw WireError("an argument block of unknown size kind");
    }
    const auto data = r.take(length);  // checks the length against what is there
    arg.data.assign(data.begin(), data.end());
    args.push_back(std::move(arg));
  }
  return args;  // some handhelds pad a packet; bytes after the last argument are ignored
}

const Arg* findArg(const std::vector<Arg>& args, uint8_t id) {
  for (const Arg& arg : args) {
    if (arg.id == (id & kArgIdMask)) return &arg;
  }
  return nullptr;
}

}  // namespace

FrameHeader decodeFrameHeader(std::span<const uint8_t> header) {
  Reader r(header);
  FrameHeader h;
  h.type = r.u8();
  h.txid = r.u8();
  h.length = r.u32();
  if (h.type != kFrameData && h.type != kFrameTickle) {
    throw WireError("a frame of unknown type " + std::to_string(h.type));
  }
  if (h.type == kFrameTickle && h.length != 0) throw WireError("a keep-alive frame with a payload");
  if (h.length > kMaxFramePayload) {
    throw WireError("a frame of " + std::to_string(h.length) + " bytes, more than the link allows");
  }
  return h;
}

std::vector<uint8_t> encodeFrame(uint8_t type, uint8_t txid, std::span<const uint8_t> payload) {
  if (payload.size() > kMaxFramePayload) throw WireError("a packet too large for one frame");
  Writer w;
  w.u8(type).u8(txid).u32(static_cast<uint32_t>(payload.size())).bytes(payload);
  return std::move(w.out());
}

std::span<const uint8_t> handheldHello() { return kHello; }
std::span<const uint8_t> desktopWelcome() { return kWelcome; }
std::span<const uint8_t> handheldConfirm() { return kConfirm; }
std::span<const uint8_t> desktopAccept() { return kAccept; }
std::span<const uint8_t> handheldReady() { return kReady; }

const Arg* Request::find(uint8_t id) const { return findArg(args, id); }
const Arg* Response::find(uint8_t id) const { return findArg(args, id); }

std::vector<uint8_t> encodeRequest(const Request& request) {
  if (request.command & kResponseBit) throw WireError("a request command with the response bit");
  Writer w;
  w.u8(request.command).u8(static_cast<uint8_t>(request.args.size()));
  encodeArgs(w, request.args);
  return std::move(w.out());
}

std::vector<uint8_t> encodeResponse(const Response& response) {
  Writer w;
  w.u8(response.command | kResponseBit).u8(static_cast<uint8_t>(response.args.size())).u16(response.error);
  encodeArgs(w, response.args);
  return std::move(w.out());
}

Request decodeRequest(std::span<const uint8_t> packet) {
  Reader r(packet);
  Request request;
  request.command = r.u8();
  if (request.command & kResponseBit) throw WireError("a response where a request was due");
  const std::size_t count = r.u8();
  request.args = decodeArgs(r, count);
  return request;
}

Response decodeResponse(std::span<const uint8_t> packet) {
  Reader r(packet);
  Response response;
  const uint8_t command = r.u8();
  if ((command & kResponseBit) == 0) throw WireError("a request where a response was due");
  response.command = static_cast<uint8_t>(command & ~kResponseBit);
  const std::size_t count = r.u8();
  response.error = r.u16();
  response.args = decodeArgs(r, count);
  return response;
}

}  // namespace dlp
