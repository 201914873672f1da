// Builds database images byte by byte from the published layout, so the
// tests do not depend on our own writer to make their inputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pdb::test {

struct ImageBuilder {
  std::vector<uint8_t> bytes;

  ImageBuilder& u8(uint32_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  ImageBuilder& u16(uint32_t v) { return u8(v >> 8).u8(v); }
  ImageBuilder& u24(uint32_t v) { return u8(v >> 16).u8(v >> 8).u8(v); }
  ImageBuilder& u32(uint32_t v) { return u8(v >> 24).u8(v >> 16).u8(v >> 8).u8(v); }
  ImageBuilder& text(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  ImageBuilder& zeros(std::size_t n) {
    bytes.insert(bytes.end(), n, 0);
    return *this;
  }
  // Name field: the text, then zeros up to 32 bytes.
  ImageBuilder& name(const std::string& s) { return text(s).zeros(32 - s.size()); }
};

struct HeaderFields {
  std::string name = "Test";
  uint16_t attributes = 0;
  uint16_t version = 1;
  uint32_t creation = 0xB9000001;
  uint32_t modification = 0xB9000002;
  uint32_t backup = 0xB9000003;
  uint32_t modNumber = 7;
  uint32_t appInfo = 0;
  uint32_t sortInfo = 0;
  uint32_t type = 0x44415441;     // DATA
  uint32_t creator = 0x54617276;  // Tarv
  uint32_t seed = 0x1000;
  uint32_t nextList = 0;
  uint16_t count = 0;
};

inline ImageBuilder header(const HeaderFields& h) {
  ImageBuilder b;
  b.name(h.name).u16(h.attributes).u16(h.version).u32(h.creation).u32(h.modification).u32(h.backup);
  b.u32(h.modNumber).u32(h.appInfo).u32(h.sortInfo).u32(h.type).u32(h.creator).u32(h.seed);
  b.u32(h.nextList).u16(h.count);
  return b;
}

// Three records (the first two both with unique id 0, the middle one empty),
// app info "AI" and sort info "SORT"; `pad` bytes between list and data.
inline std::vector<uint8_t> recordImage(std::size_t pad) {
  const uint32_t data = static_cast<uint32_t>(78 + 3 * 8 + pad);
  HeaderFields h;
  h.appInfo = data;
  h.sortInfo = data + 2;
  h.count = 3;
  ImageBuilder b = header(h);
  b.u32(data + 6).u8(0x41).u24(0);         // "one", dirty, category 1
  b.u32(data + 9).u8(0x80).u24(0);         // empty, deleted
  b.u32(data + 9).u8(0x02).u24(0xABCDEF);  // "three!", category 2
  b.zeros(pad).text("AI").text("SORT").text("one").text("three!");
  return b.bytes;
}

// Two resources with two pad bytes: 'tSTR' 1000 "hello", 'code' 0 "\x4e\x75".
inline std::vector<uint8_t> resourceImage() {
  HeaderFields h;
  h.name = "Res";
  h.attributes = 0x0001;
  h.type = 0x6170706C;  // appl
  h.count = 2;
  ImageBuilder b = header(h);
  const uint32_t data = 78 + 2 * 10 + 2;
  b.u32(0x74535452).u16(1000).u32(data);
  b.u32(0x636F6465).u16(0).u32(data + 5);
  b.zeros(2).text("hello").u8(0x4e).u8(0x75);
  return b.bytes;
}

}  // namespace pdb::test
