#pragma once
// The content service's state in a folder, for one machine:
//   STATE/state.sqlite                          devices, change sets sent,
//                                               editions delivered, uploads,
//                                               login attempts
//   STATE/users/<login>/<device>/<db>.pdb       the last upload of a database
//   STATE/users/<login>/<device>/history/       the last few uploads of each
// SQLite in WAL mode with one writer at a time lets several service
// processes on this machine share the folder.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service_state.h"
#include "sqlite_db.h"

namespace tarvo::server {

class CatalogueState : public ServiceState {
public:
    // Opens or creates the state, bringing over a folder an older server
    // kept as JSON files. Throws StateError.
    explicit CatalogueState(std::filesystem::path root, StateSettings settings = {});
    ~CatalogueState() override;

    std::string device_for(const std::string& login, const HandheldIdentity& handheld,
                           std::int64_t ceiling = 0) override;
    std::int64_t device_count(const std::string& login) override;
    bool owns(const std::string& login, const std::string& device_id) override;
    bool delivered(const std::string& login, const std::string& device_id,
                   const std::string& changes) override;
    bool mark_delivered(const std::string& login, const std::string& device_id,
                        const std::string& changes) override;
    void note_offer(const std::string& device_id, const std::string& module,
                    const std::string& edition) override;
    void note_held(const std::string& device_id, const std::string& module,
                   const std::string& edition) override;
    // Kept as a file in the history; the latest also under the database's
    // own name, where a provider looks for it.
    std::string store_database(const std::string& login, const std::string& device_id,
                               const pdb::Database& db) override;
    std::optional<std::string> upload_bytes(std::int64_t id) override;
    void note_login(const std::string& login, const std::string& address, bool accepted) override;
    std::int64_t failures_since(const std::string& login, const std::string& address,
                                std::int64_t since, std::int64_t* by_address) override;
    std::string link_key() override;
    StateCounts counts() override;
    std::vector<DeviceRow> devices() override;
    std::vector<DeliveryRow> deliveries() override;
    std::vector<UploadRow> uploads() override;

    std::filesystem::path database_file(const std::string& login, const std::string& device_id,
                                        const std::string& db) const;
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

// A name made safe as one file name: bytes other than letters, digits,
// blank, '_', '-' and '.' (and a leading '.') become %XX, so distinct names
// stay distinct. A name longer than a file system allows is shortened and
// marked with a hash of the whole.
std::string file_name_for(std::string_view name);

}  // namespace tarvo::server
