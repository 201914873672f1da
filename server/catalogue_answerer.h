#pragma once
// Catalogue mode: a small content service. The conversation it holds with
// the conduit:
//   login  -> a known user gets its device id and "list"; anyone else
//             "login invalido=1"
//   list   -> pput of each newer edition of the modules the handheld holds
//             (an address signed for that edition, for a limited time),
//             record changes not yet sent to this device (rput/rdel), pget
//             of the databases it collects, log lines
//   pget   -> the database is kept for this user and device; a log line
// No answer asks for another list, so the conversation then ends.

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "catalogue.h"
#include "catalogue_credentials.h"
#include "edition_links.h"
#include "exchange.h"
#include "file_store.h"
#include "service_state.h"

namespace tarvo::server {

struct ServiceSettings {
    std::chrono::seconds link_lifetime{3600};  // how long a download address holds
    std::int64_t max_devices = 10;             // handhelds per login; 0: no ceiling
    // Wrong passwords within the window after which a login, or a client
    // address, is refused without a check until the window has passed.
    std::int64_t failures_per_login = 10;
    std::int64_t failures_per_address = 50;
    std::chrono::seconds failure_window{15 * 60};
};

class CatalogueAnswerer : public Answerer {
public:
    // trace (may be null) gets one line per thing the service did.
    CatalogueAnswerer(Catalogue catalogue, std::unique_ptr<ServiceState> state, std::FILE* trace,
                      ServiceSettings settings = {});

    Response answer(const Request& request) override;
    bool healthy() override;
    std::string metrics() override;
    // Answers from now on come from this catalogue; requests under way
    // finish with the one they started with.
    void replace_catalogue(Catalogue catalogue);

private:
    std::shared_ptr<const Catalogue> current() const;
    bool locked_out(const std::string& login, const std::string& client);
    Response on_login(const Request& request, const CatalogueUser& user);
    Response on_list(const Catalogue& catalogue, const Request& request, const CatalogueUser& user);
    Response on_pget(const Catalogue& catalogue, const Request& request, const CatalogueUser& user);
    Response download(const Catalogue& catalogue, const Request& request) const;
    // The form's device id when it was given to this user, else empty.
    std::string known_device(const Request& request, const CatalogueUser& user);
    void note(const Request& request, const std::string& login, const std::string& device,
              const std::string& what) const;

    mutable std::mutex catalogue_mutex_;
    std::shared_ptr<const Catalogue> catalogue_;
    std::FILE* trace_;
    mutable std::mutex trace_mutex_;
    std::mutex mutex_;  // guards state_
    std::unique_ptr<ServiceState> state_;
    const ServiceSettings settings_;
    const EditionLinks links_;
    VerifiedPasswords verified_;
};

}  // namespace tarvo::server
