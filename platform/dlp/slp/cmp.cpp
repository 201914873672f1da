#include "dlp/slp/cmp.h"

#include <algorithm>

namespace dlp::cmp {

namespace {
constexpr uint32_t kRates[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800};
}

std::vector<uint8_t> encode(const Message& m) {
  Writer w;
  w.u8(m.type).u8(m.flags).u8(m.major).u8(m.minor).u16(0).u32(m.rate);
  return std::move(w.out());
}

Message decode(std::span<const uint8_t> bytes) {
  Reader r(bytes);
  Message m;
  m.type = r.u8();
  m.flags = r.u8();
  m.major = r.u8();
  m.minor = r.u8();
  r.skip(2);
  m.rate = r.u32();
  return m;
}

std::span<const uint32_t> standardRates() { return kRates; }

uint32_t chooseRate(uint32_t handheldMax, uint32_t cap) {
  const uint32_t limit = cap == 0 ? handheldMax : std::min(handheldMax, cap);
  uint32_t best = kStartRate;
  for (const uint32_t rate : kRates) {
    if (rate <= limit) best = rate;
  }
  return best;
}

Message answerWakeup(const Message& wakeup, uint32_t cap) {
  Message answer;
  if (wakeup.major != kMajorVersion) {
    answer.type = kAbort;
    answer.flags = kAbortVersion;
    answer.rate = 0;
    return answer;
  }
  answer.type = kInit;
  answer.rate = chooseRate(wakeup.rate, cap);
  // The long form only for a handheld that offered it: older ones would
  // take the flag for something else.
  answer.flags = static_cast<uint8_t>((wakeup.flags & kLongPackets) | (answer.rate != kStartRate ? kChangeRate : 0));
  return answer;
}

}  // namespace dlp::cmp
