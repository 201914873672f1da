// Bounded big-endian reading and writing for the link's packets. A Reader
// never reads past its span: running out throws WireError, which ends the
// link with a one-line reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace dlp {

class WireError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A calendar date and time as the link carries it (the handheld's local time).
struct DateTime {
  uint16_t year = 0;  // 0: no date
  uint8_t month = 0;  // 1..12
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  bool operator==(const DateTime&) const = default;
};

// The same fields in a std::tm; tmFromDate leaves its other fields zero.
DateTime dateFromTm(const std::tm& tm);
std::tm tmFromDate(const DateTime& date);

// Seconds since 1904-01-01 (how a database stores its dates) and back; 0 is "no date".
DateTime dateFromPalm(uint32_t palmSeconds);
uint32_t palmFromDate(const DateTime& date);

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t u8();
  uint16_t u16();
  uint32_t u32();
  std::span<const uint8_t> take(std::size_t n);
  void skip(std::size_t n) { take(n); }
  // The next n bytes as they are, zeros included.
  std::string chars(std::size_t n);
  // Text up to a zero byte that must lie within the next `field` bytes (or
  // the rest); the zero is consumed, and with a fixed field the whole field.
  std::string text(std::size_t field = 0);
  DateTime date();
  std::span<const uint8_t> rest();
  std::size_t remaining() const { return bytes_.size() - at_; }

 private:
  void need(std::size_t n) const;
  std::span<const uint8_t> bytes_;
  std::size_t at_ = 0;
};

class Writer {
 public:
  Writer& u8(uint8_t v);
  Writer& u16(uint16_t v);
  Writer& u32(uint32_t v);
  Writer& bytes(std::span<const uint8_t> b);
  Writer& chars(const std::string& s);  // without a terminating zero
  Writer& zeros(std::size_t n);
  Writer& text(const std::string& s);  // with its terminating zero
  Writer& date(const DateTime& d);
  std::vector<uint8_t>& out() { return out_; }

 private:
  std::vector<uint8_t> out_;
};

}  // namespace dlp
