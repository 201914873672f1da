// A 64-bit content hash for whole files, fed in large blocks: XXH64 (seed
// 0) from libxxhash, many times faster than a byte-at-a-time hash. Journals
// keep it on disk, so the algorithm never changes under an existing journal.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

struct XXH64_state_s;

namespace hotsync::detail {

class BlockHash {
 public:
  BlockHash();
  ~BlockHash();
  BlockHash(const BlockHash&) = delete;
  BlockHash& operator=(const BlockHash&) = delete;

  // Blocks of any length; the hash is that of all of them in a row.
  void add(std::span<const uint8_t> block);
  uint64_t finish() const;

 private:
  struct Free {
    void operator()(XXH64_state_s* state) const;
  };
  std::unique_ptr<XXH64_state_s, Free> state_;
};

}  // namespace hotsync::detail
