#include "catalogue_state.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "byte_text.h"
#include "file_store.h"

namespace tarvo::server {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

void write_text_file(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    const auto* begin = reinterpret_cast<const std::uint8_t*>(text.data());
    pdb::writeFileAtomic(path, std::span<const std::uint8_t>(begin, text.size()));
}

std::string bytes_from_json(const json& value) {
    if (!value.is_string()) throw StateError("devices.json: a text was expected");
    auto bytes = json_text_to_bytes(value.get<std::string>());
    if (!bytes) throw StateError("devices.json: a text holds characters above U+00FF");
    return *bytes;
}

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

CatalogueState::CatalogueState(fs::path root) : root_(std::move(root)) {
    // Collected databases are the users' own data: a new state folder is
    // private to the server's user.
    std::error_code ec;
    if (fs::create_directories(root_, ec)) fs::permissions(root_, fs::perms::owner_all, ec);
    if (ec || !fs::is_directory(root_, ec))
        throw StateError(root_.string() + ": cannot create the state folder");
    const fs::path file = root_ / "devices.json";
    if (!fs::exists(file, ec)) return;
    auto content = read_whole_file(file);
    if (!content) throw StateError(file.string() + ": cannot be read");
    try {
        const json doc = json::parse(*content);
        next_id_ = doc.at("next_id").get<std::uint64_t>();
        for (const auto& entry : doc.at("devices")) {
            devices_.push_back(Device{bytes_from_json(entry.at("id")),
                                      bytes_from_json(entry.at("login")),
                                      HandheldIdentity{bytes_from_json(entry.at("user_name")),
                                                       bytes_from_json(entry.at("user_id"))}});
        }
    } catch (const json::exception& e) {
        throw StateError(file.string() + ": " + e.what());
    }
}

void CatalogueState::save_devices() const {
    json list = json::array();
    for (const auto& d : devices_) {
        list.push_back({{"id", bytes_to_json_text(d.id)},
                        {"login", bytes_to_json_text(d.login)},
                        {"user_name", bytes_to_json_text(d.handheld.user_name)},
                        {"user_id", bytes_to_json_text(d.handheld.user_id)}});
    }
    const json doc = {{"next_id", next_id_}, {"devices", list}};
    write_text_file(root_ / "devices.json", doc.dump(2) + "\n");
}

std::string CatalogueState::device_for(const std::string& login, const HandheldIdentity& handheld) {
    for (const auto& d : devices_) {
        if (d.login == login && d.handheld.user_name == handheld.user_name &&
            d.handheld.user_id == handheld.user_id)
            return d.id;
    }
    devices_.push_back(Device{std::to_string(next_id_++), login, handheld});
    try {
        save_devices();
    } catch (...) {
        // Not saved: not given out either, so no handheld holds an id the
        // next start would not know.
        devices_.pop_back();
        --next_id_;
        throw;
    }
    return devices_.back().id;
}

bool CatalogueState::owns(const std::string& login, const std::string& device_id) const {
    for (const auto& d : devices_) {
        if (d.id == device_id && d.login == login) return true;
    }
    return false;
}

fs::path CatalogueState::device_folder(const std::string& login,
                                       const std::string& device_id) const {
    return root_ / "users" / file_name_for(login) / file_name_for(device_id);
}

std::set<std::string> CatalogueState::read_delivered(const std::string& login,
                                                     const std::string& device_id) const {
    std::set<std::string> names;
    const fs::path file = device_folder(login, device_id) / "delivered.json";
    std::error_code ec;
    if (!fs::exists(file, ec)) return names;
    auto content = read_whole_file(file);
    if (!content) throw StateError(file.string() + ": cannot be read");
    try {
        for (const auto& name : json::parse(*content)) {
            auto bytes = json_text_to_bytes(name.get<std::string>());
            if (bytes) names.insert(*bytes);
        }
    } catch (const json::exception& e) {
        throw StateError(file.string() + ": " + e.what());
    }
    return names;
}

bool CatalogueState::delivered(const std::string& login, const std::string& device_id,
                               const std::string& changes) const {
    return read_delivered(login, device_id).contains(changes);
}

void CatalogueState::mark_delivered(const std::string& login, const std::string& device_id,
                                    const std::string& changes) {
    std::set<std::string> names = read_delivered(login, device_id);
    if (!names.insert(changes).second) return;
    json list = json::array();
    for (const auto& name : names) list.push_back(bytes_to_json_text(name));
    write_text_file(device_folder(login, device_id) / "delivered.json", list.dump(2) + "\n");
}

fs::path CatalogueState::database_file(const std::string& login, const std::string& device_id,
                                       const std::string& db) const {
    return device_folder(login, device_id) / (file_name_for(db) + ".pdb");
}

void CatalogueState::store_database(const std::string& login, const std::string& device_id,
                                    const pdb::Database& db) {
    const fs::path file = database_file(login, device_id, db.name);
    fs::create_directories(file.parent_path());
    pdb::writeFileAtomic(file, pdb::serialize(db));
}

}  // namespace tarvo::server
