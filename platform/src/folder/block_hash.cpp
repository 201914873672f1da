#include "folder/block_hash.h"

#include <xxhash.h>

#include <new>

namespace hotsync::detail {

void BlockHash::Free::operator()(XXH64_state_s* state) const { XXH64_freeState(state); }

BlockHash::BlockHash() : state_(XXH64_createState()) {
  if (!state_) throw std::bad_alloc();
  XXH64_reset(state_.get(), 0);
}

BlockHash::~BlockHash() = default;

void BlockHash::add(std::span<const uint8_t> block) {
  if (!block.empty()) XXH64_update(state_.get(), block.data(), block.size());
}

uint64_t BlockHash::finish() const { return XXH64_digest(state_.get()); }

}  // namespace hotsync::detail
