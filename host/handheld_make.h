// Making a simulated handheld from a backup folder.
#pragma once

#include <filesystem>
#include <string>

namespace tarvo::host {

// Makes the handheld folder `dir` (missing or empty) holding every database
// of the backup folder `from` (ours, or another tool's: names come from the
// files' headers), for HotSync user `user` (UTF-8; empty: the user the
// backup belongs to, else the backup folder's name). Returns the exit status.
int makeHandheldFromBackup(const std::filesystem::path& dir, const std::filesystem::path& from, std::string user);

}  // namespace tarvo::host
