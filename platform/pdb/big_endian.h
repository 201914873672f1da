// Big-endian reads and writes for the on-disk layout. Callers check bounds
// before reading; these helpers only assemble bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pdb::detail {

inline uint16_t readU16(std::span<const uint8_t> b, std::size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}

inline uint32_t readU24(std::span<const uint8_t> b, std::size_t at) {
  return (uint32_t{b[at]} << 16) | (uint32_t{b[at + 1]} << 8) | uint32_t{b[at + 2]};
}

inline uint32_t readU32(std::span<const uint8_t> b, std::size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | uint32_t{b[at + 3]};
}

inline void putU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

inline void putU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

inline void putU24(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

inline void putU32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

}  // namespace pdb::detail
