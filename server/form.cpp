#include "form.h"

namespace tarvo::server {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string percent_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
                   hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

FormFields parse_form(std::string_view text) {
    FormFields fields;
    while (!text.empty()) {
        const auto amp = text.find('&');
        const std::string_view piece = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view{} : text.substr(amp + 1);
        if (piece.empty()) continue;
        const auto eq = piece.find('=');
        if (eq == std::string_view::npos) {
            fields.emplace_back(percent_decode(piece), std::string{});
        } else {
            fields.emplace_back(percent_decode(piece.substr(0, eq)),
                                percent_decode(piece.substr(eq + 1)));
        }
    }
    return fields;
}

std::optional<std::string> form_value(const FormFields& fields, std::string_view name) {
    for (const auto& [key, value] : fields) {
        if (key == name) return value;
    }
    return std::nullopt;
}

}  // namespace tarvo::server
