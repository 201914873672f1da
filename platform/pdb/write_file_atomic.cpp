// Crash-safe replacement of a file: readers see either the old or the new
// contents, never a mix, and a completed call survives a power cut.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "pdb/pdb.h"

namespace pdb {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const char* step, int err) {
  throw std::runtime_error(path.string() + ": " + step + ": " + std::generic_category().message(err));
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void syncFolder(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail(path, "cannot open folder to flush it", errno);
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  if (rc != 0) fail(path, "cannot flush folder", err);
}

}  // namespace

void writeFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  if (!path.has_filename()) throw std::runtime_error(path.string() + ": not a file name");
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";

  // mkostemp picks a name nobody else holds, so concurrent writers of the
  // same file never share a temporary.
  std::string temp = (folder / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) fail(path, "cannot create temporary file", errno);

  const auto abandon = [&](const char* step, int err) {
    ::close(fd);
    ::unlink(temp.c_str());
    fail(path, step, err);
  };
  // A replaced file keeps its permissions; a new one stays private to its
  // owner (mkostemp's 0600), as handheld contents are personal data.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
    abandon("cannot set permissions", errno);
  }
  if (!writeAll(fd, bytes)) abandon("cannot write", errno);
  if (::fsync(fd) != 0) abandon("cannot flush", errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    fail(path, "cannot close", err);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    fail(path, "cannot rename into place", err);
  }
  syncFolder(path, folder);
}

}  // namespace pdb
