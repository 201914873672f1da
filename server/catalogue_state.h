#pragma once
// What the content service remembers between HotSyncs, in the state folder:
//   STATE/state.sqlite                          devices, change sets sent,
//                                               editions delivered, uploads,
//                                               login attempts
//   STATE/users/<login>/<device>/<db>.pdb       the last upload of a database
//   STATE/users/<login>/<device>/history/       the last few uploads of each
// Several service processes may share one state folder: every id comes from
// the database and every decision that must happen once (a new device, a
// change set sent) is one write transaction. One object is not thread-safe:
// the answerer holds a lock around every call.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pdb/pdb.h"
#include "sqlite_db.h"

namespace tarvo::server {

// A handheld as its login request describes it.
struct HandheldIdentity {
    std::string user_name;  // the HotSync user name, Windows-1252
    std::string user_id;    // the handheld's user id, decimal
};

struct StateSettings {
    unsigned keep_uploads = 5;  // uploads kept of each collected database, per device
};

// What the state knows, for the admin command and the status page.
struct DeviceRow {
    std::string id, login, user_name, user_id;
    std::int64_t created = 0, last_seen = 0;  // Unix seconds
};
struct DeliveryRow {
    std::string device, login, module, edition;
    std::int64_t offered = 0;
    std::optional<std::int64_t> installed;
};
struct StateCounts {
    std::int64_t devices = 0, offered = 0, installed = 0, uploads = 0;
};
struct UploadRow {
    std::string device, login, db, file;  // file relative to the state folder
    std::int64_t records = 0, received = 0;
};

class CatalogueState {
public:
    // Opens or creates the state, bringing over a folder an older server
    // kept as JSON files. Throws StateError.
    explicit CatalogueState(std::filesystem::path root, StateSettings settings = {});
    ~CatalogueState();

    // The id of this login's handheld; a new one the first time, unless the
    // login already has `ceiling` handhelds (0: no ceiling): then empty.
    std::string device_for(const std::string& login, const HandheldIdentity& handheld,
                           std::int64_t ceiling = 0);
    // How many handhelds this login has.
    std::int64_t device_count(const std::string& login);
    // True when the id was given to this login.
    bool owns(const std::string& login, const std::string& device_id);

    bool delivered(const std::string& login, const std::string& device_id,
                   const std::string& changes);
    // Marks a change set sent; true when this call did, false when it was
    // already (by this process or another), so it is sent once only.
    bool mark_delivered(const std::string& login, const std::string& device_id,
                        const std::string& changes);

    // An edition offered to a device, and what the device reports holding:
    // an offered edition it now holds was installed.
    void note_offer(const std::string& device_id, const std::string& module,
                    const std::string& edition);
    void note_held(const std::string& device_id, const std::string& module,
                   const std::string& edition);

    std::filesystem::path database_file(const std::string& login, const std::string& device_id,
                                        const std::string& db) const;
    void store_database(const std::string& login, const std::string& device_id,
                        const pdb::Database& db);

    // Login attempts: recorded, and the failures since a moment counted.
    void note_login(const std::string& login, const std::string& address, bool accepted);
    std::int64_t failures_since(const std::string& login, const std::string& address,
                                std::int64_t since, std::int64_t* by_address);

    // The secret download links are signed with, the same for every
    // process on this state; made on first use.
    std::string link_key();

    StateCounts counts();
    std::vector<DeviceRow> devices();
    std::vector<DeliveryRow> deliveries();
    std::vector<UploadRow> uploads();

    const std::filesystem::path& root() const { return root_; }
    static constexpr const char* kDatabaseName = "state.sqlite";

private:
    std::filesystem::path device_folder(const std::string& login,
                                        const std::string& device_id) const;
    void migrate_json_state();

    std::filesystem::path root_;
    StateSettings settings_;
    std::unique_ptr<SqliteDb> db_;
};

// Seconds since the Unix epoch.
std::int64_t unix_now();

// A name made safe as one file name: bytes other than letters, digits,
// blank, '_', '-' and '.' (and a leading '.') become %XX, so distinct names
// stay distinct. A name longer than a file system allows is shortened and
// marked with a hash of the whole.
std::string file_name_for(std::string_view name);

}  // namespace tarvo::server
