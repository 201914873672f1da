#include "file_store.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tarvo::server {

namespace fs = std::filesystem;

std::optional<std::string> read_whole_file(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

FileStore::FileStore(fs::path root) {
    std::error_code ec;
    root_ = fs::weakly_canonical(root, ec);
    if (ec) root_ = std::move(root);
}

std::optional<fs::path> FileStore::locate(std::string_view request_path) const {
    if (!request_path.starts_with(kPrefix)) return std::nullopt;
    std::string_view rest = request_path.substr(kPrefix.size());
    if (rest.find('\0') != std::string_view::npos || rest.find('\\') != std::string_view::npos)
        return std::nullopt;

    fs::path candidate = root_;
    bool any = false;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        candidate /= std::string(part);
        any = true;
    }
    if (!any) return std::nullopt;

    // A symbolic link inside the folder may still point out of it.
    std::error_code ec;
    const fs::path real = fs::canonical(candidate, ec);
    if (ec) return std::nullopt;
    if (std::mismatch(root_.begin(), root_.end(), real.begin(), real.end()).first != root_.end())
        return std::nullopt;
    return real;
}

std::optional<std::string> FileStore::read(std::string_view request_path) const {
    const auto path = locate(request_path);
    if (!path) return std::nullopt;
    return read_whole_file(*path);
}

}  // namespace tarvo::server
