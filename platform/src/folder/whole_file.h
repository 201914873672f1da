// Reading a small file of the folder handheld or the backup folder at once.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace hotsync::detail {

// The whole content of `path`, or nothing when it cannot be opened (a
// symbolic link is not followed).
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

}  // namespace hotsync::detail
