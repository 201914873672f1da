// A 64-bit content hash for whole files, fed in large blocks: four
// independent multiply-rotate lanes over 32-byte stripes (the XXH64
// construction), many times faster than a byte-at-a-time hash.
#pragma once

#include <cstdint>
#include <span>

namespace hotsync::detail {

class BlockHash {
 public:
  // Every block but the last must be a multiple of 32 bytes long.
  void add(std::span<const uint8_t> block);
  uint64_t finish() const;

 private:
  uint64_t lanes_[4] = {0x9E3779B185EBCA87ull + 0xC2B2AE3D27D4EB4Full, 0xC2B2AE3D27D4EB4Full, 0,
                        0 - 0x9E3779B185EBCA87ull};
  uint64_t total_ = 0;
  std::span<const uint8_t> tail_;  // the last block's bytes after its stripes
};

}  // namespace hotsync::detail
