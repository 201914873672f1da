#include "catalogue_collect.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <string>

namespace tarvo::server {

namespace {

std::optional<std::uint32_t> parse_id(const std::string& text) {
    std::uint32_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc{} || end != text.data() + text.size() || id == 0 || id > pdb::kMaxUniqueId)
        return std::nullopt;
    return id;
}

}  // namespace

std::optional<pdb::Database> database_from_pget(const FormFields& form, std::uint32_t now) {
    const auto name = form_value(form, "dbname");
    if (!name || name->empty() || name->size() >= pdb::kNameSize ||
        name->find('\0') != std::string::npos)
        return std::nullopt;

    pdb::Database db;
    db.name = *name;
    db.version = 1;
    db.creationDate = now;
    db.modificationDate = now;
    if (const auto type = form_value(form, "dbtype"); type && type->size() == 4)
        db.type = pdb::fourCC(type->c_str());

    const std::string data_field = *name + "_record";
    const std::string id_field = *name + "_record_id";
    // A record's bytes come first, its id right after.
    std::vector<std::optional<std::uint32_t>> ids;
    bool awaiting_id = false;
    for (const auto& [key, value] : form) {
        if (key == data_field) {
            if (db.records.size() >= 0xFFFF) break;
            db.records.push_back(
                pdb::Record{0, 0, std::vector<std::uint8_t>(value.begin(), value.end())});
            ids.emplace_back();
            awaiting_id = true;
        } else if (key == id_field && awaiting_id) {
            ids.back() = parse_id(value);
            awaiting_id = false;
        }
    }

    std::set<std::uint32_t> taken;
    for (const auto& id : ids) {
        if (id) taken.insert(*id);
    }
    std::set<std::uint32_t> used;
    std::uint32_t fresh = 1;
    for (std::size_t i = 0; i < db.records.size(); ++i) {
        if (ids[i] && used.insert(*ids[i]).second) {
            db.records[i].uniqueId = *ids[i];
            continue;
        }
        while (taken.contains(fresh) || used.contains(fresh)) ++fresh;
        db.records[i].uniqueId = fresh;
        used.insert(fresh);
    }
    std::uint32_t highest = 0;
    for (const auto& r : db.records) highest = std::max(highest, r.uniqueId);
    db.uniqueIdSeed = (highest + 1) & pdb::kMaxUniqueId;
    return db;
}

}  // namespace tarvo::server
