// Arbitrary bytes as a serial line: fed to the SLP decoder in pieces whose
// sizes the input's first byte picks, every packet found goes through PADP
// and, when whole, CMP. Nothing may read outside its buffer, the decoder
// may hold no more than one packet beyond a feed, and every packet found
// encodes back to the bytes it came from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "dlp/slp/cmp.h"
#include "dlp/slp/padp.h"
#include "dlp/slp/slp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = 1 + data[0] % 64;
  const std::span<const uint8_t> line(data + 1, size - 1);
  dlp::slp::Decoder decoder(dlp::padp::kMaxBody);
  dlp::padp::Reassembler reassembler(0x20000);
  std::size_t fed = 0;
  uint64_t found = 0;  // bytes of the packets found so far
  for (std::size_t at = 0; at < line.size(); at += chunk) {
    const auto piece = line.subspan(at, std::min(chunk, line.size() - at));
    decoder.feed(piece);
    fed += piece.size();
    while (auto packet = decoder.next()) {
      // A packet ends where the decoder's unread bytes begin, and it is
      // exactly the bytes it was read from.
      const auto wire = dlp::slp::encodePacket(packet->header, packet->body);
      const std::size_t end = fed - decoder.buffered();
      if (wire.size() > end || !std::equal(wire.begin(), wire.end(), line.begin() + (end - wire.size()))) std::abort();
      found += wire.size();
      // Everything read is either in a packet or skipped as noise.
      if (found + decoder.skipped() != end) std::abort();
      try {
        const dlp::padp::Fragment fragment = dlp::padp::decode(packet->body);
        if (fragment.header.type != dlp::padp::kData) continue;
        if (reassembler.add(fragment) == dlp::padp::Reassembler::Step::Done) {
          const auto whole = reassembler.take();
          (void)dlp::cmp::decode(whole);
        }
      } catch (const dlp::WireError&) {
        reassembler = dlp::padp::Reassembler(0x20000);
      }
    }
    if (decoder.buffered() > dlp::slp::kHeaderSize + dlp::padp::kMaxBody + dlp::slp::kFooterSize + piece.size()) {
      std::abort();
    }
  }
  return 0;
}
