#include "catalogue_checks.h"

#include <sys/stat.h>

#include <map>

#include "pdb/pdb.h"

namespace tarvo::server {
namespace {

// What the edition file of a module holds, when it reads.
struct EditionHeader {
    std::string name;
    std::uint32_t creator = 0;
    bool resource = false;
};

}  // namespace

std::vector<std::string> catalogue_warnings(const Catalogue& catalogue) {
    std::vector<std::string> warnings;
    struct stat info {};
    if (::stat((catalogue.folder / "catalogue.json").c_str(), &info) == 0 &&
        (info.st_mode & S_IROTH) != 0)
        warnings.push_back(
            "catalogue.json is readable by every user of this machine, and it holds the users' "
            "passwords or their hashes: chmod o-r it");
    const std::uint32_t product = pdb::fourCC("Tarv");
    std::map<std::string, EditionHeader> editions;  // by module name
    for (std::size_t i = 0; i < catalogue.modules.size(); ++i) {
        const CatalogueModule& module = catalogue.modules[i];
        const std::string where = "modules[" + std::to_string(i) + "] (" + module.file + ")";
        pdb::Database db;
        try {
            db = pdb::readFile(catalogue.files_folder() / module.file).db;
        } catch (const std::exception& e) {
            warnings.push_back(where +
                               ": not a Palm database, the handheld will refuse it: " + e.what());
            continue;
        }
        editions[module.name] = {db.name, db.creator, db.isResourceDb()};
        if (db.name != module.name)
            warnings.push_back(where + ": holds the database \"" + db.name + "\", not \"" +
                               module.name +
                               "\": once installed the handheld lists it under that name");
        if (db.creator != product)
            warnings.push_back(
                where + ": creator " + pdb::fourCCText(db.creator) +
                ", not Tarv: handhelds never list it, so no later edition is offered");
    }
    // Collection and record changes follow what a handheld lists, which is
    // the product's databases only; a module's file says whether it is one.
    const auto other_creator = [&](const std::string& db) {
        const auto found = editions.find(db);
        return found != editions.end() && found->second.creator != product;
    };
    for (std::size_t i = 0; i < catalogue.collect.size(); ++i) {
        if (other_creator(catalogue.collect[i]))
            warnings.push_back(
                "collect[" + std::to_string(i) + "] (" + catalogue.collect[i] +
                "): another creator's database: handhelds never list it, so it is never collected");
    }
    for (std::size_t i = 0; i < catalogue.record_changes.size(); ++i) {
        const RecordChanges& changes = catalogue.record_changes[i];
        const std::string where = "record_changes[" + std::to_string(i) + "] (" + changes.db + ")";
        const auto found = editions.find(changes.db);
        if (other_creator(changes.db))
            warnings.push_back(
                where +
                ": another creator's database: handhelds never list it, so it never changes");
        else if (found != editions.end() && found->second.resource)
            warnings.push_back(where + ": a resource database: records cannot be written into it");
    }
    return warnings;
}

}  // namespace tarvo::server
