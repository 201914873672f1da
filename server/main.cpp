// tarvo-syncserver: a sync server that answers from a script and records
// every request, for the demo, for integration tests and for content
// providers trying their content.

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue.h"
#include "catalogue_answerer.h"
#include "catalogue_checks.h"
#include "cli/arguments.h"
#include "command_line.h"
#include "file_store.h"
#include "http_front.h"
#include "password_hash.h"
#include "request_log.h"
#include "script.h"
#include "scripted_answerer.h"
#include "service_state.h"
#include "status_page.h"
#include "subcommands.h"

namespace {

using namespace tarvo::server;

// Warnings found before the server listens wait for its "listening on"
// lines, so whoever reads the first line of its output reads an address.
std::vector<std::string> held_warnings;
bool announced = false;

void warn(const std::string& line) {
    if (announced)
        std::cerr << line << "\n";
    else
        held_warnings.push_back(line);
}

void release_warnings() {
    announced = true;
    for (const std::string& line : held_warnings) std::cerr << line << "\n";
    held_warnings.clear();
}

int complain(const std::string& message, int code) {
    release_warnings();
    std::cerr << "tarvo-syncserver: " << message << "\n";
    return code;
}

// Where catalogue mode keeps what it learns when --state is not given:
// $XDG_STATE_HOME/tarvo-syncserver (~/.local/state), never inside the
// catalogue, which may be a source tree or read-only. Empty when there is
// no such folder to name.
std::filesystem::path default_state_folder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::filesystem::path(state) / "tarvo-syncserver";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::filesystem::path(home) / ".local" / "state" / "tarvo-syncserver";
    return {};
}

std::filesystem::path state_folder(const Options& options) {
    return options.state ? std::filesystem::path(*options.state) : default_state_folder();
}

// The status page's password: a hash from hash-password, alone in its file.
std::optional<std::string> admin_password_hash(const std::string& file, std::string& error) {
    auto text = read_whole_file(file);
    if (!text) {
        error = "--admin-password-file: cannot read " + file;
        return std::nullopt;
    }
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
    if (!valid_password_hash(*text)) {
        error = "--admin-password-file: " + file +
                " holds no password hash (make one with tarvo-syncserver hash-password)";
        return std::nullopt;
    }
    return text;
}

// The catalogue in `folder`, its warnings on standard error; nothing and a
// one-line reason in `error` when it has a mistake.
std::optional<Catalogue> load_with_warnings(const std::filesystem::path& folder,
                                            std::string& error) {
    try {
        Catalogue catalogue = load_catalogue(folder);
        for (const std::string& warning : catalogue_warnings(catalogue))
            warn("tarvo-syncserver: warning: catalogue " + folder.string() + ": " + warning);
        return catalogue;
    } catch (const CatalogueError& e) {
        error = "catalogue " + folder.string() + ": " + e.what();
    } catch (const std::exception& e) {
        error = "catalogue " + folder.string() + ": " + e.what();
    }
    return std::nullopt;
}

ServiceSettings service_settings(const Options& options) {
    ServiceSettings settings;
    settings.link_lifetime = std::chrono::seconds(options.link_lifetime);
    settings.max_devices = options.max_devices;
    return settings;
}

