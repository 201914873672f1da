#include "catalogue.h"

#include <algorithm>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "byte_text.h"
#include "file_store.h"
#include "password_hash.h"

namespace tarvo::server {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw CatalogueError(where + ": " + what);
}

void only_keys(const json& object, const std::string& where,
               std::initializer_list<const char*> known) {
    if (!object.is_object()) fail(where, "must be an object");
    for (const auto& item : object.items()) {
        if (std::none_of(known.begin(), known.end(),
                         [&](const char* k) { return item.key() == k; }))
            fail(where, "unknown key \"" + item.key() + "\"");
    }
}

std::string bytes_of(const json& value, const std::string& where) {
    if (!value.is_string()) fail(where, "must be text");
    auto bytes = json_text_to_bytes(value.get<std::string>());
    if (!bytes) fail(where, "characters above U+00FF cannot be sent");
    return *bytes;
}

std::string text(const json& object, const char* key, const std::string& where,
                 bool required = true) {
    if (!object.contains(key)) {
        if (required) fail(where, std::string("\"") + key + "\" is missing");
        return {};
    }
    return bytes_of(object.at(key), where + "." + key);
}

// Texts that end up inside a command's attribute: the envelope has no
// escapes, so a quote or an angle bracket would break the conduit's reading.
std::string attribute_text(const json& object, const char* key, const std::string& where,
                           bool required = true) {
    std::string value = text(object, key, where, required);
    if (value.find_first_of("\"<>") != std::string::npos)
        fail(where + "." + key, "may not hold \", < or >");
    return value;
}

std::string database_name(const json& value, const std::string& where) {
    std::string name = bytes_of(value, where);
    if (name.empty() || name.size() > 31) fail(where, "a database name has 1 to 31 bytes");
    if (name.find_first_of(std::string("\"<>\0", 4)) != std::string::npos)
        fail(where, "may not hold \", <, > or a zero byte");
    return name;
}

std::uint32_t record_id(const json& value, const std::string& where) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFFFF)
        fail(where, "a record id is a number from 0 to 16777215");
    return value.get<std::uint32_t>();
}

bool all_digits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Edition files are named in download addresses and become file names in
// the conduit's temporary folder: plain names only.
bool plain_file_name(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

CatalogueUser read_user(const json& entry, const std::string& where) {
    only_keys(entry, where, {"login", "password", "password_hash"});
    CatalogueUser user;
    user.login = text(entry, "login", where);
    if (user.login.empty()) fail(where + ".login", "must not be empty");
    if (entry.contains("password_hash")) {
        if (entry.contains("password")) fail(where, "has both \"password\" and \"password_hash\"");
        user.password_hash = text(entry, "password_hash", where);
        if (!valid_password_hash(user.password_hash))
            fail(where + ".password_hash",
                 "not a hash this server can check (make one with tarvo-syncserver hash-password)");
    } else {
        user.password = text(entry, "password", where);
    }
    return user;
}

CatalogueModule read_module(const json& entry, const std::string& where, const fs::path& files) {
    only_keys(entry, where, {"name", "edition", "file", "title"});
    CatalogueModule module;
    if (!entry.contains("name")) fail(where, "\"name\" is missing");
    module.name = database_name(entry.at("name"), where + ".name");
    module.edition = text(entry, "edition", where);
    if (!all_digits(module.edition))
        fail(where + ".edition", "must be decimal digits, e.g. 20240601000000");
    module.file = text(entry, "file", where);
    if (!plain_file_name(module.file))
        fail(where + ".file", "must be a plain file name (letters, digits, . _ -)");
    std::error_code ec;
    if (!fs::is_regular_file(files / module.file, ec))
        fail(where + ".file", "no such file: " + (files / module.file).string());
    module.title = attribute_text(entry, "title", where, false);
    if (module.title.empty()) module.title = module.name;
    return module;
}

RecordChanges read_changes(const json& entry, const std::string& where) {
    only_keys(entry, where, {"name", "db", "card", "write", "delete"});
    RecordChanges changes;
    changes.name = text(entry, "name", where);
    if (changes.name.empty()) fail(where + ".name", "must not be empty");
    if (!entry.contains("db")) fail(where, "\"db\" is missing");
    changes.db = database_name(entry.at("db"), where + ".db");
    if (entry.contains("card")) {
        const json& card = entry.at("card");
        if (!card.is_number_unsigned() || card.get<std::uint64_t>() > 255)
            fail(where + ".card", "must be 0 to 255");
        changes.card = card.get<std::uint32_t>();
    }
    if (entry.contains("write")) {
        const json& writes = entry.at("write");
        if (!writes.is_array()) fail(where + ".write", "must be a list");
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const std::string at = where + ".write[" + std::to_string(i) + "]";
            only_keys(writes[i], at, {"id", "text", "data_b64"});
            RecordWrite write;
            if (writes[i].contains("id")) write.id = record_id(writes[i].at("id"), at + ".id");
            if (writes[i].contains("text") == writes[i].contains("data_b64"))
                fail(at, "give either \"text\" or \"data_b64\"");
            if (writes[i].contains("text")) {
                // Handheld texts end with a zero byte.
                write.data = text(writes[i], "text", at);
                write.data.push_back('\0');
            } else {
                auto bytes = base64_decode(text(writes[i], "data_b64", at));
                if (!bytes) fail(at + ".data_b64", "not base64");
                write.data = std::move(*bytes);
            }
            // The conduit writes nothing for an empty record.
            if (write.data.empty()) fail(at, "a record needs at least one byte");
            changes.writes.push_back(std::move(write));
        }
    }
    if (entry.contains("delete")) {
        const json& deletes = entry.at("delete");
        if (!deletes.is_array()) fail(where + ".delete", "must be a list");
        for (std::size_t i = 0; i < deletes.size(); ++i)
            changes.deletes.push_back(
                record_id(deletes[i], where + ".delete[" + std::to_string(i) + "]"));
    }
    return changes;
}

