// Palm database files: PDB (records) and PRC (resources), the public format.
// Everything on disk is big-endian; the in-memory form uses host integers.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "pdb/four_cc.h"

namespace pdb {

// Header attribute bits.
constexpr uint16_t kAttrResourceDb = 0x0001;
constexpr uint16_t kAttrReadOnly = 0x0002;
constexpr uint16_t kAttrAppInfoDirty = 0x0004;
constexpr uint16_t kAttrBackup = 0x0008;

// Record attribute bits (the low four bits are the category).
constexpr uint8_t kRecDelete = 0x80;
constexpr uint8_t kRecDirty = 0x40;
constexpr uint8_t kRecBusy = 0x20;
constexpr uint8_t kRecSecret = 0x10;
constexpr uint8_t kRecCategoryMask = 0x0F;

constexpr std::size_t kHeaderSize = 78;
constexpr std::size_t kNameSize = 32;           // including the terminating zero
constexpr std::size_t kRecordEntrySize = 8;     // offset, attributes, 3-byte unique id
constexpr std::size_t kResourceEntrySize = 10;  // type, id, offset
constexpr uint32_t kMaxUniqueId = 0xFFFFFF;

// A malformed file: the message says what is wrong, in one line.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Record {
  uint8_t attributes = 0;  // flags and category
  uint32_t uniqueId = 0;   // 24 bits on disk
  std::vector<uint8_t> data;

  bool operator==(const Record&) const = default;
};

struct Resource {
  uint32_t type = 0;  // four characters, first one in the high byte
  uint16_t id = 0;
  std::vector<uint8_t> data;

  bool operator==(const Resource&) const = default;
};

struct Database {
  std::string name;  // raw bytes (Windows-1252 on a handheld), at most 31
  uint16_t attributes = 0;
  uint16_t version = 0;
  uint32_t creationDate = 0;  // seconds since 1904-01-01, as stored
  uint32_t modificationDate = 0;
  uint32_t backupDate = 0;
  uint32_t modificationNumber = 0;
  uint32_t type = 0;     // four characters, first one in the high byte
  uint32_t creator = 0;  // four characters, first one in the high byte
  uint32_t uniqueIdSeed = 0;
  std::vector<uint8_t> appInfo;     // empty: no app info block
  std::vector<uint8_t> sortInfo;    // empty: no sort info block
  std::vector<Record> records;      // record databases
  std::vector<Resource> resources;  // resource databases

  bool isResourceDb() const { return (attributes & kAttrResourceDb) != 0; }
  bool operator==(const Database&) const = default;
};

// Where the blocks of a database file lie, found from its header and entry
// list alone, with the same checks as a whole parse.
struct Layout {
  struct Range {
    std::size_t from = 0;
    std::size_t to = 0;
  };
  struct Entry {
    Range range;
    uint8_t attributes = 0;  // records
    uint32_t uniqueId = 0;   // records
    uint32_t type = 0;       // resources
    uint16_t id = 0;         // resources
  };
  Database header;  // the header's fields; no blocks
  std::optional<Range> appInfo;
  std::optional<Range> sortInfo;
  std::vector<Entry> entries;
};

// How many leading bytes of a file parseLayout needs, from its first 78.
std::size_t layoutSize(std::span<const uint8_t> header);
// `b` holds at least the first min(layoutSize, fileSize) bytes of a file of
// `fileSize` bytes. Throws FormatError as parse does.
Layout parseLayout(std::span<const uint8_t> b, std::size_t fileSize);
// The database of `layout`, each block's bytes from `read`.
Database fill(Layout layout, const std::function<std::vector<uint8_t>(Layout::Range)>& read);

// Parses a whole file image. Throws FormatError on anything malformed; never
// reads outside `bytes`.
Database parse(std::span<const uint8_t> bytes);

// Writes the published layout: header, list, two pad bytes, app info,
// sort info, then the entries in list order. Throws FormatError when `db`
// cannot be represented (name longer than 31 bytes or holding a zero byte,
// unique id wider than 24 bits, more than 65535 entries, entries of the other
// kind than the resource bit says, more than 4 GiB).
std::vector<uint8_t> serialize(const Database& db);
// What serialize writes before the first block (header, list, pad), with the
// whole image's size in *imageSize; then each block in the order it writes them.
std::vector<uint8_t> serializeHead(const Database& db, uint64_t* imageSize);
void forEachBlock(const Database& db, const std::function<void(const std::vector<uint8_t>&)>& take);

