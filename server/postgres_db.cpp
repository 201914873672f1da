#include "postgres_db.h"

#include <poll.h>

#include <charconv>
#include <vector>

namespace tarvo::server {

namespace {

// libpq's messages end with a line feed; a log line must not.
std::string trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool succeeded(PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

}  // namespace

PgValue pg_integer(std::int64_t value) { return {std::to_string(value), false, false}; }
PgValue pg_bytes(std::string_view bytes) { return {std::string(bytes), true, false}; }
PgValue pg_text(std::string_view text) { return {std::string(text), false, false}; }

std::int64_t PgRows::changed() const {
    const char* count = PQcmdTuples(result_);
    std::int64_t n = 0;
    std::from_chars(count, count + std::char_traits<char>::length(count), n);
    return n;
}

std::int64_t PgRows::integer(int row, int column) const {
    const char* text = PQgetvalue(result_, row, column);
    std::int64_t n = 0;
    std::from_chars(text, text + PQgetlength(result_, row, column), n);
    return n;
}

std::string PgRows::text(int row, int column) const {
    return std::string(PQgetvalue(result_, row, column),
                       static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

std::string PgRows::bytes(int row, int column) const {
    std::size_t size = 0;
    unsigned char* raw = PQunescapeBytea(
        reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row, column)), &size);
    if (!raw) throw StateError("state database: a bytea value that does not decode");
    std::string out(reinterpret_cast<const char*>(raw), size);
    PQfreemem(raw);
    return out;
}

PostgresDb::PostgresDb(const std::string& conninfo) {
    conn_ = PQconnectdb(conninfo.c_str());
    if (!conn_) throw StateError("PostgreSQL: out of memory");
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string why = trimmed(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        throw StateError("PostgreSQL: cannot connect: " + why);
    }
    // The schema's "already exists" notices are no news to a provider.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
}

PostgresDb::~PostgresDb() {
    if (conn_) PQfinish(conn_);
}

void PostgresDb::fail(const std::string& what) const {
    throw StateError("state database: " + what + ": " + trimmed(PQerrorMessage(conn_)));
}

void PostgresDb::reconnect_if_lost() {
    // A server that restarts, or ends this session, says so and closes the
    // socket. An idle connection has nothing to read otherwise: when it has,
    // one empty round trip tells whether the session still stands, before a
    // request's statement is sent into a dead one and fails.
    if (PQstatus(conn_) == CONNECTION_OK) {
        pollfd idle{PQsocket(conn_), POLLIN, 0};
        if (::poll(&idle, 1, 0) == 0) return;
        PQconsumeInput(conn_);
        if (PQstatus(conn_) == CONNECTION_OK) {
            PgRows probe(PQexec(conn_, ""));
            if (PQstatus(conn_) == CONNECTION_OK) return;
        }
    }
    if (in_transaction_) fail("the connection was lost");
    statements_.clear();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) fail("the connection was lost");
}

void PostgresDb::exec(const char* sql) {
    reconnect_if_lost();
    PgRows rows(PQexec(conn_, sql));
    if (!succeeded(rows.result())) fail("statement");
}

PgRows PostgresDb::run(const char* sql, std::initializer_list<PgValue> values) {
    reconnect_if_lost();
    auto known = statements_.find(sql);
    if (known == statements_.end()) {
        const std::string name = "s" + std::to_string(statements_.size());
        PgRows prepared(PQprepare(conn_, name.c_str(), sql, 0, nullptr));
        if (PQresultStatus(prepared.result()) != PGRES_COMMAND_OK) fail("prepare");
        known = statements_.emplace(sql, name).first;
    }
    std::vector<const char*> texts;
    std::vector<int> lengths, formats;
    for (const PgValue& v : values) {
        texts.push_back(v.null ? nullptr : v.value.c_str());
        lengths.push_back(static_cast<int>(v.value.size()));
        formats.push_back(v.binary ? 1 : 0);
    }
    PgRows rows(PQexecPrepared(conn_, known->second.c_str(), static_cast<int>(values.size()),
                               texts.data(), lengths.data(), formats.data(), 0));
    if (!succeeded(rows.result())) fail("statement");
    return rows;
}

PostgresDb::Transaction::Transaction(PostgresDb& db) : db_(db) {
    db_.reconnect_if_lost();
    PgRows begun(PQexec(db_.conn_, "BEGIN"));
    if (!succeeded(begun.result())) db_.fail("begin");
    db_.in_transaction_ = true;
}

PostgresDb::Transaction::~Transaction() {
    if (!done_) PQclear(PQexec(db_.conn_, "ROLLBACK"));
    db_.in_transaction_ = false;
}

void PostgresDb::Transaction::commit() {
    PgRows committed(PQexec(db_.conn_, "COMMIT"));
    if (!succeeded(committed.result())) db_.fail("commit");
    done_ = true;
}

}  // namespace tarvo::server
