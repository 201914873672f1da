#include "link/serial/first_bytes.h"

#include "dlp/packet.h"
#include "dlp/slp/slp.h"

namespace hotsync::detail {

FirstBytes recogniseFraming(std::span<const uint8_t> bytes) {
  const uint8_t hello = dlp::handheldHello()[0];
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const auto rest = bytes.subspan(at);
    const uint8_t b = rest[0];
    if (b == dlp::slp::kPreamble[0]) {
      if (rest.size() < 3) return {FirstBytes::Unknown, at};
      if (rest[1] == dlp::slp::kPreamble[1] && rest[2] == dlp::slp::kPreamble[2]) return {FirstBytes::Serial, at};
    } else if (b == hello) {
      return {FirstBytes::Network, at};
    } else if (b == dlp::kFrameData) {
      // type, txid, 32-bit length of the hello, the hello.
      if (rest.size() < dlp::kFrameHeaderSize + 1) return {FirstBytes::Unknown, at};
      const uint32_t length =
          (uint32_t{rest[2]} << 24) | (uint32_t{rest[3]} << 16) | (uint32_t{rest[4]} << 8) | rest[5];
      if (length > 0 && length <= dlp::kMaxFramePayload && rest[dlp::kFrameHeaderSize] == hello) {
        return {FirstBytes::Network, at};
      }
    }
  }
  return {FirstBytes::Unknown, bytes.size()};
}

}  // namespace hotsync::detail
