// One line of a desktop HotSync log as stored ("date time<TAB>code<TAB>text")
// and the word the log command shows beside its activity code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvo::host {

struct StoredLogEntry {
  std::string time;  // "YYYY-MM-DD HH:MM:SS", local time
  int32_t activity = 0;
  std::string text;
};

// Nothing for a line that is not an entry (edited by hand, cut short).
std::optional<StoredLogEntry> parseLogLine(const std::string& line);

// "início", "fim", "aviso", ... for the codes the system writes; empty for
// any other code.
std::string activityWord(int32_t activity);

}  // namespace tarvo::host
