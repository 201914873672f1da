#include "command_line.h"

#include <algorithm>

#include "cli/arguments.h"
#include "public_address.h"

namespace tarvo::server {

const char* const kUsage =
    "usage: tarvo-syncserver [options]\n"
    "       tarvo-syncserver hash-password\n"
    "       tarvo-syncserver admin devices|deliveries|collected|upload N --state DIR|URL\n"
    "A sync server for trying the conduit: answers from a script and records every request,\n"
    "or runs a small content service from a catalogue folder.\n"
    "\n"
    "  --host ADDR        address to listen on (default 127.0.0.1)\n"
    "  --port N           port to listen on; 0 picks a free one (default 0)\n"
    "  --script FILE      JSON rules saying how to answer (see docs/syncserver.md)\n"
    "  --files DIR        serve DIR under /files/ for downloads (GET or POST)\n"
    "  --log FILE         write every request to FILE as one JSON line\n"
    "  --tls CERT KEY     speak HTTPS with this PEM certificate and key (on --port, or on\n"
    "                     --https-port while --port speaks HTTP)\n"
    "  --https-port N     with --tls: also serve HTTPS on port N; 0 picks a free one\n"
    "  --catalogue DIR    content service: users, modules and editions from DIR/catalogue.json,\n"
    "                     edition files from DIR/files/ (instead of --script and --files)\n"
    "  --state DIR|URL    where the content service keeps devices and collected databases:\n"
    "                     a folder (default: $XDG_STATE_HOME/tarvo-syncserver) or a\n"
    "                     PostgreSQL database shared by several machines (postgresql://...)\n"
    "  --public-url URL   the address clients reach the service at, for download addresses\n"
    "                     (behind a reverse proxy: https://content.example.com)\n"
    "  --trusted-proxy A  believe X-Forwarded-For/-Proto/-Host from these peer addresses\n"
    "                     (comma-separated, e.g. 127.0.0.1,::1)\n"
    "  --link-lifetime S  seconds a download address holds (default 3600)\n"
    "  --max-devices N    handhelds one login may use (default 10; 0: no ceiling)\n"
    "  --status-port N    serve a read-only status page on 127.0.0.1 port N (0: a free one)\n"
    "  --admin-password-file FILE  the status page's password, as a hash from hash-password\n"
    "  --stop-grace S     seconds requests under way may take to finish at a stop (default 10)\n"
    "  --keep-uploads N   uploads of each collected database kept per device (default 5)\n"
    "  --help             show this text\n"
    "  --version          show the server's version and the protocol it speaks\n"
    "\n"
    "Standard output starts with a \"listening on URL\" line for each port, HTTP first.\n"
    "SIGHUP reads the catalogue again (a bad one is refused, the running one kept) and\n"
    "reopens the --log file. SIGTERM or SIGINT stops listening and lets requests under way\n"
    "finish (--stop-grace); a second one ends the server at once.\n";

namespace {

// clang-format off
constexpr cli::Option kOptions[] = {
    {"host", cli::Value, "ADDR"},
    {"port", cli::Value, "N"},
    {"https-port", cli::Value, "N"},
    {"script", cli::Value, "FILE"},
    {"files", cli::Value, "DIR"},
    {"log", cli::Value, "FILE"},
    {"tls", cli::Value, "CERT KEY"},  // KEY is the word after CERT
    {"catalogue", cli::Value, "DIR"},
    {"state", cli::Value, "DIR"},
    {"keep-uploads", cli::Value, "N"},
    {"public-url", cli::Value, "URL"},
    {"trusted-proxy", cli::Value, "ADDR[,ADDR...]"},
    {"link-lifetime", cli::Value, "SECONDS"},
    {"stop-grace", cli::Value, "SECONDS"},
    {"max-devices", cli::Value, "N"},
    {"status-port", cli::Value, "N"},
    {"admin-password-file", cli::Value, "FILE"},
    {"version"},
};
// clang-format on

}  // namespace

ParsedOptions parse_command_line(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    cli::Args given;
    if (!cli::parse(args, kOptions, &given, &parsed.error)) return parsed;
    options.help = given.has("help");
    options.version = given.has("version");
    options.host = given.value("host", options.host);
    int64_t port = 0;
    if (!given.number("port", 0, 65535, 0, &port, &parsed.error)) return parsed;
    options.port = static_cast<int>(port);
    if (!given.number("keep-uploads", 1, 100000, 5, &port, &parsed.error)) return parsed;
    options.keep_uploads = static_cast<int>(port);
    if (!given.number("link-lifetime", 60, 7 * 86400, 3600, &port, &parsed.error)) return parsed;
    options.link_lifetime = static_cast<int>(port);
    if (!given.number("max-devices", 0, 1000000, 10, &port, &parsed.error)) return parsed;
    options.max_devices = static_cast<int>(port);
    if (given.hasValue("status-port")) {
        if (!given.number("status-port", 0, 65535, 0, &port, &parsed.error)) return parsed;
        options.status_port = static_cast<int>(port);
    }
    if (given.hasValue("admin-password-file"))
        options.admin_password_file = given.value("admin-password-file");
    if (!given.number("stop-grace", 0, 3600, 10, &port, &parsed.error)) return parsed;
    options.stop_grace = static_cast<int>(port);
    if (given.hasValue("public-url")) {
        options.public_url = given.value("public-url");
        std::string why;
        if (!valid_public_url(*options.public_url, why)) return fail(why);
    }
    if (given.hasValue("trusted-proxy")) {
        std::string list = given.value("trusted-proxy");
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            if (comma > start) options.trusted_proxies.push_back(list.substr(start, comma - start));
            start = comma + 1;
        }
    }
    if (given.hasValue("https-port")) {
        if (!given.number("https-port", 0, 65535, 0, &port, &parsed.error)) return parsed;
        options.https_port = static_cast<int>(port);
    }
    auto optional = [&](const char* name, std::optional<std::string>& out) {
        if (given.hasValue(name)) out = given.value(name);
    };
    optional("script", options.script);
    optional("files", options.files);
    optional("log", options.log);
    optional("catalogue", options.catalogue);
    optional("state", options.state);
    std::vector<std::string> rest = given.positional;
    if (given.hasValue("tls")) {
        if (rest.empty()) return fail("--tls needs a certificate and a key file");
        options.tls_cert = given.value("tls");
        options.tls_key = rest.front();
        rest.erase(rest.begin());
    }
    if (!rest.empty()) return fail("unexpected argument " + rest.front());
    if (options.https_port && !options.tls_cert) return fail("--https-port needs --tls CERT KEY");
    if (options.catalogue && (options.script || options.files))
        return fail(
            "--catalogue serves its own files and answers: it takes neither --script nor --files");
    if (options.state && !options.catalogue) return fail("--state goes with --catalogue");
    if (options.status_port && !options.catalogue)
        return fail("--status-port goes with --catalogue");
    if (options.status_port.has_value() != options.admin_password_file.has_value())
        return fail("--status-port and --admin-password-file go together");
    return parsed;
}

}  // namespace tarvo::server
