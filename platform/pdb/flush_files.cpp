// Flushing many files at once. One fsync after another costs a journal
// commit and a disk cache flush each; issued together from several threads,
// the file system serves them with a few.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "pdb/pdb.h"

namespace pdb {

std::vector<int> flushFiles(std::span<const int> fds, bool dataOnly) {
  constexpr std::size_t kMostAtOnce = 8;
  std::vector<int> errors(fds.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < fds.size(); i = next++) {
      const int rc = dataOnly ? ::fdatasync(fds[i]) : ::fsync(fds[i]);
      errors[i] = rc == 0 ? 0 : errno;
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (std::size_t n = 1; n < std::min(fds.size(), kMostAtOnce); ++n) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No thread to spare: this one does the rest.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  return errors;
}

}  // namespace pdb
