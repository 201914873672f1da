#pragma once
// The download folder (--files DIR): a request for /files/a/b.pdb gets the
// bytes of DIR/a/b.pdb. Nothing outside DIR is ever served, whether the way
// out is "..", an absolute part or a symbolic link.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo::server {

// The whole file, or nothing when it cannot be read or is not a regular file.
std::optional<std::string> read_whole_file(const std::filesystem::path& path);

class FileStore {
public:
    static constexpr std::string_view kPrefix = "/files/";

    explicit FileStore(std::filesystem::path root);

    // The file that a decoded request path names, if it lies inside the root.
    std::optional<std::filesystem::path> locate(std::string_view request_path) const;

    std::optional<std::string> read(std::string_view request_path) const;

private:
    std::filesystem::path root_;  // canonical
};

}  // namespace tarvo::server
