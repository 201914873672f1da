// Helpers of the message table's encoders and decoders.
#pragma once

#include <span>
#include <vector>

#include "dlp/packet.h"
#include "dlp/wire.h"

namespace dlp::msg {

// The written bytes as the one argument of a message.
inline std::vector<Arg> one(Writer& w) { return {Arg{kFirstArgId, std::move(w.out())}}; }

// The argument with `id`, or nullptr.
inline const Arg* findArg(std::span<const Arg> args, uint8_t id) {
  for (const Arg& arg : args) {
    if (arg.id == id) return &arg;
  }
  return nullptr;
}

// The argument a message's fields are in: the first id, else whatever the
// sender put first. Throws WireError when there is none.
inline std::span<const uint8_t> mainArg(std::span<const Arg> args) {
  if (const Arg* arg = findArg(args, kFirstArgId)) return arg->data;
  if (args.empty()) throw WireError("a message without its argument");
  return args.front().data;
}

}  // namespace dlp::msg
