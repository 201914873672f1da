// The settings store over SQLite. Each operation opens its own connection, so
// any thread may use any store, and a value written by another thread or
// process is seen at the next read. Writers wait for each other through the
// busy timeout; SQLite's journal keeps the file whole whatever is killed when.
#include "settings/settings_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <limits>
#include <thread>

#include "resources/text_codec.h"
#include "resources/trace.h"

namespace tarvo {

namespace {

constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS settings ("
    " section TEXT NOT NULL COLLATE NOCASE,"
    " key TEXT NOT NULL COLLATE NOCASE,"
    " kind TEXT NOT NULL CHECK (kind IN ('integer', 'text')),"
    " value,"
    " PRIMARY KEY (section, key))";

// Registry key paths ignore a trailing backslash; writers of a server's
// credentials add one, readers do not.
std::string_view SectionName(std::string_view section) {
  while (!section.empty() && section.back() == '\\') section.remove_suffix(1);
  return section;
}

class Connection {
 public:
  Connection() = default;
  ~Connection() { sqlite3_close_v2(m_db); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Open(const std::filesystem::path& file, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
      TarvoTrace("settings: cannot open %s: %s", file.c_str(), m_db ? sqlite3_errmsg(m_db) : "no memory");
      return false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return true;
  }

  bool Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      TarvoTrace("settings: %s: %s", sql, error ? error : "?");
      sqlite3_free(error);
      return false;
    }
    return true;
  }

  sqlite3* get() const { return m_db; }

 private:
  sqlite3* m_db = nullptr;
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
      TarvoTrace("settings: %s: %s", sql, sqlite3_errmsg(db));
      m_stmt = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return m_stmt != nullptr; }
  sqlite3_stmt* get() const { return m_stmt; }
  void BindText(int index, std::string_view text) {
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
};

// Creates the folder (0700) and the file (0600) before SQLite does, so the
// credentials in it are never readable by others, not even for a moment.
bool PrepareFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::path folder = file.parent_path();
  if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
    // Create each missing level with 0700.
    std::filesystem::path partial;
    for (const auto& part : folder) {
      partial /= part;
      if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
        TarvoTrace("settings: cannot create %s", partial.c_str());
        return false;
      }
    }
  }
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    TarvoTrace("settings: cannot create %s", file.c_str());
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 077) != 0) fchmod(fd, 0600);
  close(fd);
  return true;
}

// Write-ahead logging: readers never wait for a writer, and a commit needs no
// fsync (NORMAL), yet survives the death of the process that made it.
bool OpenForWrite(Connection& db, const std::filesystem::path& file) {
  return PrepareFile(file) && db.Open(file, true) && db.Exec("PRAGMA journal_mode=WAL") &&
         db.Exec("PRAGMA synchronous=NORMAL") && db.Exec(kSchema);
}

// Reads never create the file: a missing store reads as all defaults.
bool OpenForRead(Connection& db, const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return false;
  return db.Open(file, false);
}

// The one reading of a row of "SELECT section, key, kind, value": nullopt
// for a value not of its kind (say, edited by hand), including an integer
// outside 32 bits, so a lookup and a listing agree on every row.
std::optional<SettingsEntry> DecodeRow(sqlite3_stmt* stmt) {
  auto text = [&](int column) {
    const unsigned char* p = sqlite3_column_text(stmt, column);
    return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
  };
  SettingsEntry entry;
  entry.section = text(0);
  entry.key = text(1);
  const int valueType = sqlite3_column_type(stmt, 3);
  if (text(2) == "integer") {
    if (valueType != SQLITE_INTEGER) return std::nullopt;
    const sqlite3_int64 v = sqlite3_column_int64(stmt, 3);
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return std::nullopt;
    entry.isInteger = true;
    entry.intValue = static_cast<int32_t>(v);
  } else {
    if (valueType != SQLITE_TEXT) return std::nullopt;
    entry.text = text(3);
  }
  return entry;
}

std::optional<SettingsEntry> Lookup(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  Connection db;
  if (!OpenForRead(db, file)) return std::nullopt;
  Statement stmt(db.get(), "SELECT section, key, kind, value FROM settings WHERE section = ?1 AND key = ?2");
  if (!stmt) return std::nullopt;  // also: no table yet
  stmt.BindText(1, SectionName(section));
  stmt.BindText(2, key);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  return DecodeRow(stmt.get());
}

