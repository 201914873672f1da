// Builds database images byte by byte from the published layout, so the
// tests do not depend on our own writer to make their inputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pdb::test {

struct ImageBuilder {
  std::vector<uint8_t> bytes;

  ImageBuilder& u8(uint32_t v) { return bytes.push_back(static_cast<uint8_t>(v)), *this; }
  ImageBuilder& u16(uint32_t v) { return u8(v >> 8).u8(v); }
  ImageBuilder& u24(uint32_t v) { return u8(v >> 16).u8(v >> 8).u8(v); }
  ImageBuilder& u32(uint32_t v) { return u16(v >> 16).u16(v); }
  ImageBuilder& text(const std::string& s) { return bytes.insert(bytes.end(), s.begin(), s.end()), *this; }
  ImageBuilder& zeros(std::size_t n) { return bytes.insert(bytes.end(), n, 0), *this; }
};

// Header: name "Test", dates 0xB9000001..3, modification number 7, type
// DATA, creator Tarv, seed 0x1000.
inline ImageBuilder header(uint16_t attributes, uint32_t appInfo, uint32_t sortInfo, uint16_t count) {
  ImageBuilder b;
  b.text("Test").zeros(28).u16(attributes).u16(1).u32(0xB9000001).u32(0xB9000002).u32(0xB9000003);
  b.u32(7).u32(appInfo).u32(sortInfo).u32(0x44415441).u32(0x54617276).u32(0x1000).u32(0).u16(count);
  return b;
}

// Three records (the first two both with unique id 0, the middle one empty),
// app info "AI" and sort info "SORT"; `pad` bytes between list and data.
inline std::vector<uint8_t> recordImage(std::size_t pad) {
  const uint32_t data = static_cast<uint32_t>(78 + 3 * 8 + pad);
  ImageBuilder b = header(0, data, data + 2, 3);
  b.u32(data + 6).u8(0x41).u24(0);         // "one", dirty, category 1
  b.u32(data + 9).u8(0x80).u24(0);         // empty, deleted
  b.u32(data + 9).u8(0x02).u24(0xABCDEF);  // "three!", category 2
  b.zeros(pad).text("AI").text("SORT").text("one").text("three!");
  return b.bytes;
}

// Two resources after the two pad bytes: 'tSTR' 1000 "hello", 'code' 0 "Nu".
inline std::vector<uint8_t> resourceImage() {
  ImageBuilder b = header(0x0001, 0, 0, 2);
  b.u32(0x74535452).u16(1000).u32(100).u32(0x636F6465).u16(0).u32(105);
  b.zeros(2).text("hello").text("Nu");
  return b.bytes;
}

}  // namespace pdb::test
