#include "dlp/wire.h"

#include <cstring>
#include <ctime>

#include "pdb/palm_clock.h"

namespace dlp {

DateTime dateFromTm(const std::tm& tm) {
  return DateTime{static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint8_t>(tm.tm_mon + 1),
                  static_cast<uint8_t>(tm.tm_mday),         static_cast<uint8_t>(tm.tm_hour),
                  static_cast<uint8_t>(tm.tm_min),          static_cast<uint8_t>(tm.tm_sec)};
}

std::tm tmFromDate(const DateTime& d) {
  std::tm tm{};
  tm.tm_year = d.year - 1900;
  tm.tm_mon = d.month - 1;
  tm.tm_mday = d.day;
  tm.tm_hour = d.hour;
  tm.tm_min = d.minute;
  tm.tm_sec = d.second;
  return tm;
}

DateTime dateFromPalm(uint32_t palmSeconds) {
  if (palmSeconds == 0) return {};
  return dateFromTm(pdb::wallClockFromPalmSeconds(palmSeconds));
}

uint32_t palmFromDate(const DateTime& d) { return pdb::palmSecondsFromWallClock(tmFromDate(d)); }

void Reader::need(std::size_t n) const {
  if (n > remaining()) {
    throw WireError("a packet ends early (" + std::to_string(n) + " bytes wanted, " + std::to_string(remaining()) +
                    " left)");
  }
}

uint8_t Reader::u8() {
  need(1);
  return bytes_[at_++];
}

uint16_t Reader::u16() {
  need(2);
  const uint16_t v = static_cast<uint16_t>((bytes_[at_] << 8) | bytes_[at_ + 1]);
  at_ += 2;
  return v;
}

uint32_t Reader::u32() {
  need(4);
  const uint32_t v = (uint32_t{bytes_[at_]} << 24) | (uint32_t{bytes_[at_ + 1]} << 16) |
                     (uint32_t{bytes_[at_ + 2]} << 8) | uint32_t{bytes_[at_ + 3]};
  at_ += 4;
  return v;
}

std::span<const uint8_t> Reader::take(std::size_t n) {
  need(n);
  const auto part = bytes_.subspan(at_, n);
  at_ += n;
  return part;
}

std::string Reader::chars(std::size_t n) {
  const auto part = take(n);
  return std::string(part.begin(), part.end());
}

std::string Reader::text(std::size_t field) {
  const std::size_t limit = field == 0 ? remaining() : field;
  need(limit);
  const auto window = bytes_.subspan(at_, limit);
  // An empty window may have no buffer at all, which memchr must not see.
  const void* zero = window.empty() ? nullptr : std::memchr(window.data(), 0, window.size());
  if (zero == nullptr) throw WireError("a text in a packet has no end");
  const std::size_t length = static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - window.data());
  std::string s(reinterpret_cast<const char*>(window.data()), length);
  at_ += field == 0 ? length + 1 : field;
  return s;
}

DateTime Reader::date() {
  DateTime d;
  d.year = u16();
  d.month = u8();
  d.day = u8();
  d.hour = u8();
  d.minute = u8();
  d.second = u8();
  u8();
  return d;
}

std::span<const uint8_t> Reader::rest() { return take(remaining()); }

Writer& Writer::u8(uint8_t v) {
  out_.push_back(v);
  return *this;
}

Writer& Writer::u16(uint16_t v) { return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }

Writer& Writer::u32(uint32_t v) { return u16(static_cast<uint16_t>(v >> 16)).u16(static_cast<uint16_t>(v)); }

Writer& Writer::bytes(std::span<const uint8_t> b) {
  out_.insert(out_.end(), b.begin(), b.end());
  return *this;
}

Writer& Writer::chars(const std::string& s) {
  out_.insert(out_.end(), s.begin(), s.end());
  return *this;
}

Writer& Writer::zeros(std::size_t n) {
  out_.insert(out_.end(), n, 0);
  return *this;
}

Writer& Writer::text(const std::string& s) {
  out_.insert(out_.end(), s.begin(), s.end());
  return u8(0);
}

Writer& Writer::date(const DateTime& d) {
  return u16(d.year).u8(d.month).u8(d.day).u8(d.hour).u8(d.minute).u8(d.second).u8(0);
}

}  // namespace dlp
