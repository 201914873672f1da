#include "folder/block_hash.h"

#include <bit>
#include <cstring>

namespace hotsync::detail {
namespace {

constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kP3 = 0x165667B19E3779F9ull;
constexpr uint64_t kP4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kP5 = 0x27D4EB2F165667C5ull;

uint64_t read64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return std::endian::native == std::endian::little ? v : __builtin_bswap64(v);
}

uint32_t read32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return std::endian::native == std::endian::little ? v : __builtin_bswap32(v);
}

uint64_t round(uint64_t acc, uint64_t input) { return std::rotl(acc + input * kP2, 31) * kP1; }

uint64_t merge(uint64_t acc, uint64_t lane) { return (acc ^ round(0, lane)) * kP1 + kP4; }

}  // namespace

void BlockHash::add(std::span<const uint8_t> block) {
  const std::size_t stripes = block.size() / 32;
  const uint8_t* p = block.data();
  for (std::size_t i = 0; i < stripes; ++i, p += 32) {
    lanes_[0] = round(lanes_[0], read64(p));
    lanes_[1] = round(lanes_[1], read64(p + 8));
    lanes_[2] = round(lanes_[2], read64(p + 16));
    lanes_[3] = round(lanes_[3], read64(p + 24));
  }
  total_ += block.size();
  tail_ = block.subspan(stripes * 32);
}

uint64_t BlockHash::finish() const {
  uint64_t h;
  if (total_ >= 32) {
    h = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) + std::rotl(lanes_[3], 18);
    for (const uint64_t lane : lanes_) h = merge(h, lane);
  } else {
    h = kP5;
  }
  h += total_;
  const uint8_t* p = tail_.data();
  std::size_t left = tail_.size();
  for (; left >= 8; left -= 8, p += 8) h = std::rotl(h ^ round(0, read64(p)), 27) * kP1 + kP4;
  if (left >= 4) {
    h = std::rotl(h ^ (read32(p) * kP1), 23) * kP2 + kP3;
    left -= 4;
    p += 4;
  }
  for (; left > 0; --left, ++p) h = std::rotl(h ^ (*p * kP5), 11) * kP1;
  h ^= h >> 33;
  h *= kP2;
  h ^= h >> 29;
  h *= kP3;
  h ^= h >> 32;
  return h;
}

}  // namespace hotsync::detail
