#pragma once
// What the content service remembers between HotSyncs, in the state folder:
//   STATE/devices.json                          devices and their ids
//   STATE/users/<login>/<device>/delivered.json record change sets sent
//   STATE/users/<login>/<device>/<db>.pdb       databases collected with pget
// Every file is replaced atomically. Not thread-safe: the answerer holds a
// lock around every call.

#include <cstdint>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
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

class CatalogueState {
public:
    // Reads devices.json when there is one. Throws StateError when it is malformed.
    explicit CatalogueState(std::filesystem::path root);

    // The id of this login's handheld; a new one (saved) the first time.
    std::string device_for(const std::string& login, const HandheldIdentity& handheld);
    // True when the id was given to this login.
    bool owns(const std::string& login, const std::string& device_id) const;

    bool delivered(const std::string& login, const std::string& device_id,
                   const std::string& changes) const;
    void mark_delivered(const std::string& login, const std::string& device_id,
                        const std::string& changes);

    std::filesystem::path database_file(const std::string& login, const std::string& device_id,
                                        const std::string& db) const;
    void store_database(const std::string& login, const std::string& device_id,
                        const pdb::Database& db);

    const std::filesystem::path& root() const { return root_; }

private:
    struct Device {
        std::string id;
        std::string login;
        HandheldIdentity handheld;
    };

    std::filesystem::path device_folder(const std::string& login,
                                        const std::string& device_id) const;
    std::set<std::string> read_delivered(const std::string& login,
                                         const std::string& device_id) const;
    void save_devices() const;

    std::filesystem::path root_;
    std::vector<Device> devices_;
    std::uint64_t next_id_ = 1;
};

// A name made safe as one file name: bytes other than letters, digits,
// blank, '_', '-' and '.' (and a leading '.') become %XX, so distinct names
// stay distinct. A name longer than a file system allows is shortened and
// marked with a hash of the whole.
std::string file_name_for(std::string_view name);

}  // namespace tarvo::server
