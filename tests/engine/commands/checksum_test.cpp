// The installer checksum: its table, the text-mode reading and the chunking.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "engine/commands/conduit_checksum.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using tarvo::engine::ConduitChecksumEntry;
using tarvo::engine::ConduitChecksumUpdate;
using tarvo::engine::ConduitFileChecksum;

namespace {

// CRC-16/ARC computed bit by bit, the reference the table departs from.
uint16_t ArcBitwise(const std::string& bytes) {
  uint16_t crc = 0;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : (crc >> 1);
  }
  return crc;
}

uint16_t Checksum(const std::string& bytes) {
  return ConduitChecksumUpdate(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class FileChecksumTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }
  uint16_t OfFile(const std::string& bytes) {
    const fs::path file = dir_ / "setup.bin";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return ConduitFileChecksum(file.string());
  }
  tarvo::test::TempFolder temp_{"tarvo-crc"};
  fs::path dir_ = temp_.path();
};

// Bytes that avoid CR and 0x1A, so text-mode reading leaves them alone.
std::string PlainBytes(std::size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    char c = static_cast<char>(seed >> 16);
    if (c == '\r' || c == 0x1A) c = 'x';
    bytes[i] = c;
  }
  return bytes;
}

}  // namespace

TEST(ConduitChecksumTable, IsTheArcTableExceptFourEntries) {
  // From 0, one byte b gives table[b], so each entry can be checked alone.
  const std::map<int, uint16_t> changed = {{18, 0x0080}, {26, 0xC881}, {55, 0x0641}, {211, 0x9041}};
  const std::map<int, uint16_t> arc = {{18, 0x0D80}, {26, 0xCB81}, {55, 0xD641}, {211, 0x9D41}};
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    if (changed.contains(b)) {
      EXPECT_EQ(ConduitChecksumEntry(static_cast<uint8_t>(b)), changed.at(b)) << b;
      EXPECT_EQ(ArcBitwise(one), arc.at(b)) << b;
    } else {
      EXPECT_EQ(ConduitChecksumEntry(static_cast<uint8_t>(b)), ArcBitwise(one)) << b;
    }
  }
  EXPECT_EQ(ArcBitwise("123456789"), 0xBB3D);  // the reference is the real ARC
}

// Known answers worked out apart from this code (a few lines of Python over
// the same bytes): a shift, an entry or the reading gone wrong changes them.
TEST_F(FileChecksumTest, KnownAnswers) {
  EXPECT_EQ(Checksum("123456789"), 0x7EFC);

  // Exactly 1,024 bytes count whole. The first byte hits entry 18 and the
  // rest reach the other changed entries (26, 55, 211) too.
  std::string exact = "\x12\x37\xD3";
  std::string longer;
  for (unsigned i = 0; i < 2048; ++i) {
    const auto b = static_cast<char>(i * 37 + 11);
    longer += (b == '\r' || b == 0x1A) ? ' ' : b;
  }
  exact += longer.substr(0, 1021);
  EXPECT_EQ(OfFile(exact), 0x5BE8);
  EXPECT_EQ(OfFile(longer), 0xCA51);
  EXPECT_EQ(OfFile(longer.substr(0, 2047)), 0x8EC9);  // the first 1,024 only

  // CR LF read as LF, a lone CR kept, nothing read after 0x1A: 1,037 bytes
  // of text, of which the first 1,024 count.
  const std::string line = "The quick brown fox jumps over the lazy dog 0123\r\n";
  std::string text;
  for (int i = 0; i < 10; ++i) text += line;
  text += "lone\rCR\r\n";
  for (int i = 0; i < 11; ++i) text += line;
  text += '\x1A';
  for (int i = 0; i < 30; ++i) text += line;
  EXPECT_EQ(OfFile(text), 0xB7A9);
}

TEST_F(FileChecksumTest, OnlyFullChunksCount) {
  const std::string bytes = PlainBytes(2048);
  EXPECT_EQ(OfFile(bytes.substr(0, 1024)), Checksum(bytes.substr(0, 1024)));
  EXPECT_EQ(OfFile(bytes.substr(0, 1500)), Checksum(bytes.substr(0, 1024)));
  EXPECT_EQ(OfFile(bytes), Checksum(bytes));
  EXPECT_EQ(OfFile(bytes.substr(0, 1023)), 0);
  EXPECT_EQ(OfFile(""), 0);
  EXPECT_EQ(ConduitFileChecksum((dir_ / "missing.exe").string()), 0);
}

TEST_F(FileChecksumTest, ReadsTheFileAsText) {
  // CR LF counts as one LF, so 1024 pairs fill exactly two chunks' worth of
  // raw bytes but only one chunk of text.
  std::string pairs;
  for (int i = 0; i < 1024; ++i) pairs += "\r\n";
  EXPECT_EQ(OfFile(pairs), Checksum(std::string(1024, '\n')));

  // A CR not followed by LF stays, also across the reader's raw blocks.
  std::string lone = PlainBytes(16383) + "\r" + "y" + PlainBytes(1000, 7);
  std::string text = lone;
  EXPECT_EQ(OfFile(lone), Checksum(text.substr(0, 16384)));

  // 0x1A ends the file: what follows is never read, so 2048 bytes before it
  // count, and a chunk cut short by it does not.
  const std::string body = PlainBytes(2048, 3);
  EXPECT_EQ(OfFile(body + '\x1A' + PlainBytes(4000, 5)), Checksum(body));
  EXPECT_EQ(OfFile(body.substr(0, 1500) + '\x1A' + PlainBytes(4000, 5)), Checksum(body.substr(0, 1024)));
  // A CR right before the end stays a CR and completes the chunk.
  EXPECT_EQ(OfFile(body.substr(0, 1023) + "\r\x1A"), Checksum(body.substr(0, 1023) + "\r"));
}