bool StoreOnce(const std::filesystem::path& file, std::string_view section, std::string_view key, const int32_t* number,
               std::string_view text) {
  Connection db;
  if (!OpenForWrite(db, file)) return false;
  Statement stmt(db.get(),
                 "INSERT INTO settings (section, key, kind, value) VALUES (?1, ?2, ?3, ?4)"
                 " ON CONFLICT (section, key) DO UPDATE SET kind = excluded.kind, value = excluded.value");
  if (!stmt) return false;
  stmt.BindText(1, SectionName(section));
  stmt.BindText(2, key);
  if (number) {
    stmt.BindText(3, "integer");
    sqlite3_bind_int64(stmt.get(), 4, *number);
  } else {
    stmt.BindText(3, "text");
    stmt.BindText(4, text);
  }
  int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_DONE) {
    TarvoTrace("settings: write failed: %s", sqlite3_errmsg(db.get()));
    return false;
  }
  return true;
}

// Two processes that open a new store at the same moment can meet SQLite
// locks that its busy handler does not wait for (switching to write-ahead
// logging, creating the table); such a write is tried again, a bounded
// number of times, so that it is not lost.
bool Store(const std::filesystem::path& file, std::string_view section, std::string_view key, const int32_t* number,
           std::string_view text) {
  constexpr int kAttempts = 20;
  for (int attempt = 1;; ++attempt) {
    if (StoreOnce(file, section, key, number, text)) return true;
    if (attempt == kAttempts) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

std::optional<std::vector<SettingsEntry>> ListEntries(const std::filesystem::path& file,
                                                      const std::string_view* section) {
  std::vector<SettingsEntry> entries;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return entries;  // nothing stored yet
  Connection db;
  if (!db.Open(file, false)) return std::nullopt;
  Statement stmt(db.get(), section ? "SELECT section, key, kind, value FROM settings WHERE section = ?1"
                                     " ORDER BY section, key"
                                   : "SELECT section, key, kind, value FROM settings ORDER BY section, key");
  if (!stmt) return std::nullopt;
  if (section) stmt.BindText(1, SectionName(*section));
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    // A row no lookup can read is not listed either.
    if (auto entry = DecodeRow(stmt.get())) entries.push_back(std::move(*entry));
  }
  if (rc != SQLITE_DONE) return std::nullopt;
  return entries;
}

}  // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : m_file(std::move(file)) {}

int32_t SettingsStore::ReadInt(std::string_view section, std::string_view key, int32_t def) const {
  auto entry = Lookup(m_file, Cp1252ToUtf8(section), Cp1252ToUtf8(key));
  return entry && entry->isInteger ? entry->intValue : def;
}

std::string SettingsStore::ReadText(std::string_view section, std::string_view key, std::string_view def) const {
  auto entry = Lookup(m_file, Cp1252ToUtf8(section), Cp1252ToUtf8(key));
  return entry && !entry->isInteger ? Utf8ToCp1252(entry->text) : std::string(def);
}

bool SettingsStore::WriteInt(std::string_view section, std::string_view key, int32_t value) const {
  return Store(m_file, Cp1252ToUtf8(section), Cp1252ToUtf8(key), &value, {});
}

bool SettingsStore::WriteText(std::string_view section, std::string_view key, std::string_view text) const {
  return Store(m_file, Cp1252ToUtf8(section), Cp1252ToUtf8(key), nullptr, Cp1252ToUtf8(text));
}

std::optional<SettingsEntry> SettingsStore::Find(std::string_view section, std::string_view key) const {
  return Lookup(m_file, section, key);
}

bool SettingsStore::WriteTextUtf8(std::string_view section, std::string_view key, std::string_view text) const {
  return Store(m_file, section, key, nullptr, text);
}

bool SettingsStore::WriteIntUtf8(std::string_view section, std::string_view key, int32_t value) const {
  return Store(m_file, section, key, &value, {});
}

std::optional<bool> SettingsStore::RemoveUtf8(std::string_view section, std::string_view key) const {
  std::error_code ec;
  if (!std::filesystem::exists(m_file, ec)) return false;  // nothing stored yet
  Connection db;
  if (!OpenForWrite(db, m_file)) return std::nullopt;
  Statement stmt(db.get(), "DELETE FROM settings WHERE section = ?1 AND key = ?2");
  if (!stmt) return std::nullopt;
  stmt.BindText(1, SectionName(section));
  stmt.BindText(2, key);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) return std::nullopt;
  return sqlite3_changes(db.get()) > 0;
}

std::optional<std::vector<SettingsEntry>> SettingsStore::List() const { return ListEntries(m_file, nullptr); }

std::optional<std::vector<SettingsEntry>> SettingsStore::List(std::string_view section) const {
  return ListEntries(m_file, &section);
}

}  // namespace tarvo
