#include "public_address.h"

#include <algorithm>

#include "template_text.h"

namespace tarvo::server {

namespace {

bool same_letters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A host with an optional port, as a Host header carries it: a name or
// IPv4 address, or an IPv6 address in brackets. Anything else could break
// out of the attribute the address is sent in.
bool plain_host(std::string_view host) {
    if (host.empty() || host.size() > 255) return false;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' || c == '[' ||
                        c == ']';
        if (!ok) return false;
    }
    return true;
}

bool plain_address(std::string_view address) {
    if (address.empty() || address.size() > 64) return false;
    for (const char c : address) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
                        (c >= 'A' && c <= 'F') || c == '.' || c == ':';
        if (!ok) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool wildcard(const std::string& host) { return host == "0.0.0.0" || host == "::" || host.empty(); }

}  // namespace

std::optional<std::string> header_value(const HeaderList& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (same_letters(key, name)) return value;
    }
    return std::nullopt;
}

bool valid_public_url(std::string_view url, std::string& error) {
    std::string_view rest;
    if (url.starts_with("http://"))
        rest = url.substr(7);
    else if (url.starts_with("https://"))
        rest = url.substr(8);
    else {
        error = "--public-url must start with http:// or https://";
        return false;
    }
    const std::string_view host = rest.substr(0, rest.find('/'));
    if (!plain_host(host)) {
        error = "--public-url: not a host name: " + std::string(host);
        return false;
    }
    for (const char c : rest.substr(host.size())) {
        const bool ok = c > ' ' && c < 127 && c != '"' && c != '<' && c != '>' && c != '?' &&
                        c != '#' && c != '\\';
        if (!ok) {
            error = "--public-url: only a plain path may follow the host";
            return false;
        }
    }
    return true;
}

void resolve_addresses(Request& request, const AddressRules& rules) {
    const std::string peer = request.client;
    const bool trusted = std::find(rules.trusted_proxies.begin(), rules.trusted_proxies.end(),
                                   peer) != rules.trusted_proxies.end();
    std::string scheme = request.scheme;
    std::optional<std::string> host;
    if (trusted) {
        // The proxy appends the address it saw to the end of the list.
        if (const auto chain = header_value(request.headers, "X-Forwarded-For")) {
            const std::string_view last = trimmed(std::string_view(*chain).substr(
                chain->rfind(',') == std::string::npos ? 0 : chain->rfind(',') + 1));
            if (plain_address(last)) request.client = std::string(last);
        }
        if (const auto proto = header_value(request.headers, "X-Forwarded-Proto");
            proto && (*proto == "http" || *proto == "https"))
            scheme = *proto;
        if (const auto forwarded = header_value(request.headers, "X-Forwarded-Host");
            forwarded && plain_host(*forwarded))
            host = *forwarded;
    }
    // Listening on every address, the server's own address means nothing
    // to a client: the one the client used does.
    if (!host && wildcard(request.host)) {
        if (const auto given = header_value(request.headers, "Host"); given && plain_host(*given))
            host = *given;
    }
    if (rules.public_url) {
        std::string base = *rules.public_url;
        while (base.ends_with('/')) base.pop_back();
        request.base = base;
    } else if (host) {
        request.base = scheme + "://" + *host;
    } else {
        request.base = base_address(scheme, request.host, request.port);
    }
}

}  // namespace tarvo::server
