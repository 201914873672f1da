#include "engine/commands/conduit_checksum.h"

#include <array>
#include <cstdio>
#include <memory>

namespace tarvo::engine {
namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t value = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? static_cast<uint16_t>((value >> 1) ^ 0xA001) : (value >> 1);
    table[i] = value;
  }
  table[18] = 0x0080;
  table[26] = 0xC881;
  table[55] = 0x0641;
  table[211] = 0x9041;
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

constexpr std::size_t kChunk = 1024;
constexpr unsigned char kEndOfText = 0x1A;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

uint16_t ConduitChecksumEntry(uint8_t index) { return kTable[index]; }

uint16_t ConduitChecksumUpdate(uint16_t value, const uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) value = kTable[(data[i] ^ value) & 0xFF] ^ (value >> 8);
  return value;
}

uint16_t ConduitFileChecksum(const std::string& path) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return 0;

  uint16_t value = 0;
  uint8_t chunk[kChunk];
  std::size_t filled = 0;
  auto put = [&](uint8_t byte) {
    chunk[filled++] = byte;
    if (filled == kChunk) {
      value = ConduitChecksumUpdate(value, chunk, kChunk);
      filled = 0;
    }
  };

  bool pendingCr = false;  // a CR whose partner may come with the next byte
  bool ended = false;
  unsigned char raw[16384];
  while (!ended) {
    const std::size_t got = std::fread(raw, 1, sizeof raw, file.get());
    if (got == 0) break;
    for (std::size_t i = 0; i < got && !ended; ++i) {
      const unsigned char byte = raw[i];
      if (byte == kEndOfText) {
        ended = true;
        continue;
      }
      // CR LF reads as LF; a CR before anything else stays a CR.
      if (pendingCr && byte != '\n') put('\r');
      pendingCr = byte == '\r';
      if (!pendingCr) put(byte);
    }
  }
  // A CR at the very end (or just before the 0x1A) stays a CR.
  if (pendingCr) put('\r');
  // Whatever did not fill a chunk is the last, partial one: it does not count.
  return value;
}

}  // namespace tarvo::engine
