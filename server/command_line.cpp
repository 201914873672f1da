#include "command_line.h"

#include <charconv>

namespace tarvo::server {

const char* const kUsage =
    "usage: tarvo-syncserver [options]\n"
    "A sync server for trying the conduit: answers from a script and records every request,\n"
    "or runs a small content service from a catalogue folder.\n"
    "\n"
    "  --host ADDR        address to listen on (default 127.0.0.1)\n"
    "  --port N           port to listen on; 0 picks a free one (default 0)\n"
    "  --script FILE      JSON rules saying how to answer (see docs/syncserver.md)\n"
    "  --files DIR        serve DIR under /files/ for downloads (GET or POST)\n"
    "  --log FILE         write every request to FILE as one JSON line\n"
    "  --tls CERT KEY     speak HTTPS with this PEM certificate and key\n"
    "  --catalogue DIR    content service: users, modules and editions from DIR/catalogue.json,\n"
    "                     edition files from DIR/files/ (instead of --script and --files)\n"
    "  --state DIR        where the content service keeps devices and collected databases\n"
    "                     (default: DIR/state of the catalogue)\n"
    "  --help             show this text\n"
    "  --version          show the server's version and the protocol it speaks\n"
    "\n"
    "The first line on standard output is \"listening on URL\". SIGTERM or SIGINT ends the "
    "server.\n";

ParsedOptions parse_command_line(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inline_value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            inline_value = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&](std::string& out) {
            if (inline_value) {
                out = *inline_value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string text;

        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--host") {
            if (!value(text) || text.empty()) return fail("--host needs an address");
            options.host = text;
        } else if (name == "--port") {
            if (!value(text)) return fail("--port needs a number");
            int port = -1;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
            if (ec != std::errc{} || end != text.data() + text.size() || port < 0 || port > 65535)
                return fail("--port: not a port number: " + text);
            options.port = port;
        } else if (name == "--script") {
            if (!value(text) || text.empty()) return fail("--script needs a file");
            options.script = text;
        } else if (name == "--files") {
            if (!value(text) || text.empty()) return fail("--files needs a folder");
            options.files = text;
        } else if (name == "--log") {
            if (!value(text) || text.empty()) return fail("--log needs a file");
            options.log = text;
        } else if (name == "--catalogue") {
            if (!value(text) || text.empty()) return fail("--catalogue needs a folder");
            options.catalogue = text;
        } else if (name == "--state") {
            if (!value(text) || text.empty()) return fail("--state needs a folder");
            options.state = text;
        } else if (name == "--tls") {
            if (inline_value || i + 2 >= args.size())
                return fail("--tls needs a certificate and a key file");
            options.tls_cert = args[++i];
            options.tls_key = args[++i];
        } else {
            return fail("unknown option: " + args[i]);
        }
    }
    if (options.catalogue && (options.script || options.files))
        return fail(
            "--catalogue serves its own files and answers: it takes neither --script nor --files");
    if (options.state && !options.catalogue) return fail("--state goes with --catalogue");
    return parsed;
}

}  // namespace tarvo::server
