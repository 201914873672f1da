// The desktop HotSync log: one line per entry, "date time<TAB>activity<TAB>text".
#pragma once

#include <cstdint>
#include <string>

namespace hotsync::detail {

// Appends to the log of `user` (UTF-8; empty: the host's own log in the data
// folder). The file stays private to its owner. False when it cannot.
bool appendDesktopLog(const std::string& user, int32_t activity, const std::string& utf8Text);

}  // namespace hotsync::detail
