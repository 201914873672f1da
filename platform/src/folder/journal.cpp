#include "folder/journal.h"

#include "folder/block_hash.h"
#include "folder/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace hotsync::detail {
namespace {

constexpr char kMagic[4] = {'T', 'J', 'N', 'L'};
constexpr std::size_t kHeaderSize = 4 + 4 + 8 + 8;

uint32_t crc32(std::string_view data) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (char ch : data) c = table[(c ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void putLe(std::string* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint64_t getLe(const std::string& s, std::size_t pos, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(s[pos + i])) << (8 * i);
  return v;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool fail(std::string* error, const std::filesystem::path& path, const char* step) {
  if (error) *error = path.string() + ": " + step + ": " + std::strerror(errno);
  return false;
}

}  // namespace

namespace {

// The hash journals of the first version name their file by.
uint64_t fnv1a(uint64_t h, std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  return h;
}

// Reads until `block` is full or the file ends; -1 on an error.
ssize_t readBlock(int fd, std::vector<uint8_t>& block) {
  std::size_t done = 0;
  while (done < block.size()) {
    const ssize_t n = ::read(fd, block.data() + done, block.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

std::optional<JournalBase> journalBaseOfFile(const std::filesystem::path& file, uint32_t version) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  std::vector<uint8_t> block(4u << 20);
  BlockHash hash;
  JournalBase base{0, 0xcbf29ce484222325ull};
  for (;;) {
    const ssize_t n = readBlock(fd, block);
    if (n < 0) return std::nullopt;
    const std::span bytes(block.data(), static_cast<std::size_t>(n));
    base.size += bytes.size();
    if (version == 1) {
      base.hash = fnv1a(base.hash, bytes);
    } else {
      hash.add(bytes);
    }
    if (bytes.size() < block.size()) break;
  }
  if (version != 1) base.hash = hash.finish();
  return base;
}

std::filesystem::path journalPathFor(const std::filesystem::path& dbFile) {
  return dbFile.parent_path() / (dbFile.filename().string() + ".journal");
}

bool appendJournalFrame(const std::filesystem::path& journal, const JournalBase& base, const std::string& payload,
                        bool flush, std::string* error) {
  // Never through a link: the frames would land wherever it points.
  const int fd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return fail(error, journal, "cannot open journal");
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0) return fail(error, journal, "cannot seek journal");
  std::string bytes;
  const bool fresh = end == 0;
  if (fresh) {
    bytes.append(kMagic, 4);
    putLe(&bytes, kJournalVersion, 4);
    putLe(&bytes, base.size, 8);
    putLe(&bytes, base.hash, 8);
  }
  putLe(&bytes, payload.size(), 4);
  putLe(&bytes, crc32(payload), 4);
  bytes += payload;
  if (!writeAll(fd, bytes)) return fail(error, journal, "cannot write journal");
  if (flush && ::fdatasync(fd) != 0) return fail(error, journal, "cannot flush journal");
  if (flush && fresh) {
    // The journal's name must survive a power cut too.
    const int dir = ::open(journal.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  return true;
}

std::optional<JournalContents> readJournal(const std::filesystem::path& journal) {
  const std::optional<std::string> bytes = readWholeFile(journal);
  if (!bytes) return std::nullopt;
  return parseJournal(*bytes);
}

std::optional<JournalContents> parseJournal(const std::string& bytes) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, 4) != 0) return std::nullopt;
  const auto version = static_cast<uint32_t>(getLe(bytes, 4, 4));
  if (version != 1 && version != kJournalVersion) return std::nullopt;
  JournalContents contents;
  contents.version = version;
  contents.base = {getLe(bytes, 8, 8), getLe(bytes, 16, 8)};
  std::size_t pos = kHeaderSize;
  while (bytes.size() - pos >= 8) {
    const uint64_t size = getLe(bytes, pos, 4);
    const auto crc = static_cast<uint32_t>(getLe(bytes, pos + 4, 4));
    if (size > bytes.size() - pos - 8) break;  // torn: the writer died mid-frame
    std::string payload = bytes.substr(pos + 8, size);
    if (crc32(payload) != crc) break;
    contents.frames.push_back(std::move(payload));
    pos += 8 + size;
  }
  return contents;
}

}  // namespace hotsync::detail
