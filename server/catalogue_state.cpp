#include "catalogue_state.h"

#include <chrono>
#include <cstdio>

#include "edition_links.h"
#include "file_store.h"

namespace tarvo::server {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS devices(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    login BLOB NOT NULL, user_name BLOB NOT NULL, user_id BLOB NOT NULL,
    created INTEGER NOT NULL, last_seen INTEGER NOT NULL,
    UNIQUE(login, user_name, user_id));
CREATE TABLE IF NOT EXISTS change_sets(
    device INTEGER NOT NULL REFERENCES devices(id), name BLOB NOT NULL, sent INTEGER NOT NULL,
    PRIMARY KEY(device, name));
CREATE TABLE IF NOT EXISTS deliveries(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    device INTEGER NOT NULL REFERENCES devices(id), module BLOB NOT NULL, edition TEXT NOT NULL,
    offered INTEGER NOT NULL, installed INTEGER,
    UNIQUE(device, module, edition));
CREATE TABLE IF NOT EXISTS uploads(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    device INTEGER NOT NULL REFERENCES devices(id), db BLOB NOT NULL,
    records INTEGER NOT NULL, received INTEGER NOT NULL, file TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS uploads_by_db ON uploads(device, db, id);
CREATE TABLE IF NOT EXISTS login_attempts(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    login BLOB NOT NULL, address TEXT NOT NULL, at INTEGER NOT NULL, accepted INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS attempts_by_login ON login_attempts(login, accepted, at);
CREATE INDEX IF NOT EXISTS attempts_by_address ON login_attempts(address, accepted, at);
)";

}  // namespace

std::string file_name_for(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == ' ' || c == '_' || c == '-' ||
                           (c == '.' && i > 0);
        if (plain) {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    if (out.empty()) return "%";
    // File systems take names of up to 255 bytes; a login may be longer.
    // A long name keeps its start and gets a hash of the whole: '~' is
    // escaped above, so a shortened name never equals a plain one.
    constexpr std::size_t kLongest = 200;
    if (out.size() > kLongest) {
        std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
        for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
        out = out.substr(0, kLongest - 17) + tail;
    }
    return out;
}

std::int64_t unix_now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

CatalogueState::CatalogueState(fs::path root, StateSettings settings)
    : root_(std::move(root)), settings_(settings) {
    // Collected databases are the users' own data: a new state folder is
    // private to the server's user.
    std::error_code ec;
    if (fs::create_directories(root_, ec)) fs::permissions(root_, fs::perms::owner_all, ec);
    if (ec || !fs::is_directory(root_, ec))
        throw StateError(root_.string() + ": cannot create the state folder");
    db_ = std::make_unique<SqliteDb>(root_ / kDatabaseName);
    {
        SqliteDb::Writing writing(*db_);
        db_->exec(kSchema);
        // Login attempts are kept for a month, enough to look into a
        // break-in attempt without growing for ever.
        db_->prepare("DELETE FROM login_attempts WHERE at < ?1")
            .bind(1, unix_now() - 30 * 86400)
            .run();
        writing.commit();
    }
    migrate_json_state();
}

CatalogueState::~CatalogueState() = default;

std::string CatalogueState::device_for(const std::string& login, const HandheldIdentity& handheld,
                                       std::int64_t ceiling) {
    const std::int64_t now = unix_now();
    auto find = [&]() -> std::optional<std::int64_t> {
        auto query = db_->prepare(
            "SELECT id FROM devices WHERE login = ?1 AND user_name = ?2 AND user_id = ?3");
        query.bind(1, login).bind(2, handheld.user_name).bind(3, handheld.user_id);
        if (!query.step()) return std::nullopt;
        return query.integer(0);
    };
    if (const auto known = find()) {
        db_->prepare("UPDATE devices SET last_seen = ?2 WHERE id = ?1")
            .bind(1, *known)
            .bind(2, now)
            .run();
        return std::to_string(*known);
    }
    // A new handheld. Another process may be adding the same one: the
    // unique key turns the second insert into a no-op, and both read back
    // the one id. (An upsert would draw a number even when it updates.)
    SqliteDb::Writing writing(*db_);
    if (ceiling > 0 && !find() && device_count(login) >= ceiling) return {};
    db_->prepare(
           "INSERT INTO devices(login, user_name, user_id, created, last_seen) "
           "VALUES(?1, ?2, ?3, ?4, ?4) ON CONFLICT DO NOTHING")
        .bind(1, login)
        .bind(2, handheld.user_name)
        .bind(3, handheld.user_id)
        .bind(4, now)
        .run();
    const auto id = find();
    if (!id) throw StateError("state database: a device vanished while it was saved");
    writing.commit();
    return std::to_string(*id);
}

std::int64_t CatalogueState::device_count(const std::string& login) {
    auto query = db_->prepare("SELECT count(*) FROM devices WHERE login = ?1");
    query.bind(1, login);
    return query.step() ? query.integer(0) : 0;
}

bool CatalogueState::owns(const std::string& login, const std::string& device_id) {
    const auto id = row_id(device_id);
    if (!id) return false;
    auto query = db_->prepare("SELECT 1 FROM devices WHERE id = ?1 AND login = ?2");
    query.bind(1, *id).bind(2, login);
    return query.step();
}

bool CatalogueState::delivered(const std::string& login, const std::string& device_id,
                               const std::string& changes) {
    if (!owns(login, device_id)) return false;
    auto query = db_->prepare("SELECT 1 FROM change_sets WHERE device = ?1 AND name = ?2");
    query.bind(1, *row_id(device_id)).bind(2, changes);
    return query.step();
}

bool CatalogueState::mark_delivered(const std::string& login, const std::string& device_id,
                                    const std::string& changes) {
    if (!owns(login, device_id)) return false;
    return db_->prepare(
                  "INSERT INTO change_sets(device, name, sent) VALUES(?1, ?2, ?3) "
                  "ON CONFLICT DO NOTHING")
               .bind(1, *row_id(device_id))
               .bind(2, changes)
               .bind(3, unix_now())
               .run() == 1;
}

void CatalogueState::note_offer(const std::string& device_id, const std::string& module,
                                const std::string& edition) {
    const auto id = row_id(device_id);
    if (!id) return;
    // The first offer is the one kept: offering it again at every HotSync
    // until installed writes nothing.
    {
        auto known = db_->prepare(
            "SELECT 1 FROM deliveries WHERE device = ?1 AND module = ?2 AND edition = ?3");
        known.bind(1, *id).bind(2, module).bind_text(3, edition);
        if (known.step()) return;
    }
    db_->prepare(
           "INSERT INTO deliveries(device, module, edition, offered) VALUES(?1, ?2, ?3, ?4) "
           "ON CONFLICT(device, module, edition) DO NOTHING")
        .bind(1, *id)
        .bind(2, module)
        .bind_text(3, edition)
        .bind(4, unix_now())
        .run();
}

void CatalogueState::note_held(const std::string& device_id, const std::string& module,
                               const std::string& edition) {
    const auto id = row_id(device_id);
    if (!id) return;
    db_->prepare(
           "UPDATE deliveries SET installed = ?4 "
           "WHERE device = ?1 AND module = ?2 AND edition = ?3 AND installed IS NULL")
        .bind(1, *id)
        .bind(2, module)
        .bind_text(3, edition)
        .bind(4, unix_now())
        .run();
}

fs::path CatalogueState::device_folder(const std::string& login,
                                       const std::string& device_id) const {
    return root_ / "users" / file_name_for(login) / file_name_for(device_id);
}

fs::path CatalogueState::database_file(const std::string& login, const std::string& device_id,
                                       const std::string& db) const {
    return device_folder(login, device_id) / (file_name_for(db) + ".pdb");
}

std::string CatalogueState::store_database(const std::string& login, const std::string& device_id,
                                           const pdb::Database& db) {
    const auto device = row_id(device_id);
    if (!device || !owns(login, device_id)) throw StateError("no such device: " + device_id);
    const fs::path latest = database_file(login, device_id, db.name);
    fs::create_directories(latest.parent_path() / "history");

    // The upload's number names its copy in the history.
    std::int64_t upload = 0;
    fs::path kept;
    {
        SqliteDb::Writing writing(*db_);
        db_->prepare(
               "INSERT INTO uploads(device, db, records, received, file) "
               "VALUES(?1, ?2, ?3, ?4, '')")
            .bind(1, *device)
            .bind(2, db.name)
            .bind(3, static_cast<std::int64_t>(db.records.size()))
            .bind(4, unix_now())
            .run();
        upload = db_->last_id();
        kept = latest.parent_path() / "history" /
               (file_name_for(db.name) + "." + std::to_string(upload) + ".pdb");
        db_->prepare("UPDATE uploads SET file = ?2 WHERE id = ?1")
            .bind(1, upload)
            .bind_text(2, fs::relative(kept, root_).string())
            .run();
        // The copy is written before the row is committed: a row always has its file.
        pdb::writeFileAtomic(kept, pdb::serialize(db));
        writing.commit();
    }
    // The latest is the same file under the name a provider looks for; a
    // later upload replaces the name, never the history's copy.
    const fs::path fresh = latest.string() + ".new";
    fs::remove(fresh);
    fs::create_hard_link(kept, fresh);
    fs::rename(fresh, latest);

    // Older uploads beyond the number kept go, row and file.
    std::vector<std::pair<std::int64_t, std::string>> old;
    {
        auto query = db_->prepare(
            "SELECT id, file FROM uploads WHERE device = ?1 AND db = ?2 "
            "ORDER BY id DESC LIMIT -1 OFFSET ?3");
        query.bind(1, *device)
            .bind(2, db.name)
            .bind(3, std::max<std::int64_t>(1, settings_.keep_uploads));
        while (query.step()) old.emplace_back(query.integer(0), query.bytes(1));
    }
    for (const auto& [id, file] : old) {
        db_->prepare("DELETE FROM uploads WHERE id = ?1").bind(1, id).run();
        std::error_code ignored;
        fs::remove(root_ / file, ignored);
    }
    return latest.string();
}

std::optional<std::string> CatalogueState::upload_bytes(std::int64_t id) {
    std::string file;
    {
        auto query = db_->prepare("SELECT file FROM uploads WHERE id = ?1");
        query.bind(1, id);
        if (!query.step()) return std::nullopt;
        file = query.bytes(0);
    }
    return read_whole_file(root_ / file);
}

void CatalogueState::note_login(const std::string& login, const std::string& address,
                                bool accepted) {
    const std::int64_t now = unix_now();
    db_->prepare("INSERT INTO login_attempts(login, address, at, accepted) VALUES(?1, ?2, ?3, ?4)")
        .bind(1, login)
        .bind_text(2, address)
        .bind(3, now)
        .bind(4, accepted ? 1 : 0)
        .run();
}

std::int64_t CatalogueState::failures_since(const std::string& login, const std::string& address,
                                            std::int64_t since, std::int64_t* by_address) {
    auto by_login = db_->prepare(
        "SELECT count(*) FROM login_attempts WHERE login = ?1 AND at >= ?2 AND accepted = 0");
    by_login.bind(1, login).bind(2, since);
    const std::int64_t count = by_login.step() ? by_login.integer(0) : 0;
    if (by_address) {
        auto query = db_->prepare(
            "SELECT count(*) FROM login_attempts WHERE address = ?1 AND at >= ?2 AND accepted = 0");
        query.bind_text(1, address).bind(2, since);
        *by_address = query.step() ? query.integer(0) : 0;
    }
    return count;
}

std::string CatalogueState::link_key() {
    SqliteDb::Writing writing(*db_);
    db_->prepare("INSERT OR IGNORE INTO meta(key, value) VALUES('link_key', ?1)")
        .bind_text(1, EditionLinks::new_key())
        .run();
    auto query = db_->prepare("SELECT value FROM meta WHERE key = 'link_key'");
    if (!query.step()) throw StateError("state database: no link key");
    std::string key = query.bytes(0);
    writing.commit();
    return key;
}

StateCounts CatalogueState::counts() {
    auto query = db_->prepare(
        "SELECT (SELECT count(*) FROM devices), (SELECT count(*) FROM deliveries), "
        "(SELECT count(*) FROM deliveries WHERE installed IS NOT NULL), "
        "(SELECT count(*) FROM uploads)");
    if (!query.step()) return {};
    return {query.integer(0), query.integer(1), query.integer(2), query.integer(3)};
}

std::vector<DeviceRow> CatalogueState::devices() {
    std::vector<DeviceRow> rows;
    auto query = db_->prepare(
        "SELECT id, login, user_name, user_id, created, last_seen FROM devices ORDER BY id");
    while (query.step())
        rows.push_back({std::to_string(query.integer(0)), query.bytes(1), query.bytes(2),
                        query.bytes(3), query.integer(4), query.integer(5)});
    return rows;
}

std::vector<DeliveryRow> CatalogueState::deliveries() {
    std::vector<DeliveryRow> rows;
    auto query = db_->prepare(
        "SELECT d.device, v.login, d.module, d.edition, d.offered, d.installed "
        "FROM deliveries d JOIN devices v ON v.id = d.device ORDER BY d.id");
    while (query.step()) {
        DeliveryRow row{std::to_string(query.integer(0)),
                        query.bytes(1),
                        query.bytes(2),
                        query.bytes(3),
                        query.integer(4),
                        std::nullopt};
        if (!query.is_null(5)) row.installed = query.integer(5);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<UploadRow> CatalogueState::uploads() {
    std::vector<UploadRow> rows;
    auto query = db_->prepare(
        "SELECT u.device, v.login, u.db, u.file, u.records, u.received, u.id "
        "FROM uploads u JOIN devices v ON v.id = u.device ORDER BY u.id");
    while (query.step())
        rows.push_back({std::to_string(query.integer(0)), query.bytes(1), query.bytes(2),
                        query.bytes(3), query.integer(4), query.integer(5), query.integer(6)});
    return rows;
}

}  // namespace tarvo::server
