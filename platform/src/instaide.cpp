// The install aide: HotSync users, their install queues, the program folder.
#include "hotsync/instaide.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "hotsync/host.h"
#include "pdb/pdb.h"
#include "text/cp1252.h"

namespace {

// Copies `text` and a zero into `buffer`; *size is the capacity in and the
// bytes written (with the zero) out, or the bytes needed when it does not fit.
bool putText(const std::string& text, char* buffer, int16_t* size) {
  const auto needed = static_cast<int64_t>(text.size()) + 1;
  if (needed > *size) {
    *size = static_cast<int16_t>(std::min<int64_t>(needed, INT16_MAX));
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<int16_t>(needed);
  return true;
}

}  // namespace

HOTSYNC_API int32_t PltGetUserCount() {
  try {
    return static_cast<int32_t>(hotsync::users().size());
  } catch (...) {
    return 0;
  }
}

HOTSYNC_API int32_t PltGetUser(uint32_t index, char* buffer, int16_t* size) {
  if (buffer == nullptr || size == nullptr || *size <= 0) return -2;
  try {
    const auto names = hotsync::users();
    if (index >= names.size()) {
      buffer[0] = 0;
      return -1;
    }
    return putText(tarvo::Utf8ToCp1252(names[index]), buffer, size) ? 0 : -2;
  } catch (...) {
    return -3;
  }
}

namespace hotsync {

int32_t queueInstall(const char* user, const char* path, std::string* why) {
  auto failed = [why](int32_t code, const std::string& reason) {
    if (why) *why = reason;
    return code;
  };
  if (user == nullptr || path == nullptr) return failed(-2, "no file given");
  try {
    namespace fs = std::filesystem;
    // The conduit hands back the user name it was given, in Windows-1252;
    // a name that code page cannot hold came out with '?' for the missing
    // letters, and means the user of the HotSync that runs.
    std::string name = tarvo::Cp1252ToUtf8(user);
    const std::string current = hotsync::currentUser();
    if (!current.empty() && tarvo::Utf8ToCp1252(current) == user) name = current;
    std::error_code ec;
    // Queueing never creates a user: a misspelt name must not start a queue
    // that no handheld ever collects.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        !fs::is_directory(hotsync::userDir(name), ec)) {
      return failed(-1, "no HotSync user " + name);
    }
    const fs::path source(path);
    if (!fs::exists(source, ec)) return failed(-2, "no such file");
    if (!fs::is_regular_file(source, ec) || !source.has_filename()) return failed(-2, "not a file");
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return failed(-2, std::string("cannot open: ") + std::strerror(errno));
    struct Closer {
      int fd;
      ~Closer() { ::close(fd); }
    } closer{in};
    // A copy taken now: a later download of the same name cannot change what was queued.
    fs::create_directories(hotsync::userInstallDir(name), ec);
    pdb::copyFileAtomic(hotsync::userInstallDir(name) / source.filename(), in);
    // One database of a name is queued at a time: an earlier copy under
    // another file name would otherwise be installed after this one or
    // before it, by the order of the names.
    const std::string kept = source.filename().string();
    std::string database;
    for (const hotsync::QueuedFile& queued : hotsync::queuedFiles(name)) {
      if (queued.file == kept) database = queued.database;
    }
    for (const hotsync::QueuedFile& queued : hotsync::queuedFiles(name)) {
      if (!database.empty() && queued.database == database && queued.file != kept)
        fs::remove(hotsync::userInstallDir(name) / queued.file, ec);
    }
    return 0;
  } catch (const std::exception& e) {
    return failed(-3, e.what());
  } catch (...) {
    return failed(-3, "the copy failed");
  }
}

}  // namespace hotsync

HOTSYNC_API int32_t PltInstallFile(const char* user, const char* path) {
  return hotsync::queueInstall(user, path, nullptr);
}

HOTSYNC_API int32_t PltGetPath(int16_t selector, char* buffer, int16_t* size) {
  if (selector != kPathHotSyncFolder || buffer == nullptr || size == nullptr || *size <= 0) return 0;
  try {
    // The host's folder: the running program's when it is the host, else
    // bin/ beside the folder this library was loaded from (a conduit loaded
    // by another program still finds the host to start).
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path dir = fs::read_symlink("/proc/self/exe", ec).parent_path();
    Dl_info self{};
    if ((ec || !fs::exists(dir / "tarvo-hotsync", ec)) && dladdr(reinterpret_cast<void*>(&PltGetPath), &self) != 0 &&
        self.dli_fname != nullptr) {
      const fs::path besideLibrary =
          fs::weakly_canonical(fs::path(self.dli_fname), ec).parent_path().parent_path() / "bin";
      if (fs::exists(besideLibrary / "tarvo-hotsync", ec)) dir = besideLibrary;
    }
    if (dir.empty()) return 0;
    std::string folder = dir.string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return putText(folder, buffer, size) ? static_cast<int32_t>(folder.size()) : 0;
  } catch (...) {
    return 0;
  }
}
