#include "catalogue_answerer.h"

#include <algorithm>

#include "catalogue_collect.h"
#include "catalogue_commands.h"
#include "catalogue_credentials.h"
#include "log_text.h"
#include "metrics.h"
#include "pdb/palm_clock.h"
#include "template_text.h"

namespace tarvo::server {

namespace {

Response page(std::string body, std::string answered_by) {
    Response response;
    response.body = std::move(body);
    response.answered_by = std::move(answered_by);
    return response;
}

// The value of a tag in a module's parameter block: the text after the tag
// up to the next ';', empty without one.
std::string tag_value(const std::string& block, std::string_view tag) {
    const auto at = block.find(tag);
    if (at == std::string::npos) return {};
    const auto start = at + tag.size();
    const auto end = block.find(';', start);
    return end == std::string::npos ? std::string{} : block.substr(start, end - start);
}

struct Reported {
    std::vector<std::pair<std::string, std::string>> modules;  // name, parameter block
    std::vector<std::string> databases;                        // every name, modules included

    bool holds(std::string_view db) const {
        return std::find(databases.begin(), databases.end(), db) != databases.end();
    }
};

// What a list request says the handheld holds: "modulo" with its "param"
// right after, and other databases as "unknowndbname".
Reported reported(const FormFields& form) {
    Reported r;
    bool awaiting_param = false;
    for (const auto& [key, value] : form) {
        if (key == "modulo") {
            r.modules.emplace_back(value, std::string{});
            r.databases.push_back(value);
            awaiting_param = true;
        } else if (key == "param" && awaiting_param) {
            r.modules.back().second = value;
            awaiting_param = false;
        } else if (key == "unknowndbname") {
            r.databases.push_back(value);
        }
    }
    return r;
}

// The handheld's log is running text whose entries end with a line feed;
// the desktop log keeps one entry per line by itself.
void log_both(std::vector<std::string>& answer, const std::string& text) {
    answer.push_back(commands::logmessage(text + "\n", true, false));
    answer.push_back(commands::logmessage(text, false, true));
}

}  // namespace

CatalogueAnswerer::CatalogueAnswerer(Catalogue catalogue, std::unique_ptr<ServiceState> state,
                                     std::FILE* trace, ServiceSettings settings)
    : catalogue_(std::make_shared<const Catalogue>(std::move(catalogue))),
      trace_(trace),
      state_(std::move(state)),
      settings_(settings),
      links_(state_->link_key(), settings.link_lifetime) {}

void CatalogueAnswerer::note(const Request& request, const std::string& login,
                             const std::string& device, const std::string& what) const {
    if (!trace_) return;
    // One line for each thing done: when, for whom, what. Never a password.
    const std::string line = utc_time() + " client=" + log_field(request.client) +
                             " cmd=" + Metrics::command_of(request) + " login=" + log_field(login) +
                             " device=" + log_field(device) + " " + what + "\n";
    std::lock_guard lock(trace_mutex_);
    std::fputs(line.c_str(), trace_);
    std::fflush(trace_);
}

void CatalogueAnswerer::replace_catalogue(Catalogue catalogue) {
    auto fresh = std::make_shared<const Catalogue>(std::move(catalogue));
    std::lock_guard lock(catalogue_mutex_);
    catalogue_ = std::move(fresh);
}

std::shared_ptr<const Catalogue> CatalogueAnswerer::current() const {
    std::lock_guard lock(catalogue_mutex_);
    return catalogue_;
}

bool CatalogueAnswerer::healthy() {
    try {
        std::lock_guard lock(mutex_);
        state_->device_count("");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string CatalogueAnswerer::metrics() {
    std::lock_guard lock(mutex_);
    const StateCounts counts = state_->counts();
    return "# HELP tarvo_devices Handhelds the service knows.\n# TYPE tarvo_devices gauge\n"
           "tarvo_devices " +
           std::to_string(counts.devices) +
           "\n# HELP tarvo_deliveries Editions offered to handhelds, by whether installed.\n"
           "# TYPE tarvo_deliveries gauge\ntarvo_deliveries{installed=\"yes\"} " +
           std::to_string(counts.installed) + "\ntarvo_deliveries{installed=\"no\"} " +
           std::to_string(counts.offered - counts.installed) +
           "\n# HELP tarvo_uploads Uploads of collected databases kept.\n"
           "# TYPE tarvo_uploads gauge\ntarvo_uploads " +
           std::to_string(counts.uploads) + "\n";
}

bool CatalogueAnswerer::locked_out(const std::string& login, const std::string& client) {
    std::int64_t by_address = 0;
    const std::int64_t since = unix_now() - settings_.failure_window.count();
    const std::int64_t by_login = state_->failures_since(login, client, since, &by_address);
    return by_login >= settings_.failures_per_login || by_address >= settings_.failures_per_address;
}

Response CatalogueAnswerer::answer(const Request& request) {
    try {
        // One catalogue for the whole request, even if another is put in meanwhile.
        const std::shared_ptr<const Catalogue> catalogue = current();
        // Downloads need no state: they never wait for a conversation.
        if (request.path.starts_with(FileStore::kPrefix)) return download(*catalogue, request);
        const std::string cmd = form_value(request.form, "cmd").value_or("");
        if (cmd != "login" && cmd != "list" && cmd != "pget")
            return page(commands::envelope({}), "catalogue");

        const std::string named = login_named(request.form);
        {
            std::lock_guard lock(mutex_);
            if (locked_out(named, request.client)) {
                note(request, named, "", "refused unchecked: too many wrong passwords");
                return page(commands::envelope(
                                {commands::logmessage("Muitas senhas erradas; tente de novo mais "
                                                      "tarde.",
                                                      false, true),
                                 commands::login_rejected()}),
                            "catalogue " + cmd);
            }
        }
        // A password hash takes its time: checked outside the lock.
        const CatalogueUser* user = authenticate(catalogue->users, request.form, &verified_);
        std::lock_guard lock(mutex_);
        if (!user) {
            state_->note_login(named, request.client, false);
            note(request, named, "", "credentials refused");
            return page(commands::envelope({commands::login_rejected()}), "catalogue " + cmd);
        }
        if (cmd == "login") {
            state_->note_login(user->login, request.client, true);
            return on_login(request, *user);
        }
        if (cmd == "list") return on_list(*catalogue, request, *user);
        return on_pget(*catalogue, request, *user);
    } catch (const std::exception& e) {
        Response response = page(std::string("server fault: ") + e.what() + "\n", "error");
        response.status = 500;
        response.content_type = "text/plain";
        return response;
    }
}

Response CatalogueAnswerer::download(const Catalogue& catalogue, const Request& request) const {
    // Only the current edition of a module, through an address the service
    // signed: neither an old edition nor anything else in the folder.
    const auto link = links_.check(request.path, unix_now());
    const CatalogueModule* module = nullptr;
    if (link) {
        for (const auto& m : catalogue.modules) {
            if (m.file == link->file && m.edition == link->edition) module = &m;
        }
    }
    std::optional<std::string> bytes;
    if (module) bytes = read_whole_file(catalogue.files_folder() / module->file);
    if (bytes) {
        Response response = page(std::move(*bytes), "file");
        response.content_type = "application/octet-stream";
        return response;
    }
    Response response =
        page(link ? "no such edition\n" : "no such file, or the address has expired\n", "file");
    response.status = link ? 404 : 403;
    response.content_type = "text/plain";
    note(request, "", "",
         std::string("refused ") +
             (link ? "a former edition " : "an unsigned or expired address ") +
             log_field(request.path));
    return response;
}

std::string CatalogueAnswerer::known_device(const Request& request, const CatalogueUser& user) {
    const std::string id = form_value(request.form, "device_id").value_or("");
    return !id.empty() && state_->owns(user.login, id) ? id : std::string{};
}

Response CatalogueAnswerer::on_login(const Request& request, const CatalogueUser& user) {
    // The conduit keeps no device id from one HotSync to the next, so every
    // login gets it again: the one given to this handheld the first time.
    const HandheldIdentity handheld{form_value(request.form, "username").value_or(""),
                                    form_value(request.form, "userid").value_or("")};
    const std::string id = state_->device_for(user.login, handheld, settings_.max_devices);
    if (id.empty()) {
        note(request, user.login, "",
             "refused a new device: " + std::to_string(settings_.max_devices) + " already");
        std::vector<std::string> answer;
        log_both(answer, "Este login j\xE1 tem " + std::to_string(settings_.max_devices) +
                             " aparelhos; fale com o provedor.");
        return page(commands::envelope(answer), "catalogue login");
    }
    note(request, user.login, id, "logged in");
    return page(commands::envelope({commands::device(id), commands::list()}), "catalogue login");
}

Response CatalogueAnswerer::on_list(const Catalogue& catalogue, const Request& request,
                                    const CatalogueUser& user) {
    const Reported held = reported(request.form);
    const std::string device = known_device(request, user);
    std::vector<std::string> answer;

    for (const auto& [name, block] : held.modules) {
        const CatalogueModule* module = catalogue.module(name);
        if (!module) continue;
        const std::string timestamp = tag_value(block, "__tarvo_timestamp:");
        if (!device.empty()) state_->note_held(device, name, timestamp);
        if (!newer_edition(module->edition, timestamp)) continue;
        const std::string url =
            request.base + links_.path({module->file, module->edition}, unix_now());
        answer.push_back(commands::pput(url, module->title));
        if (!device.empty()) state_->note_offer(device, name, module->edition);
        log_both(answer, "Nova edi\xE7\xE3o de " + module->title + ": " + module->edition);
        note(request, user.login, device,
             "offers " + log_field(module->file) + " edition " + module->edition);
    }

    // Record changes and collection belong to one device: without a known
    // one there is nowhere to keep what was sent or received.
    if (!device.empty()) {
        for (const auto& changes : catalogue.record_changes) {
            if (!held.holds(changes.db)) continue;
            std::vector<std::string> commands;
            for (const auto& write : changes.writes)
                commands.push_back(commands::rput(changes.db, changes.card, write.id, write.data));
            for (const auto id : changes.deletes)
                commands.push_back(commands::rdel(changes.db, changes.card, id));
            // The protocol reports nothing back: a change set counts as
            // delivered once sent, and the mark is taken first so that two
            // conversations at once never both send it.
            if (!state_->mark_delivered(user.login, device, changes.name)) continue;
            answer.insert(answer.end(), commands.begin(), commands.end());
            log_both(answer, "Registros atualizados em " + changes.db);
            note(request, user.login, device, "sends record changes " + log_field(changes.name));
        }
        for (const auto& db : catalogue.collect) {
            if (!held.holds(db)) continue;
            answer.push_back(commands::pget(db));
            note(request, user.login, device, "collects " + log_field(db));
        }
    }
    if (answer.empty()) note(request, user.login, device, "nothing new");
    return page(commands::envelope(answer), "catalogue list");
}

Response CatalogueAnswerer::on_pget(const Catalogue& catalogue, const Request& request,
                                    const CatalogueUser& user) {
    const std::string device = known_device(request, user);
    auto db = database_from_pget(request.form, pdb::palmNow());
    if (device.empty() || !db || !catalogue.collects(db->name)) {
        note(request, user.login, device, "upload not kept");
        return page(commands::envelope({}), "catalogue pget");
    }
    const std::string where = state_->store_database(user.login, device, *db);
    const std::string count = std::to_string(db->records.size());
    note(request, user.login, device,
         "kept " + log_field(db->name) + " (" + count + " records) in " + log_field(where));
    return page(commands::envelope({commands::logmessage(
                    db->name + ": " + count + " registros recebidos pelo servidor", false, true)}),
                "catalogue pget");
}

}  // namespace tarvo::server
