// Arbitrary bytes as either connection-information answer: each decoder
// refuses them or accepts them, never reads outside them, and what it
// accepts encodes back to bytes that decode to the same thing.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "dlp/usb/connection_info.h"
#include "dlp/wire.h"

namespace {

void tryOne(std::span<const uint8_t> bytes, bool extended) {
  using namespace dlp::usb;
  try {
    const ConnectionInfo info = extended ? decodeExtConnectionInfo(bytes) : decodeConnectionInfo(bytes);
    const std::vector<uint8_t> again = encodeConnectionInfo(info);
    if (!((extended ? decodeExtConnectionInfo(again) : decodeConnectionInfo(again)) == info)) std::abort();
    try {
      const HotSyncPort port = hotSyncPort(info);
      if (port.inEndpoint == 0 || port.inEndpoint > 15 || port.outEndpoint == 0 || port.outEndpoint > 15) std::abort();
    } catch (const dlp::WireError&) {
    }
  } catch (const dlp::WireError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  tryOne(bytes, false);
  tryOne(bytes, true);
  return 0;
}
