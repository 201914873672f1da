#include "subcommands.h"

#include <termios.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "catalogue_state.h"
#include "cli/arguments.h"
#include "log_text.h"
#include "password_hash.h"
#include "text_utf8.h"

namespace tarvo::server {

namespace {

// One line from standard input; on a terminal asked for without echo.
bool read_password(const char* prompt, std::string& out) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        std::cerr << prompt << std::flush;
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, out));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << "\n";
    }
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return got;
}

std::string admin_time(std::int64_t seconds) { return utc_text(seconds, "%Y-%m-%dT%H:%M:%SZ"); }

constexpr const char* kAdminUsage =
    "usage: tarvo-syncserver admin devices|deliveries|collected --state DIR|URL\n"
    "       tarvo-syncserver admin upload N --state DIR|URL > FILE.pdb\n"
    "Prints what the content service keeps in its state (a folder, or a postgresql://\n"
    "address), one tab-separated line each:\n"
    "  devices     id, login, HotSync user name, user id, first and last login\n"
    "  deliveries  device, login, module, edition, when offered, when installed (or -)\n"
    "  collected   device, login, database, records, when received, file in the state\n"
    "              (- when kept in PostgreSQL), upload number\n"
    "  upload N    writes that upload's database file to standard output\n"
    "Times are UTC. Safe to run while the service runs.\n";

constexpr cli::Option kAdminOptions[] = {{"state", cli::Value, "DIR"}};

}  // namespace

int run_admin(const std::vector<std::string>& args) {
    cli::Args given;
    std::string error;
    if (!cli::parse(args, kAdminOptions, &given, &error)) {
        std::cerr << cli::usageLine("tarvo-syncserver admin", error) << "\n";
        return 2;
    }
    if (given.has("help")) {
        std::cout << kAdminUsage;
        return 0;
    }
    const std::string what = given.positional.empty() ? "" : given.positional.front();
    std::int64_t upload = 0;
    const bool upload_named =
        what == "upload" && given.positional.size() == 2 &&
        std::from_chars(given.positional[1].data(),
                        given.positional[1].data() + given.positional[1].size(), upload)
                .ptr == given.positional[1].data() + given.positional[1].size();
    if (!upload_named && (given.positional.size() != 1 ||
                          (what != "devices" && what != "deliveries" && what != "collected"))) {
        std::cerr << "tarvo-syncserver: admin: say devices, deliveries, collected or upload N "
                     "(see --help)\n";
        return 2;
    }
    if (!given.hasValue("state")) {
        std::cerr << "tarvo-syncserver: admin: --state DIR is needed\n";
        return 2;
    }
    const std::string state = given.value("state");
    std::error_code ec;
    if (!names_postgresql(state) &&
        !std::filesystem::exists(std::filesystem::path(state) / CatalogueState::kDatabaseName,
                                 ec)) {
        std::cerr << "tarvo-syncserver: admin: no content service state in " << state << "\n";
        return 2;
    }
    try {
        const std::unique_ptr<ServiceState> opened = open_state(state);
        ServiceState& kept = *opened;
        if (upload_named) {
            const auto bytes = kept.upload_bytes(upload);
            if (!bytes) {
                std::cerr << "tarvo-syncserver: admin: no upload " << upload << "\n";
                return 1;
            }
            std::cout.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
            return std::cout.flush() ? 0 : 1;
        }
        if (what == "devices") {
            std::cout << "device\tlogin\tuser name\tuser id\tfirst login\tlast login\n";
            for (const auto& d : kept.devices())
                std::cout << d.id << "\t" << utf8_from_windows_1252(d.login) << "\t"
                          << utf8_from_windows_1252(d.user_name) << "\t"
                          << utf8_from_windows_1252(d.user_id) << "\t" << admin_time(d.created)
                          << "\t" << admin_time(d.last_seen) << "\n";
        } else if (what == "deliveries") {
            std::cout << "device\tlogin\tmodule\tedition\toffered\tinstalled\n";
            for (const auto& d : kept.deliveries())
                std::cout << d.device << "\t" << utf8_from_windows_1252(d.login) << "\t"
                          << utf8_from_windows_1252(d.module) << "\t" << d.edition << "\t"
                          << admin_time(d.offered) << "\t"
                          << (d.installed ? admin_time(*d.installed) : "-") << "\n";
        } else {
            std::cout << "device\tlogin\tdatabase\trecords\treceived\tfile\tupload\n";
            for (const auto& u : kept.uploads())
                std::cout << u.device << "\t" << utf8_from_windows_1252(u.login) << "\t"
                          << utf8_from_windows_1252(u.db) << "\t" << u.records << "\t"
                          << admin_time(u.received) << "\t" << (u.file.empty() ? "-" : u.file)
                          << "\t" << u.id << "\n";
        }
    } catch (const std::exception& e) {
        std::cerr << "tarvo-syncserver: admin: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int run_hash_password(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << "usage: tarvo-syncserver hash-password\n"
                     "Reads a password from standard input (asked for twice, without echo, on a\n"
                     "terminal) and prints its hash for a user's \"password_hash\" in "
                     "catalogue.json.\n";
        return 0;
    }
    if (!args.empty()) {
        std::cerr << "tarvo-syncserver: hash-password takes no arguments (see --help)\n";
        return 2;
    }
    std::string password;
    if (!read_password("Password: ", password) || password.empty()) {
        std::cerr << "tarvo-syncserver: hash-password: no password given\n";
        return 2;
    }
    if (::isatty(STDIN_FILENO) == 1) {
        std::string again;
        if (!read_password("Again: ", again) || again != password) {
            std::cerr << "tarvo-syncserver: hash-password: the two passwords differ\n";
            return 2;
        }
    }
    try {
        std::cout << hash_password(password) << "\n";
    } catch (const std::exception& e) {
        std::cerr << "tarvo-syncserver: hash-password: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace tarvo::server
