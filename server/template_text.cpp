#include "template_text.h"

#include <functional>

namespace tarvo::server {

namespace {

constexpr std::string_view kOpen = "{{";
constexpr std::string_view kClose = "}}";
constexpr std::string_view kFormPrefix = "form.";

bool known(std::string_view name) {
    return name == "port" || name == "host" || name == "scheme" || name == "base" ||
           name == "seq" || (name.starts_with(kFormPrefix) && name.size() > kFormPrefix.size());
}

// Calls on_text for literal stretches and on_name for each "{{name}}".
// An opening "{{" without a closing "}}" is literal text.
void scan(std::string_view text, const std::function<void(std::string_view)>& on_text,
          const std::function<void(std::string_view)>& on_name) {
    while (!text.empty()) {
        const auto open = text.find(kOpen);
        const auto close = open == std::string_view::npos ? std::string_view::npos
                                                          : text.find(kClose, open + kOpen.size());
        if (close == std::string_view::npos) {
            on_text(text);
            return;
        }
        on_text(text.substr(0, open));
        on_name(text.substr(open + kOpen.size(), close - open - kOpen.size()));
        text = text.substr(close + kClose.size());
    }
}

}  // namespace

std::string base_address(const std::string& scheme, const std::string& host, int port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return scheme + "://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<std::string> unknown_placeholder(std::string_view text) {
    std::optional<std::string> unknown;
    scan(
        text, [](std::string_view) {},
        [&](std::string_view name) {
            if (!unknown && !known(name)) unknown = std::string(name);
        });
    return unknown;
}

std::string expand_template(std::string_view text, const Request& request) {
    std::string out;
    scan(
        text, [&](std::string_view literal) { out += literal; },
        [&](std::string_view name) {
            if (name == "port")
                out += std::to_string(request.port);
            else if (name == "host")
                out += request.host;
            else if (name == "scheme")
                out += request.scheme;
            else if (name == "base")
                out += base_address(request.scheme, request.host, request.port);
            else if (name == "seq")
                out += std::to_string(request.seq);
            else if (name.starts_with(kFormPrefix) && name.size() > kFormPrefix.size())
                out += form_value(request.form, name.substr(kFormPrefix.size())).value_or("");
            else
                out += std::string(kOpen) + std::string(name) + std::string(kClose);
        });
    return out;
}

}  // namespace tarvo::server
