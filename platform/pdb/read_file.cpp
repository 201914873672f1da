// Loads a database file from disk, keeping its bytes for an unchanged write-back.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

 private:
  int fd_;
};

std::string errnoText(int err) { return std::generic_category().message(err); }

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

}  // namespace pdb
