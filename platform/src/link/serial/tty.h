// A serial line in raw mode: no echo, no line editing, no flow control,
// eight data bits, the speed set by the CMP opening.
#pragma once

#include <cstdint>
#include <string>

namespace hotsync::detail {

// Opens `path` for a HotSync at the starting 9600 baud. Throws LinkError
// (naming the dialout group when permission is what is missing).
int openTty(const std::string& path);
// Waits until what was written has left, then changes the speed. Throws
// LinkError for a speed the line does not offer.
void setTtyRate(int fd, uint32_t rate);

}  // namespace hotsync::detail
