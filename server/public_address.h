#pragma once
// Who a request comes from and at which address clients reach the service.
// Behind a reverse proxy the connection comes from the proxy: its
// X-Forwarded-For/-Proto/-Host headers are believed only when it is one of
// the trusted proxies, since anyone else could send them. Addresses for
// clients are built from --public-url when it is given.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange.h"

namespace tarvo::server {

struct AddressRules {
    std::optional<std::string> public_url;     // "https://content.example/sync-base"
    std::vector<std::string> trusted_proxies;  // peer addresses, exactly as connections show them
};

// Sets request.client and request.base from the connection, the headers a
// trusted proxy adds, and the rules.
void resolve_addresses(Request& request, const AddressRules& rules);

// Whether a --public-url can go into the addresses the service sends: an
// http or https URL without query, fragment, quotes or blanks. The reason
// in `error` when not.
bool valid_public_url(std::string_view url, std::string& error);

// A header's first value, the name's letter case ignored.
std::optional<std::string> header_value(const HeaderList& headers, std::string_view name);

}  // namespace tarvo::server
