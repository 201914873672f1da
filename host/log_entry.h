// The word the log command shows beside a desktop log entry's activity code.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::host {

// "início", "fim", "aviso", ... for the codes the system writes; empty for
// any other code.
std::string activityWord(int32_t activity);

}  // namespace tarvo::host
