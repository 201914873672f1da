#pragma once
// A read-only page for the provider: the devices, the editions delivered
// and the databases collected, served on a loopback port of its own and
// only to whoever gives the admin password (HTTP Basic; the password is
// kept as a hash). Not a part of the service the handhelds reach.

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "catalogue_credentials.h"
#include "service_state.h"

namespace httplib {
class Server;
}

namespace tarvo::server {

// The page's HTML for what the state holds now.
std::string status_html(ServiceState& state);

class StatusPage {
public:
    // password_hash: from tarvo-syncserver hash-password. Null and a reason
    // in `error` when the port cannot be bound.
    // state: a state folder or a PostgreSQL address, as --state names it.
    static std::unique_ptr<StatusPage> start(const std::string& state, std::string password_hash,
                                             int port, std::string& error);
    ~StatusPage();  // stops serving

    std::string url() const;

private:
    StatusPage() = default;

    std::unique_ptr<ServiceState> state_;  // a connection of its own
    std::mutex mutex_;                     // guards state_
    CatalogueUser admin_;
    VerifiedPasswords verified_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace tarvo::server
