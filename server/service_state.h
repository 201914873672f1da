#pragma once
// What the content service remembers between HotSyncs: devices, change sets
// sent, editions offered and installed, collected databases with their
// history, login attempts. Two stores keep it: a state folder with SQLite
// (one machine, one or several processes) and a PostgreSQL database (several
// machines behind a load balancer). The answerer, the admin command and the
// status page see only this interface. Every id comes from the database and
// every decision that must happen once (a new device, a change set sent) is
// one transaction of the database, so several processes may share a store.
// One object is one connection and is not thread-safe: callers serialise.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pdb/pdb.h"

namespace tarvo::server {

class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
    std::string device, login, db;
    std::string file;  // relative to the state folder; empty when kept in the database
    std::int64_t records = 0, received = 0;
    std::int64_t id = 0;
};

class ServiceState {
public:
    virtual ~ServiceState() = default;

    // The id of this login's handheld; a new one the first time, unless the
    // login already has `ceiling` handhelds (0: no ceiling): then empty.
    virtual std::string device_for(const std::string& login, const HandheldIdentity& handheld,
                                   std::int64_t ceiling = 0) = 0;
    // How many handhelds this login has.
    virtual std::int64_t device_count(const std::string& login) = 0;
    // True when the id was given to this login.
    virtual bool owns(const std::string& login, const std::string& device_id) = 0;

    virtual bool delivered(const std::string& login, const std::string& device_id,
                           const std::string& changes) = 0;
    // Marks a change set sent; true when this call did, false when it was
    // already (by this process or another), so it is sent once only.
    virtual bool mark_delivered(const std::string& login, const std::string& device_id,
                                const std::string& changes) = 0;

    // An edition offered to a device, and what the device reports holding:
    // an offered edition it now holds was installed.
    virtual void note_offer(const std::string& device_id, const std::string& module,
                            const std::string& edition) = 0;
    virtual void note_held(const std::string& device_id, const std::string& module,
                           const std::string& edition) = 0;

    // Keeps an upload of a collected database, dropping the oldest beyond
    // the number kept; says where it went, for the log.
    virtual std::string store_database(const std::string& login, const std::string& device_id,
                                       const pdb::Database& db) = 0;
    // The file of a kept upload (UploadRow::id), as it was received.
    virtual std::optional<std::string> upload_bytes(std::int64_t id) = 0;

    // Login attempts: recorded, and the failures since a moment counted.
    virtual void note_login(const std::string& login, const std::string& address,
                            bool accepted) = 0;
    virtual std::int64_t failures_since(const std::string& login, const std::string& address,
                                        std::int64_t since, std::int64_t* by_address) = 0;

    // The secret download links are signed with, the same for every
    // process on this state; made on first use.
    virtual std::string link_key() = 0;

    virtual StateCounts counts() = 0;
    virtual std::vector<DeviceRow> devices() = 0;
    virtual std::vector<DeliveryRow> deliveries() = 0;
    virtual std::vector<UploadRow> uploads() = 0;
};

// True for a PostgreSQL connection address ("postgresql://" or "postgres://").
bool names_postgresql(std::string_view where);

// Device ids are the database's row (identity) values, written in decimal;
// nullopt for text that is not one.
std::optional<std::int64_t> row_id(const std::string& device_id);

// The store `where` names: a PostgreSQL address, else a state folder
// (created if missing). Throws StateError.
std::unique_ptr<ServiceState> open_state(const std::string& where, StateSettings settings = {});

// Seconds since the Unix epoch.
std::int64_t unix_now();

}  // namespace tarvo::server
