#include "host/log_entry.h"

#include <charconv>

#include "hotsync/hslog.h"

namespace tarvo::host {

std::optional<StoredLogEntry> parseLogLine(const std::string& line) {
  const std::size_t tab1 = line.find('\t');
  if (tab1 == std::string::npos) return std::nullopt;
  const std::size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string::npos) return std::nullopt;
  StoredLogEntry entry;
  const char* first = line.data() + tab1 + 1;
  const char* last = line.data() + tab2;
  const auto [end, ec] = std::from_chars(first, last, entry.activity);
  if (ec != std::errc() || end != last) return std::nullopt;
  entry.time = line.substr(0, tab1);
  entry.text = line.substr(tab2 + 1);
  return entry;
}

std::string activityWord(int32_t activity) {
  switch (activity) {
    case slText:
      return "texto";
    case slSyncAborted:
      return "cancelado";
    case slSyncStarted:
      return "início";
    case slSyncFinished:
      return "fim";
    case slWarning:
      return "aviso";
    default:
      return {};
  }
}

}  // namespace tarvo::host
