#pragma once
// The options of tarvo-syncserver.

#include <optional>
#include <string>
#include <vector>

namespace tarvo::server {

struct Options {
    std::string host = "127.0.0.1";
    int port = 0;  // 0: any free port
    // With --tls: HTTPS on this port, HTTP on `port`. Without it --tls
    // makes `port` itself speak HTTPS.
    std::optional<int> https_port;
    std::optional<std::string> script;
    std::optional<std::string> files;
    std::optional<std::string> log;
    std::optional<std::string> tls_cert;
    std::optional<std::string> tls_key;
    std::optional<std::string> catalogue;  // catalogue mode instead of a script
    std::optional<std::string> state;      // catalogue mode: what it keeps
    int keep_uploads = 5;                  // uploads of each collected database kept
    int link_lifetime = 3600;              // seconds a download address holds
    int max_devices = 10;                  // handhelds per login; 0: no ceiling
    int stop_grace = 10;
    std::optional<int> status_port;                  // the provider's status page, on loopback
    std::optional<std::string> admin_password_file;  // its password hash                   //
                                                     // seconds requests under way get at a stop
    std::optional<std::string> public_url;
    std::vector<std::string> trusted_proxies;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was sound
};

ParsedOptions parse_command_line(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace tarvo::server
