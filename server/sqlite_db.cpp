#include "sqlite_db.h"

#include <sys/stat.h>

namespace tarvo::server {

Statement::~Statement() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) db_.fail("bind");
    return *this;
}

Statement& Statement::bind(int index, std::string_view bytes) {
    // A blob of zero length binds as NULL with a null pointer; "" never is.
    if (sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                            SQLITE_TRANSIENT) != SQLITE_OK)
        db_.fail("bind");
    return *this;
}

Statement& Statement::bind_text(int index, std::string_view text) {
    if (sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK)
        db_.fail("bind");
    return *this;
}

Statement& Statement::bind_null(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) db_.fail("bind");
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_.fail("step");
}

int Statement::run() {
    while (step()) {
    }
    return sqlite3_changes(sqlite3_db_handle(stmt_));
}

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::bytes(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                : std::string{};
}

bool Statement::is_null(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

SqliteDb::SqliteDb(const std::filesystem::path& file, int busy_ms) {
    // The state holds logins and users' data: private from its creation.
    const mode_t old_mask = ::umask(077);
    const int rc =
        sqlite3_open_v2(file.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    ::umask(old_mask);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StateError(file.string() + ": " + why);
    }
    sqlite3_busy_timeout(db_, busy_ms);
    try {
        exec("PRAGMA journal_mode=WAL");
        // In WAL mode NORMAL loses no committed transaction on a process
        // kill, only on a power loss, and spares an fsync per commit.
        exec("PRAGMA synchronous=NORMAL");
        exec("PRAGMA foreign_keys=ON");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

SqliteDb::~SqliteDb() {
    for (const auto& entry : statements_) sqlite3_finalize(entry.second);
    sqlite3_close(db_);
}

void SqliteDb::fail(const std::string& what) const {
    throw StateError("state database: " + what + ": " + sqlite3_errmsg(db_));
}

void SqliteDb::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw StateError("state database: " + why);
    }
}

Statement SqliteDb::prepare(const char* sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK)
            fail(std::string("prepare ") + sql);
        found = statements_.emplace(sql, stmt).first;
    }
    return Statement(*this, found->second);
}

SqliteDb::Writing::Writing(SqliteDb& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

SqliteDb::Writing::~Writing() {
    if (!done_) sqlite3_exec(db_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteDb::Writing::commit() {
    db_.exec("COMMIT");
    done_ = true;
}

}  // namespace tarvo::server
