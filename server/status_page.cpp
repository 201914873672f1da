#include "status_page.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <ctime>

#include "log_text.h"
#include "password_hash.h"
#include "text_utf8.h"

namespace tarvo::server {

namespace {

std::string escaped(const std::string& bytes) {
    std::string out;
    for (const char c : utf8_from_windows_1252(bytes)) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Standard base64 with padding, as Basic credentials come; empty when malformed.
std::string base64_decoded(const std::string& text) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > 4096) return {};
    std::string out(text.size() / 4 * 3, '\0');
    const int size = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
    if (size < 0) return {};
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') ++padding;
    out.resize(static_cast<std::size_t>(size) - padding);
    return out;
}

std::string when(std::int64_t seconds) { return utc_text(seconds, "%Y-%m-%d %H:%M UTC"); }

std::string row(std::initializer_list<std::string> cells) {
    std::string out = "<tr>";
    for (const auto& cell : cells) out += "<td>" + cell + "</td>";
    return out + "</tr>\n";
}

std::string table(const char* id, const char* title, std::initializer_list<const char*> heads,
                  const std::string& rows) {
    std::string out = std::string("<h2>") + title + "</h2>\n<table id=\"" + id + "\"><tr>";
    for (const char* head : heads) out += std::string("<th>") + head + "</th>";
    return out + "</tr>\n" + rows + "</table>\n";
}

}  // namespace

std::string status_html(ServiceState& state) {
    std::string devices, deliveries, uploads;
    for (const auto& d : state.devices())
        devices += row({d.id, escaped(d.login), escaped(d.user_name), escaped(d.user_id),
                        when(d.created), when(d.last_seen)});
    for (const auto& d : state.deliveries())
        deliveries += row({d.device, escaped(d.login), escaped(d.module), escaped(d.edition),
                           when(d.offered), d.installed ? when(*d.installed) : "not yet"});
    for (const auto& u : state.uploads())
        uploads += row({u.device, escaped(u.login), escaped(u.db), std::to_string(u.records),
                        when(u.received)});
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tarvo Sync content "
           "service</title>\n<style>body{font-family:sans-serif}table{border-collapse:collapse}"
           "td,th{border:1px solid #999;padding:2px 6px}</style></head><body>\n"
           "<h1>Tarvo Sync content service</h1>\n<p>As of " +
           when(unix_now()) + "</p>\n" +
           table("devices", "Handhelds",
                 {"Device", "Login", "HotSync user", "User id", "First login", "Last login"},
                 devices) +
           table("deliveries", "Editions delivered",
                 {"Device", "Login", "Module", "Edition", "Offered", "Installed"}, deliveries) +
           table("collected", "Databases collected",
                 {"Device", "Login", "Database", "Records", "Received"}, uploads) +
           "</body></html>\n";
}

std::unique_ptr<StatusPage> StatusPage::start(const std::string& state, std::string password_hash,
                                              int port, std::string& error) {
    std::unique_ptr<StatusPage> page(new StatusPage());
    try {
        page->state_ = open_state(state);
    } catch (const std::exception& e) {
        error = std::string("status page: ") + e.what();
        return nullptr;
    }
    page->admin_.login = "admin";
    page->admin_.password_hash = std::move(password_hash);
    page->server_ = std::make_unique<httplib::Server>();
    StatusPage* self = page.get();
    page->server_->Get("/", [self](const httplib::Request& in, httplib::Response& out) {
        // Basic credentials: "admin" (or any name) and the admin password.
        const std::string given = in.get_header_value("Authorization");
        bool allowed = false;
        if (given.starts_with("Basic ")) {
            const std::string pair = base64_decoded(given.substr(6));
            const auto colon = pair.find(':');
            if (colon != std::string::npos) {
                const std::string password = pair.substr(colon + 1);
                allowed = self->verified_.contains(self->admin_, password) ||
                          password_matches(self->admin_.password_hash, password);
                if (allowed) self->verified_.add(self->admin_, password);
            }
        }
        if (!allowed) {
            out.status = 401;
            out.set_header("WWW-Authenticate",
                           "Basic realm=\"Tarvo Sync status\", charset=\"UTF-8\"");
            out.set_content("the admin password is needed\n", "text/plain");
            return;
        }
        std::lock_guard lock(self->mutex_);
        out.set_header("Cache-Control", "no-store");
        out.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
        out.set_content(status_html(*self->state_), "text/html; charset=utf-8");
    });
    // Loopback only: the page is for the provider on this machine (or
    // through an SSH tunnel), never for the Internet.
    page->port_ = port == 0 ? page->server_->bind_to_any_port("127.0.0.1")
                            : (page->server_->bind_to_port("127.0.0.1", port) ? port : -1);
    if (page->port_ <= 0) {
        error = "cannot listen on 127.0.0.1 port " + std::to_string(port) + " for the status page";
        return nullptr;
    }
    page->thread_ = std::thread([self] { self->server_->listen_after_bind(); });
    return page;
}

StatusPage::~StatusPage() {
    if (server_) {
        while (thread_.joinable() && !server_->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server_->stop();
    }
    if (thread_.joinable()) thread_.join();
}

std::string StatusPage::url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

}  // namespace tarvo::server
