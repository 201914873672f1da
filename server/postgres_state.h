#pragma once
// The content service's state in PostgreSQL, for several service processes
// on several machines behind a load balancer. The collected databases are
// kept in the database too (bytea), not in a folder: the machines share no
// folder, an upload and its row commit or fail together, and one pg_dump
// backs up everything.

#include <memory>
#include <string>

#include "postgres_db.h"
#include "service_state.h"

namespace tarvo::server {

class PostgresState : public ServiceState {
public:
    // Connects to `conninfo` (a postgresql:// address or libpq's key=value
    // text) and makes the tables when missing. Throws StateError.
    explicit PostgresState(const std::string& conninfo, StateSettings settings = {});
    ~PostgresState() override;

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

private:
    StateSettings settings_;
    std::unique_ptr<PostgresDb> db_;
};

}  // namespace tarvo::server
