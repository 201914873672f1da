#pragma once
// Logins and passwords arrive scrambled: each byte as three decimal digits
// ("abc" is "097098099"). The catalogue holds them in clear text and checks
// what arrives against both forms a conduit may have stored: the unsigned
// one, and the older signed one in which a byte of 128 and above is written
// as a signed number ("-23" for 0xE9).

#include <string>
#include <string_view>
#include <vector>

#include "catalogue.h"
#include "form.h"

namespace tarvo::server {

std::string scramble(std::string_view clear);
std::string scramble_signed(std::string_view clear);

bool scrambled_matches(std::string_view scrambled, std::string_view clear);

// The user whose login and password the form's "login" and "senha" carry;
// null when there is none (unknown login, wrong or missing password).
const CatalogueUser* authenticate(const std::vector<CatalogueUser>& users, const FormFields& form);

}  // namespace tarvo::server
