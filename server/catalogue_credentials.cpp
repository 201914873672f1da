#include "catalogue_credentials.h"

#include <cstdio>

namespace tarvo::server {

std::string scramble(std::string_view clear) {
    std::string out;
    out.reserve(clear.size() * 3);
    for (const char c : clear) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%03u",
                      static_cast<unsigned>(static_cast<unsigned char>(c)));
        out += digits;
    }
    return out;
}

std::string scramble_signed(std::string_view clear) {
    std::string out;
    for (const char c : clear) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%3d", static_cast<int>(static_cast<signed char>(c)));
        for (char* p = digits; *p != '\0'; ++p) out += *p == ' ' ? '0' : *p;
    }
    return out;
}

bool scrambled_matches(std::string_view scrambled, std::string_view clear) {
    return scrambled == scramble(clear) || scrambled == scramble_signed(clear);
}

const CatalogueUser* authenticate(const std::vector<CatalogueUser>& users, const FormFields& form) {
    const auto login = form_value(form, "login");
    const auto password = form_value(form, "senha");
    if (!login || !password) return nullptr;
    for (const auto& user : users) {
        if (scrambled_matches(*login, user.login)) {
            return scrambled_matches(*password, user.password) ? &user : nullptr;
        }
    }
    return nullptr;
}

}  // namespace tarvo::server
