#pragma once
// A thin RAII layer over libpq for the service's state: one connection,
// statements prepared once per connection, errors as StateError. Bytes from
// the wire travel as binary bytea parameters, so they come back unchanged.

#include <libpq-fe.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "service_state.h"

namespace tarvo::server {

// One parameter of a statement: its text, or its bytes for a bytea.
struct PgValue {
    std::string value;
    bool binary = false;
    bool null = false;
};
PgValue pg_integer(std::int64_t value);
PgValue pg_bytes(std::string_view bytes);
PgValue pg_text(std::string_view text);

class PgRows {
public:
    explicit PgRows(PGresult* result) : result_(result) {}
    ~PgRows() { PQclear(result_); }
    PgRows(PgRows&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgRows(const PgRows&) = delete;
    PgRows& operator=(const PgRows&) = delete;
    PgRows& operator=(PgRows&&) = delete;

    PGresult* result() const { return result_; }
    int size() const { return PQntuples(result_); }
    // Rows a command changed.
    std::int64_t changed() const;
    std::int64_t integer(int row, int column) const;
    std::string text(int row, int column) const;
    std::string bytes(int row, int column) const;  // a bytea column
    bool is_null(int row, int column) const { return PQgetisnull(result_, row, column) == 1; }

private:
    PGresult* result_;
};

class PostgresDb {
public:
    // Connects; throws StateError with libpq's reason (never the address,
    // which may hold a password).
    explicit PostgresDb(const std::string& conninfo);
    ~PostgresDb();
    PostgresDb(const PostgresDb&) = delete;
    PostgresDb& operator=(const PostgresDb&) = delete;

    // Statements without parameters, several at once.
    void exec(const char* sql);
    // The statement for this text, prepared on first use on this connection.
    PgRows run(const char* sql, std::initializer_list<PgValue> values = {});

    // A transaction, rolled back unless committed.
    class Transaction {
    public:
        explicit Transaction(PostgresDb& db);
        ~Transaction();
        void commit();

    private:
        PostgresDb& db_;
        bool done_ = false;
    };

private:
    // A connection the server dropped (a restart, a fail-over) is opened
    // again before the next statement; its prepared statements went with it.
    // Not within a transaction: what it had done and locked is gone.
    void reconnect_if_lost();
    [[noreturn]] void fail(const std::string& what) const;

    PGconn* conn_ = nullptr;
    bool in_transaction_ = false;
    std::map<const char*, std::string> statements_;  // by the address of their text
};

}  // namespace tarvo::server