// A file read from disk together with its original image, so that an
// unchanged database is written back byte for byte.
struct LoadedDatabase {
  Database db;
  std::vector<uint8_t> original;
  // The image to write: `original` when `db` still equals what was parsed
  // from it, otherwise serialize(db).
  std::vector<uint8_t> image() const;
};

// Reads and parses a file; throws FormatError (also for I/O errors, with the path).
LoadedDatabase readFile(const std::filesystem::path& path);

// Reads only the header and entry list of a file, checking them as readFile
// does; `fileSize` is the file's size.
Layout readLayout(const std::filesystem::path& path, std::size_t* fileSize = nullptr);
// The same from a file already open as `fd` (read with pread: its offset stays);
// `path` names it in errors.
Layout readLayout(int fd, const std::filesystem::path& path, std::size_t* fileSize = nullptr);
// Reads a file block by block, without holding its whole image besides.
Database readDatabase(const std::filesystem::path& path);

// Replaces `path` atomically: writes a temporary file in the same folder,
// flushes it to disk and renames it over `path`. Throws std::runtime_error.
// The temporary (".NAME.tmp-XXXXXX") is locked (flock) while it is
// written, so isAbandonedTemporary tells a killed writer's from a live one.
void writeFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// The same with the rest of the open file `source` as the contents, copied
// without passing through memory where the file system allows.
void copyFileAtomic(const std::filesystem::path& path, int source);
// True when `path` is a writer's temporary that no writer holds any more.
bool isAbandonedTemporary(const std::filesystem::path& path);
// The same with serialize(db) as the contents, written block by block
// without building the image; returns its size. Throws FormatError when
// serialize would.
uint64_t writeDatabaseAtomic(const std::filesystem::path& path, const Database& db);

// The same in steps, for a writer that puts many files of one folder in
// place together: stageDatabase or stageFile writes a temporary (held
// open, not yet flushed; throws std::runtime_error), and placeStaged
// flushes them all at once, renames each over its path and flushes the
// folder once.
class StagedFile {
 public:
  StagedFile(std::filesystem::path temp, std::filesystem::path path, int fd);
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&&) = delete;
  ~StagedFile();  // a temporary never put in place is removed

  const std::filesystem::path& path() const { return path_; }

 private:
  friend void flushStaged(std::span<StagedFile> files);
  friend std::vector<std::string> placeStaged(std::vector<StagedFile> files, bool flushFolder);

  std::filesystem::path temp_;
  std::filesystem::path path_;
  int fd_ = -1;
  int flushed_ = -1;  // not yet; then 0 or the errno of the flush
};
StagedFile stageDatabase(const std::filesystem::path& path, const Database& db);
StagedFile stageFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// Flushes the files' contents all at once; placeStaged does it for those
// not flushed yet. For a file to be flushed with others but put in place
// later.
void flushStaged(std::span<StagedFile> files);
// One text per file, in order: empty where the file is now in place, else
// why it is not (its temporary removed, what was at its path untouched).
// Without `flushFolder` a power cut may undo the renames, never tear them.
std::vector<std::string> placeStaged(std::vector<StagedFile> files, bool flushFolder);

// fsync (fdatasync with `dataOnly`) of every file at once, so that the
// file system can join them into few journal commits instead of one each:
// per file 0 where it is flushed, else the errno.
std::vector<int> flushFiles(std::span<const int> fds, bool dataOnly);

// What a file's first kHeaderSize bytes (`header`) say about its size: its
// entry count, and the most bytes such a database can hold.
struct HeaderBounds {
  uint16_t entries = 0;
  uint64_t mostBytes = 0;
};
HeaderBounds headerBounds(std::span<const uint8_t, kHeaderSize> header);

// The backup date's bytes and where they go: a date changed in place, inside
// the file's first block.
struct HeaderPatch {
  std::size_t offset;
  std::array<uint8_t, 4> bytes;
};
HeaderPatch backupDatePatch(uint32_t date);

}  // namespace pdb
