// Crash-safe replacement of a file: readers see either the old or the new
// contents, never a mix, and a completed call survives a power cut.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "pdb/pdb.h"

namespace pdb {
namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const char* step, int err) {
  throw std::runtime_error(path.string() + ": " + step + ": " + std::generic_category().message(err));
}

constexpr std::size_t kCopyChunk = 1u << 20;

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

// Copies what is left of `source` into `fd`, in the kernel where it can
// (copy_file_range shares blocks on file systems that support it).
bool copyAll(int source, int fd) {
  bool inKernel = true;
  std::vector<char> buffer;
  for (;;) {
    if (inKernel) {
      const ssize_t n = ::copy_file_range(source, nullptr, fd, nullptr, kCopyChunk, 0);
      if (n > 0) continue;
      if (n == 0) return true;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
      inKernel = false;  // nothing was copied by the failed call: go on with plain reads
      buffer.resize(kCopyChunk);
    }
    const ssize_t n = ::read(source, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!writeAll(fd, std::span(reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<std::size_t>(n)))) {
      return false;
    }
  }
}

std::filesystem::path folderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// Fills a fresh temporary next to `path` with `fill`; it stays open (and
// locked) for placeStaged to flush.
template <typename Fill>
StagedFile stage(const std::filesystem::path& path, Fill fill) {
  if (!path.has_filename()) throw std::runtime_error(path.string() + ": not a file name");
  const std::filesystem::path folder = folderOf(path);

  // mkostemp picks a name nobody else holds, so concurrent writers of the
  // same file never share a temporary. The lock says it is being written;
  // one a cleaner removed between the two calls is made again.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = (folder / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) fail(path, "cannot create temporary file", errno);
    struct stat st {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink == 0 && attempt < 3) {
      ::close(fd);
      fd = -1;
    }
  }

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
  if (!fill(fd)) abandon("cannot write", errno);
  return StagedFile(temp, path, fd);
}

// Flushes the entries of `folder`; errors name `path`.
void flushFolder(const std::filesystem::path& folder, const std::filesystem::path& path) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail(path, "cannot open folder to flush it", errno);
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  if (rc != 0) fail(path, "cannot flush folder", err);
}

// Writes `path` with `fill` through a flushed temporary, renames it into
// place and flushes the folder.
template <typename Fill>
void replaceAtomically(const std::filesystem::path& path, Fill fill) {
  std::vector<StagedFile> one;
  one.push_back(stage(path, fill));
  const std::vector<std::string> errors = placeStaged(std::move(one), true);
  if (!errors.front().empty()) throw std::runtime_error(errors.front());
}

// Writes serialize(db) to `fd` block by block.
bool writeDatabase(int fd, const Database& db, const std::vector<uint8_t>& head) {
  // Small blocks are gathered into large writes; large ones go as they are.
  std::vector<uint8_t> pending(head);
  pending.reserve(kCopyChunk);
  bool ok = true;
  forEachBlock(db, [&](const std::vector<uint8_t>& block) {
    if (!ok) return;
    if (pending.size() + block.size() > kCopyChunk) {
      ok = writeAll(fd, pending);
      pending.clear();
    }
    if (block.size() >= kCopyChunk) {
      ok = ok && writeAll(fd, block);
    } else {
      pending.insert(pending.end(), block.begin(), block.end());
    }
  });
  return ok && writeAll(fd, pending);
}

}  // namespace

StagedFile::StagedFile(std::filesystem::path temp, std::filesystem::path path, int fd)
    : temp_(std::move(temp)), path_(std::move(path)), fd_(fd) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : temp_(std::move(other.temp_)),
      path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      flushed_(other.flushed_) {
  other.temp_.clear();
}

StagedFile::~StagedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void flushStaged(std::span<StagedFile> files) {
  std::vector<int> fds;
  for (const StagedFile& file : files) {
    if (file.flushed_ < 0) fds.push_back(file.fd_);
  }
  const std::vector<int> errors = flushFiles(fds, false);
  std::size_t next = 0;
  for (StagedFile& file : files) {
    if (file.flushed_ < 0) file.flushed_ = errors[next++];
  }
}

std::vector<std::string> placeStaged(std::vector<StagedFile> files, bool flush) {
  flushStaged(files);
  std::vector<std::string> errors(files.size());
  bool anyPlaced = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    StagedFile& file = files[i];
    const int closed = ::close(std::exchange(file.fd_, -1));
    const auto failed = [&](const char* step, int err) {
      errors[i] = file.path_.string() + ": " + step + ": " + std::generic_category().message(err);
    };
    if (file.flushed_ != 0) {
      failed("cannot flush", file.flushed_);
    } else if (closed != 0) {
      failed("cannot close", errno);
    } else if (::rename(file.temp_.c_str(), file.path_.c_str()) != 0) {
      failed("cannot rename into place", errno);
    } else {
      file.temp_.clear();
      anyPlaced = true;
    }
  }
  if (flush && anyPlaced) {
    try {
      flushFolder(folderOf(files.front().path_), files.front().path_);
    } catch (const std::exception& e) {
      for (std::size_t i = 0; i < files.size(); ++i) {
        if (errors[i].empty()) errors[i] = e.what();
      }
    }
  }
  return errors;
}

StagedFile stageFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  return stage(path, [&](int fd) { return writeAll(fd, bytes); });
}

StagedFile stageDatabase(const std::filesystem::path& path, const Database& db) {
  const std::vector<uint8_t> head = serializeHead(db, nullptr);
  return stage(path, [&](int fd) { return writeDatabase(fd, db, head); });
}

bool isAbandonedTemporary(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

void writeFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  replaceAtomically(path, [&](int fd) { return writeAll(fd, bytes); });
}

void copyFileAtomic(const std::filesystem::path& path, int source) {
  replaceAtomically(path, [&](int fd) { return copyAll(source, fd); });
}

uint64_t writeDatabaseAtomic(const std::filesystem::path& path, const Database& db) {
  uint64_t size = 0;
  const std::vector<uint8_t> head = serializeHead(db, &size);
  replaceAtomically(path, [&](int fd) { return writeDatabase(fd, db, head); });
  return size;
}

}  // namespace pdb
