// Loads a database file from disk, keeping its bytes for an unchanged write-back.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

#include "pdb/pdb.h"

namespace pdb {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string errnoText(int err) { return std::generic_category().message(err); }

// Checks that `fd` is a regular file no larger than the format allows; its size.
std::size_t databaseFileSize(int fd, const std::filesystem::path& path) {
  const std::string where = path.string() + ": ";
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw FormatError(where + "cannot stat: " + errnoText(errno));
  if (!S_ISREG(st.st_mode)) throw FormatError(where + "not a regular file");
  if (static_cast<uint64_t>(st.st_size) > std::numeric_limits<uint32_t>::max()) {
    throw FormatError(where + "file is larger than 4 GiB");
  }
  return static_cast<std::size_t>(st.st_size);
}

// Opens a regular file no larger than the format allows; *size is its size.
int openDatabaseFile(const std::filesystem::path& path, std::size_t* size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FormatError(path.string() + ": cannot open: " + errnoText(errno));
  Fd closer(fd);
  *size = databaseFileSize(fd, path);
  return closer.release();
}

// Reads bytes [from, to) of the file; fewer when it ends sooner.
std::vector<uint8_t> readRange(int fd, const std::filesystem::path& path, std::size_t from, std::size_t to) {
  std::vector<uint8_t> bytes(to - from);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(from + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FormatError(path.string() + ": cannot read: " + errnoText(errno));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

Layout layoutOf(int fd, const std::filesystem::path& path, std::size_t size) {
  std::vector<uint8_t> head = readRange(fd, path, 0, std::min(size, kHeaderSize));
  const std::size_t needed = std::min(size, layoutSize(head));
  if (needed > head.size()) head = readRange(fd, path, 0, needed);
  if (head.size() < needed) throw FormatError(path.string() + ": shrank while being read");
  try {
    return parseLayout(head, size);
  } catch (const FormatError& e) {
    throw FormatError(path.string() + ": " + e.what());
  }
}

}  // namespace

LoadedDatabase readFile(const std::filesystem::path& path) {
  const std::string where = path.string() + ": ";
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw FormatError(where + "cannot open: " + errnoText(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw FormatError(where + "cannot stat: " + errnoText(errno));
  if (!S_ISREG(st.st_mode)) throw FormatError(where + "not a regular file");
  if (static_cast<uint64_t>(st.st_size) > std::numeric_limits<uint32_t>::max()) {
    throw FormatError(where + "file is larger than 4 GiB");
  }

  LoadedDatabase loaded;
  loaded.original.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < loaded.original.size()) {
    const ssize_t n = ::read(fd.get(), loaded.original.data() + done, loaded.original.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FormatError(where + "cannot read: " + errnoText(errno));
    if (n == 0) break;  // shrank while we read: parse what is there
    done += static_cast<std::size_t>(n);
  }
  loaded.original.resize(done);

  try {
    loaded.db = parse(loaded.original);
  } catch (const FormatError& e) {
    throw FormatError(where + e.what());
  }
  return loaded;
}

Layout readLayout(const std::filesystem::path& path, std::size_t* fileSize) {
  std::size_t size = 0;
  Fd fd(openDatabaseFile(path, &size));
  if (fileSize) *fileSize = size;
  return layoutOf(fd.get(), path, size);
}

Layout readLayout(int fd, const std::filesystem::path& path, std::size_t* fileSize) {
  const std::size_t size = databaseFileSize(fd, path);
  if (fileSize) *fileSize = size;
  return layoutOf(fd, path, size);
}

Database readDatabase(const std::filesystem::path& path) {
  std::size_t size = 0;
  Fd fd(openDatabaseFile(path, &size));
  return fill(layoutOf(fd.get(), path, size), [&](Layout::Range r) {
    std::vector<uint8_t> bytes = readRange(fd.get(), path, r.from, r.to);
    if (bytes.size() != r.to - r.from) throw FormatError(path.string() + ": shrank while being read");
    return bytes;
  });
}

}  // namespace pdb
