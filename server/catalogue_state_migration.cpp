// Bringing over a state folder that an older server kept as JSON files:
//   devices.json                              {"next_id": N, "devices": [...]}
//   users/<login>/<device>/delivered.json     change set names sent
//   users/<login>/<device>/<db>.pdb           the last upload of each database
// Everything is copied into the database in one transaction, ids kept, so
// every handheld keeps its device id and no change set is sent again. The
// JSON files are left where they are (devices.json renamed, so a later
// start does not read it again): nothing is lost if a provider goes back.

#include <nlohmann/json.hpp>

#include "byte_text.h"
#include "catalogue_state.h"
#include "file_store.h"

namespace tarvo::server {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string bytes_from_json(const json& value, const fs::path& file) {
    if (!value.is_string()) throw StateError(file.string() + ": a text was expected");
    auto bytes = json_text_to_bytes(value.get<std::string>());
    if (!bytes) throw StateError(file.string() + ": a text holds characters above U+00FF");
    return *bytes;
}

json read_json(const fs::path& file) {
    auto content = read_whole_file(file);
    if (!content) throw StateError(file.string() + ": cannot be read");
    try {
        return json::parse(*content);
    } catch (const json::exception& e) {
        throw StateError(file.string() + ": " + e.what());
    }
}

}  // namespace

void CatalogueState::migrate_json_state() {
    const fs::path file = root_ / "devices.json";
    std::error_code ec;
    if (!fs::exists(file, ec)) return;

    SqliteDb::Writing writing(*db_);
    // Another process sharing the folder may have done it first.
    if (db_->prepare("SELECT 1 FROM meta WHERE key = 'migrated_json'").step()) return;

    const json doc = read_json(file);
    const std::int64_t now = unix_now();
    std::int64_t highest = 0;
    try {
        highest = doc.at("next_id").get<std::int64_t>() - 1;
        for (const auto& entry : doc.at("devices")) {
            const std::string id = bytes_from_json(entry.at("id"), file);
            const std::string login = bytes_from_json(entry.at("login"), file);
            std::int64_t number = 0;
            try {
                std::size_t used = 0;
                number = std::stoll(id, &used);
                if (used != id.size() || number <= 0) throw std::invalid_argument(id);
            } catch (const std::logic_error&) {
                throw StateError(file.string() + ": device id \"" + id + "\" is not a number");
            }
            highest = std::max(highest, number);
            db_->prepare(
                   "INSERT INTO devices(id, login, user_name, user_id, created, last_seen) "
                   "VALUES(?1, ?2, ?3, ?4, ?5, ?5)")
                .bind(1, number)
                .bind(2, login)
                .bind(3, bytes_from_json(entry.at("user_name"), file))
                .bind(4, bytes_from_json(entry.at("user_id"), file))
                .bind(5, now)
                .run();

            const fs::path folder = device_folder(login, id);
            const fs::path delivered = folder / "delivered.json";
            if (fs::exists(delivered, ec)) {
                for (const auto& name : read_json(delivered))
                    db_->prepare(
                           "INSERT OR IGNORE INTO change_sets(device, name, sent) "
                           "VALUES(?1, ?2, ?3)")
                        .bind(1, number)
                        .bind(2, bytes_from_json(name, delivered))
                        .bind(3, now)
                        .run();
            }
            // Each database's last upload becomes the first of its history.
            for (const auto& item : fs::directory_iterator(folder, ec)) {
                if (!item.is_regular_file() || item.path().extension() != ".pdb") continue;
                pdb::Database db;
                try {
                    db = pdb::readFile(item.path()).db;
                } catch (const std::exception&) {
                    continue;  // not one of ours: left alone
                }
                db_->prepare(
                       "INSERT INTO uploads(device, db, records, received, file) "
                       "VALUES(?1, ?2, ?3, ?4, '')")
                    .bind(1, number)
                    .bind(2, db.name)
                    .bind(3, static_cast<std::int64_t>(db.records.size()))
                    .bind(4, now)
                    .run();
                const std::int64_t upload = db_->last_id();
                // The history holds its own name for the file, so a later
                // upload replacing the latest never takes this one with it.
                const fs::path kept =
                    folder / "history" /
                    (file_name_for(db.name) + "." + std::to_string(upload) + ".pdb");
                fs::create_directories(kept.parent_path());
                fs::remove(kept, ec);
                fs::create_hard_link(item.path(), kept);
                db_->prepare("UPDATE uploads SET file = ?2 WHERE id = ?1")
                    .bind(1, upload)
                    .bind_text(2, fs::relative(kept, root_).string())
                    .run();
            }
        }
    } catch (const json::exception& e) {
        throw StateError(file.string() + ": " + e.what());
    }
    // No later id may repeat one handed out before, even one whose device
    // was never saved.
    if (db_->prepare("UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = 'devices'")
            .bind(1, highest)
            .run() == 0)
        db_->prepare("INSERT INTO sqlite_sequence(name, seq) VALUES('devices', ?1)")
            .bind(1, highest)
            .run();
    db_->prepare("INSERT INTO meta(key, value) VALUES('migrated_json', ?1)")
        .bind_text(1, std::to_string(now))
        .run();
    writing.commit();
    fs::rename(file, root_ / "devices.json.migrated", ec);
}

}  // namespace tarvo::server
