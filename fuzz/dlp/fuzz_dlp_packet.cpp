// Arbitrary bytes as a frame header, a request, a response and the records
// inside answers: each decoder refuses them or accepts them, never reads
// outside them, and what it accepts encodes back to a packet that decodes
// to the same thing.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "dlp/messages.h"
#include "dlp/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  try {
    (void)dlp::decodeFrameHeader(bytes.first(std::min<size_t>(size, dlp::kFrameHeaderSize)));
  } catch (const dlp::WireError&) {
  }
  try {
    const dlp::Request request = dlp::decodeRequest(bytes);
    if (!(dlp::decodeRequest(dlp::encodeRequest(request)) == request)) std::abort();
  } catch (const dlp::WireError&) {
  }
  try {
    const dlp::Response response = dlp::decodeResponse(bytes);
    if (!(dlp::decodeResponse(dlp::encodeResponse(response)) == response)) std::abort();
    try {
      (void)dlp::decodeSysInfo(response);
    } catch (const dlp::WireError&) {
    }
    try {
      (void)dlp::decodeStorageInfo(response);
    } catch (const dlp::WireError&) {
    }
    try {
      dlp::Reader r(dlp::firstArg(response).data);
      (void)dlp::getUserInfo(r);
    } catch (const dlp::WireError&) {
    }
    try {
      dlp::Reader r(dlp::firstArg(response).data);
      r.skip(4);
      for (std::size_t n = r.u8(); n > 0; --n) (void)dlp::getDbEntry(r);
    } catch (const dlp::WireError&) {
    }
  } catch (const dlp::WireError&) {
  }
  return 0;
}
