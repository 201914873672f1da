#include "engine/commands/command_values.h"

#include <limits>

#include "http/url_paths.h"
#include "resources/text_codec.h"

namespace tarvo::engine {

int32_t LeadingInt32(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated as a negative number, which reaches INT32_MIN exactly.
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 - (text[i] - '0');
    if (value < kMin) value = kMin;
  }
  if (!negative) value = value == kMin ? std::numeric_limits<int32_t>::max() : -value;
  return static_cast<int32_t>(value);
}

std::string DownloadPath(const std::string& tempPath, const std::string& url) {
  if (tempPath.empty()) return {};
  const std::string name = FileNameFromPath(url);
  // After the backslash rule a name may still hold slashes ("a\../x" gives
  // "../x"); such a name would leave the folder, so it saves nothing.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos) {
    return {};
  }
  return tempPath + Cp1252ToUtf8(name);
}

std::string FillText(const std::string& format, const std::string& value) {
  std::string out = format;
  if (const std::size_t at = out.find("%s"); at != std::string::npos) out.replace(at, 2, value);
  return out;
}

}  // namespace tarvo::engine