const json& list_at(const json& root, const char* key) {
    static const json empty = json::array();
    if (!root.contains(key)) return empty;
    if (!root.at(key).is_array()) fail(key, "must be a list");
    return root.at(key);
}

Catalogue read_catalogue(const json& root, const fs::path& folder);

Catalogue read_checked(const json& root, const fs::path& folder) {
    try {
        return read_catalogue(root, folder);
    } catch (const json::exception& e) {
        // A case the checks missed: still one line, never a crash.
        throw CatalogueError(std::string("unexpected content: ") + e.what());
    }
}

}  // namespace

const CatalogueModule* Catalogue::module(std::string_view name) const {
    for (const auto& m : modules) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

bool Catalogue::collects(std::string_view db) const {
    return std::find(collect.begin(), collect.end(), db) != collect.end();
}

Catalogue load_catalogue(const fs::path& folder) {
    const fs::path file = folder / "catalogue.json";
    auto content = read_whole_file(file);
    if (!content) throw CatalogueError(file.string() + ": cannot be read");
    json root;
    try {
        root = json::parse(*content);
    } catch (const json::exception& e) {
        throw CatalogueError(file.string() + ": " + e.what());
    }
    return read_checked(root, folder);
}

Catalogue parse_catalogue(std::string_view text, const fs::path& folder) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        throw CatalogueError(e.what());
    }
    return read_checked(root, folder);
}

namespace {

Catalogue read_catalogue(const json& root, const fs::path& folder) {
    Catalogue catalogue;
    catalogue.folder = folder;
    only_keys(root, "catalogue", {"users", "modules", "collect", "record_changes"});

    std::set<std::string> seen;
    const json& users = list_at(root, "users");
    for (std::size_t i = 0; i < users.size(); ++i) {
        const std::string where = "users[" + std::to_string(i) + "]";
        catalogue.users.push_back(read_user(users[i], where));
        if (!seen.insert(catalogue.users.back().login).second)
            fail(where + ".login", "appears twice");
    }
    seen.clear();
    const json& modules = list_at(root, "modules");
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const std::string where = "modules[" + std::to_string(i) + "]";
        catalogue.modules.push_back(read_module(modules[i], where, catalogue.files_folder()));
        if (!seen.insert(catalogue.modules.back().name).second)
            fail(where + ".name", "appears twice");
    }
    const json& collect = list_at(root, "collect");
    for (std::size_t i = 0; i < collect.size(); ++i)
        catalogue.collect.push_back(
            database_name(collect[i], "collect[" + std::to_string(i) + "]"));
    seen.clear();
    const json& changes = list_at(root, "record_changes");
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const std::string where = "record_changes[" + std::to_string(i) + "]";
        catalogue.record_changes.push_back(read_changes(changes[i], where));
        if (!seen.insert(catalogue.record_changes.back().name).second)
            fail(where + ".name", "appears twice");
    }
    // Without users nobody could log in: most likely the wrong file.
    if (catalogue.users.empty()) fail("users", "no users: nobody could log in");
    return catalogue;
}

}  // namespace

bool newer_edition(std::string_view edition, std::string_view on_handheld) {
    if (!all_digits(on_handheld)) return true;
    const auto significant = [](std::string_view digits) {
        const auto first = digits.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view{} : digits.substr(first);
    };
    const std::string_view a = significant(edition);
    const std::string_view b = significant(on_handheld);
    if (a.size() != b.size()) return a.size() > b.size();
    return a > b;
}

}  // namespace tarvo::server
