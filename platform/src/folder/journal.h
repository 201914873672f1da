// The per-database change journal. Each SyncCloseDB that changed a database
// appends one frame (length, checksum, change list) and flushes it, so a
// killed process keeps every completed call. The journal names the file it
// applies to by size and content hash: once that file has been replaced
// (folded or reinstalled), a leftover journal no longer matches and is dropped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hotsync::detail {

struct JournalBase {
  uint64_t size = 0;
  uint64_t hash = 0;
  bool operator==(const JournalBase&) const = default;
};

// Journals name their file by a block hash since version 2; those of
// version 1 (a byte-wise FNV-1a hash) are still replayed.
constexpr uint32_t kJournalVersion = 2;

// The base of a file on disk, with the hash of journal `version`; nullopt
// when the file cannot be read.
std::optional<JournalBase> journalBaseOfFile(const std::filesystem::path& file, uint32_t version = kJournalVersion);
std::filesystem::path journalPathFor(const std::filesystem::path& dbFile);

// Appends one frame with a single write, creating the journal with its base
// when missing. Once it returns the frame survives the process being killed;
// with `flush` it is also on disk (survives a power cut). False with *error
// when any step fails.
bool appendJournalFrame(const std::filesystem::path& journal, const JournalBase& base, const std::string& payload,
                        bool flush, std::string* error);

struct JournalContents {
  uint32_t version = kJournalVersion;
  JournalBase base;
  std::vector<std::string> frames;  // complete frames only; a torn tail is left out
};
// nullopt when the journal is missing (or a link) or its header is incomplete.
std::optional<JournalContents> readJournal(const std::filesystem::path& journal);
// The same for a journal's bytes.
std::optional<JournalContents> parseJournal(const std::string& bytes);

}  // namespace hotsync::detail
