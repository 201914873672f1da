#pragma once
// Placeholders in scripted answer bodies, so a script can point a download
// address at the same server whatever port it got:
//   {{port}} {{host}} {{scheme}} {{base}} (scheme://host:port) {{seq}}
//   {{form.NAME}}  the decoded value of form field NAME (empty when absent)
// Text between "{{" and "}}" that is not one of these is an error at load.

#include <optional>
#include <string>
#include <string_view>

#include "exchange.h"

namespace tarvo::server {

// The first placeholder name that is not known, if any.
std::optional<std::string> unknown_placeholder(std::string_view text);

std::string expand_template(std::string_view text, const Request& request);

// "http://127.0.0.1:8080", with brackets around an IPv6 host.
std::string base_address(const std::string& scheme, const std::string& host, int port);

}  // namespace tarvo::server
