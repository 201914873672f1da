#pragma once
// The content catalogue a provider keeps in a folder:
//   DIR/catalogue.json  users, modules and their editions, databases to
//                       collect, record changes to push
//   DIR/files/          the edition files, served under /files/
// Loaded once at start; a mistake is reported then, never mid-conversation.
// Texts are bytes (Windows-1252 on the wire), written in the JSON as
// characters U+0000..U+00FF, the same rule as the script of scripted mode.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::server {

class CatalogueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CatalogueUser {
    std::string login;          // clear text; the conduit sends it scrambled
    std::string password;       // clear text, or empty when...
    std::string password_hash;  // ...the password is kept as a hash (password_hash.h)
};

// A content module and its current edition.
struct CatalogueModule {
    std::string name;     // database name on the handheld
    std::string edition;  // decimal digits, compared with the module's "__tarvo_timestamp:"
    std::string file;     // plain file name inside DIR/files/
    std::string title;    // shown while it downloads and logged; the name when not given
};

struct RecordWrite {
    std::uint32_t id = 0;  // 0: the handheld picks a new id
    std::string data;      // the record's bytes
};

// A named set of record changes for one database, sent once to each device.
struct RecordChanges {
    std::string name;
    std::string db;
    std::uint32_t card = 0;
    std::vector<RecordWrite> writes;
    std::vector<std::uint32_t> deletes;
};

struct Catalogue {
    std::filesystem::path folder;
    std::vector<CatalogueUser> users;
    std::vector<CatalogueModule> modules;
    std::vector<std::string> collect;  // database names to upload with pget
    std::vector<RecordChanges> record_changes;

    std::filesystem::path files_folder() const { return folder / "files"; }
    const CatalogueModule* module(std::string_view name) const;
    bool collects(std::string_view db) const;
};

// Reads DIR/catalogue.json and checks it, edition files included. Throws
// CatalogueError naming the entry and what is wrong.
Catalogue load_catalogue(const std::filesystem::path& folder);
// The same for the text of a catalogue.json; files are looked for in `folder`.
Catalogue parse_catalogue(std::string_view text, const std::filesystem::path& folder);

// True when `edition` is later than the module's timestamp on the handheld.
// Both are digit strings of any length; a missing or malformed timestamp is
// older than every edition.
bool newer_edition(std::string_view edition, std::string_view on_handheld);

}  // namespace tarvo::server
