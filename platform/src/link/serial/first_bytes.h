// What a handheld on a serial port speaks, told from its first bytes: SLP
// packets begin with BE EF ED; some handhelds behind a USB-serial driver
// send network HotSync frames instead, starting with their hello (0x90),
// bare or in a data frame. Bytes before either are line noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace hotsync::detail {

struct FirstBytes {
  enum Framing { Unknown, Serial, Network } framing = Unknown;
  std::size_t noise = 0;  // bytes to drop before the first packet
};

// Unknown until enough bytes have come; `noise` counts what can go already.
FirstBytes recogniseFraming(std::span<const uint8_t> bytes);

}  // namespace hotsync::detail