// Catalogue mode: the answers come from a content catalogue.
std::unique_ptr<CatalogueAnswerer> catalogue_answerer(const Options& options, std::string& error) {
    const std::filesystem::path folder = *options.catalogue;
    const std::filesystem::path state = state_folder(options);
    if (state.empty()) {
        error = "--catalogue needs --state DIR (neither XDG_STATE_HOME nor HOME names a folder)";
        return nullptr;
    }
    // The state holds logins and the users' databases: inside the served
    // folder it would be one request away from anyone.
    std::error_code ec;
    const auto served = std::filesystem::weakly_canonical(folder / "files", ec);
    const auto kept = std::filesystem::weakly_canonical(state, ec);
    if (!ec && !names_postgresql(state.string())) {
        const auto [end, _] = std::mismatch(served.begin(), served.end(), kept.begin(), kept.end());
        if (end == served.end()) {
            error = "--state " + state.string() + " lies inside the served folder " +
                    (folder / "files").string() + ": its private data would be public";
            return nullptr;
        }
    }
    try {
        auto catalogue = load_with_warnings(folder, error);
        if (!catalogue) return nullptr;
        return std::make_unique<CatalogueAnswerer>(
            std::move(*catalogue),
            open_state(state.string(), StateSettings{static_cast<unsigned>(options.keep_uploads)}),
            stdout, service_settings(options));
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

// SIGHUP: the catalogue read again and the log file reopened (after a
// rotation). A catalogue with a mistake is refused and the running one kept.
void reload(const Options& options, CatalogueAnswerer* service, RequestLog* log) {
    std::string error;
    if (service) {
        if (auto catalogue = load_with_warnings(*options.catalogue, error)) {
            service->replace_catalogue(std::move(*catalogue));
            std::cerr << "tarvo-syncserver: catalogue " << *options.catalogue << " reloaded\n";
        } else {
            std::cerr << "tarvo-syncserver: " << error << "; the running catalogue is kept\n";
        }
    }
    if (log && !log->reopen(error)) std::cerr << "tarvo-syncserver: " << error << "\n";
}

int serve(const Options& options, const sigset_t& signals) {
    std::string error;
    std::unique_ptr<Answerer> answerer;
    CatalogueAnswerer* service = nullptr;
    if (options.catalogue) {
        auto made = catalogue_answerer(options, error);
        if (!made) return complain(error, 2);
        service = made.get();
        answerer = std::move(made);
    }
    Script script;
    if (options.script) {
        try {
            script = load_script(*options.script);
        } catch (const ScriptError& e) {
            return complain(*options.script + ": " + e.what(), 2);
        }
    }
    std::unique_ptr<FileStore> files;
    if (options.files) {
        std::error_code ec;
        if (!std::filesystem::is_directory(*options.files, ec))
            return complain("--files: not a folder: " + *options.files, 2);
        files = std::make_unique<FileStore>(*options.files);
    }
    if (options.tls_cert.has_value() != options.tls_key.has_value())
        return complain("--tls needs a certificate and a key file", 2);

    std::unique_ptr<RequestLog> log;
    if (options.log) {
        // A service keeps its log across restarts and never writes a password
        // into it; a test recorder starts afresh and keeps every byte.
        const bool content_service = options.catalogue.has_value();
        log = RequestLog::open(*options.log, error,
                               RequestLog::Options{content_service, content_service});
        if (!log) return complain(error, 2);
    }

    if (!answerer)
        answerer = std::make_unique<ScriptedAnswerer>(std::move(script), std::move(files));

    // One front per port, all answering from the same answerer.
    const AddressRules rules{options.public_url, options.trusted_proxies};
    // The content service answers /healthz and /metrics; a script decides every path itself.
    const auto metrics = options.catalogue ? std::make_shared<Metrics>() : nullptr;
    std::vector<FrontSettings> ports;
    if (options.https_port) {
        ports.push_back({options.host, options.port, std::nullopt, std::nullopt, rules, metrics});
        ports.push_back(
            {options.host, *options.https_port, options.tls_cert, options.tls_key, rules, metrics});
    } else {
        ports.push_back(
            {options.host, options.port, options.tls_cert, options.tls_key, rules, metrics});
    }
    std::vector<std::unique_ptr<HttpFront>> fronts;
    for (const FrontSettings& settings : ports) {
        auto front = HttpFront::create(settings, *answerer, log.get(), error);
        if (!front) return complain(error, 2);
        if (!front->bind(error)) return complain(error, 1);
        fronts.push_back(std::move(front));
    }
    std::unique_ptr<StatusPage> status;
    if (options.status_port) {
        auto hash = admin_password_hash(*options.admin_password_file, error);
        if (!hash) return complain(error, 2);
        status = StatusPage::start(state_folder(options).string(), std::move(*hash),
                                   *options.status_port, error);
        if (!status) return complain(error, 1);
    }
    for (const auto& front : fronts) std::printf("listening on %s\n", front->url().c_str());
    if (status) std::printf("status page on %s\n", status->url().c_str());
    std::fflush(stdout);
    release_warnings();

    std::atomic<bool> listen_failed = false;
    std::atomic<std::size_t> listening = fronts.size();
    std::vector<std::thread> listeners;
    for (const auto& front : fronts) {
        listeners.emplace_back([&, f = front.get()] {
            if (!f->run()) listen_failed = true;
            --listening;
            kill(getpid(), SIGUSR1);
        });
    }
    int received = 0;
    while (sigwait(&signals, &received) == 0 && received == SIGHUP)
        reload(options, service, log.get());

    // Stop listening; requests under way get the grace time to finish (a
    // front's run() returns once its last one has). A second stop signal,
    // or the end of the grace, ends the process without them.
    for (const auto& front : fronts) front->stop();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.stop_grace);
    bool forced = false;
    while (listening > 0 && !forced) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::seconds(0)) {
            forced = true;
            break;
        }
        const auto wait = std::min<std::chrono::nanoseconds>(left, std::chrono::milliseconds(100));
        const timespec step{0, static_cast<long>(wait.count())};
        const int got = sigtimedwait(&signals, nullptr, &step);
        if (got == SIGTERM || got == SIGINT) forced = true;
    }
    if (forced) {
        std::cerr << "tarvo-syncserver: requests still under way were cut short\n";
        std::fflush(stdout);
        std::_Exit(1);
    }
    for (auto& listener : listeners) listener.join();
    if (received == SIGUSR1 && listen_failed) return complain("listening failed", 1);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Signals are taken by the main thread alone, with sigwait; every thread
    // started later inherits the blocked mask. Blocked from the start, so a
    // stop request during start-up still ends the server cleanly.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGUSR1);  // the listener ended by itself
    sigaddset(&stop_signals, SIGHUP);   // reload
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the server

    // With nothing to answer from, every request would get a 404.
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string first = argv[1];
    if (first == "hash-password")
        return run_hash_password(std::vector<std::string>(argv + 2, argv + argc));
    if (first == "admin") return run_admin(std::vector<std::string>(argv + 2, argv + argc));
    try {
        const ParsedOptions parsed =
            parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
        if (!parsed.error.empty()) {
            std::cerr << tarvo::cli::usageLine("tarvo-syncserver", parsed.error) << "\n";
            return 2;
        }
        if (parsed.options.help) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (parsed.options.version) {
            // The release of this project, then the wire protocol's own
            // version (the conduit= field of a login), which changes apart.
            std::printf("tarvo-syncserver %s\nconduit protocol 1.00f\n", TARVO_VERSION);
            return 0;
        }
        return serve(parsed.options, stop_signals);
    } catch (const std::exception& e) {
        return complain(e.what(), 1);
    }
}
