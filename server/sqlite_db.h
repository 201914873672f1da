#pragma once
// A thin RAII layer over SQLite for the service's state: one connection,
// statements prepared once, errors as StateError. Texts from the wire are
// bound as blobs so their bytes come back unchanged.

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "service_state.h"

namespace tarvo::server {

class SqliteDb;

// One use of a prepared statement. Reset when it goes out of scope, so a
// half-read query never keeps the connection's snapshot of the database
// open and blinds it to other processes' writes.
class Statement {
public:
    Statement(SqliteDb& db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view bytes);  // as a blob
    Statement& bind_text(int index, std::string_view text);
    Statement& bind_null(int index);

    // True while there is a row.
    bool step();
    // Runs to the end; the number of rows changed.
    int run();

    std::int64_t integer(int column) const;
    std::string bytes(int column) const;
    bool is_null(int column) const;

private:
    SqliteDb& db_;
    sqlite3_stmt* stmt_;
};

class SqliteDb {
public:
    // Opens (or creates, mode 0600) the database in WAL mode, waiting up to
    // `busy` for another process's writes. Throws StateError.
    SqliteDb(const std::filesystem::path& file, int busy_ms = 10000);
    ~SqliteDb();

    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    void exec(const char* sql);
    // A use of the statement for this text, prepared on first use.
    Statement prepare(const char* sql);
    std::int64_t last_id() const { return sqlite3_last_insert_rowid(db_); }

    [[noreturn]] void fail(const std::string& what) const;

    // A write transaction: taken at once (BEGIN IMMEDIATE) so two processes
    // never both read and then both try to write; rolled back unless committed.
    class Writing {
    public:
        explicit Writing(SqliteDb& db);
        ~Writing();
        void commit();

    private:
        SqliteDb& db_;
        bool done_ = false;
    };

private:
    sqlite3* db_ = nullptr;
    std::map<const char*, sqlite3_stmt*> statements_;  // by the address of their text
};

}  // namespace tarvo::server
