// Small text helpers the engine's files share. Texts are Windows-1252 bytes;
// only ASCII letters change case and only ASCII white space is trimmed, so
// byte positions stay where they were.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace tarvo::engine {

inline bool IsTrimSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

inline std::string TrimRight(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsTrimSpace(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// A fixed-size name field as text: up to its first zero, never past its end.
inline std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

}  // namespace tarvo::engine
