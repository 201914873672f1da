// The file hash journals name their database by: fed in blocks of any
// multiple of 32 bytes, it gives what one block gives, and it sees every byte.
#include <gtest/gtest.h>

#include <vector>

#include "folder/block_hash.h"

namespace {

using hotsync::detail::BlockHash;

uint64_t hashOf(const std::vector<uint8_t>& bytes, std::size_t block) {
  BlockHash hash;
  for (std::size_t at = 0; at < bytes.size(); at += block) {
    hash.add(std::span(bytes).subspan(at, std::min(block, bytes.size() - at)));
  }
  if (bytes.empty()) hash.add({});
  return hash.finish();
}

TEST(BlockHash, BlocksGiveTheWholeAndEveryByteCounts) {
  EXPECT_EQ(hashOf({}, 32), 0xEF46DB3751D8E999ull);  // the construction's published value for no input
  for (const std::size_t size : {1u, 31u, 32u, 33u, 100u, 4096u + 13u}) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 5);
    const uint64_t whole = hashOf(bytes, size);
    EXPECT_EQ(hashOf(bytes, 32), whole) << size;
    EXPECT_EQ(hashOf(bytes, 64), whole) << size;
    for (std::size_t i = 0; i < size; i += 7) {
      std::vector<uint8_t> changed = bytes;
      changed[i] ^= 1;
      EXPECT_NE(hashOf(changed, size), whole) << size << " byte " << i;
    }
    bytes.push_back(0);
    EXPECT_NE(hashOf(bytes, size + 1), whole) << size;
  }
}

}  // namespace
