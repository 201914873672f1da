#include "http/url_paths.h"

// Windows-1252 has no trail bytes (and UTF-8's are never ASCII), so a plain
// search from the end cannot take part of a character for a separator.
std::string FileNameFromPath(const std::string& text) {
  for (char separator : {'\\', '/', '='}) {
    size_t pos = text.rfind(separator);
    if (pos != std::string::npos) return text.substr(pos + 1);
  }
  return text;
}

std::string DirectoryOfPath(const std::string& path) {
  size_t pos = path.rfind('/');
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}
