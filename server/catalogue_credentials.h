#pragma once
// Logins and passwords arrive scrambled: each byte as three decimal digits
// ("abc" is "097098099"). The catalogue holds them in clear text and checks
// what arrives against both forms a conduit may have stored: the unsigned
// one, and the older signed one in which a byte of 128 and above is written
// as a signed number ("-23" for 0xE9). A user's password may also be kept
// as a hash (password_hash.h): then what arrives is unscrambled and checked
// against the hash, and a match is remembered so the requests after the
// login do not pay for the hash again.

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "catalogue.h"
#include "form.h"

namespace tarvo::server {

std::string scramble(std::string_view clear);
std::string scramble_signed(std::string_view clear);

bool scrambled_matches(std::string_view scrambled, std::string_view clear);

// The clear texts a scrambled text can stand for, in either form (a few at
// most: the signed form is not always read one way only).
std::vector<std::string> unscramble(std::string_view scrambled);

// Passwords found to match their hash, remembered as a keyed digest of what
// arrived. Thread-safe.
class VerifiedPasswords {
public:
    VerifiedPasswords();
    bool contains(const CatalogueUser& user, std::string_view scrambled) const;
    void add(const CatalogueUser& user, std::string_view scrambled);

private:
    std::string key(const CatalogueUser& user, std::string_view scrambled) const;

    std::string secret_;
    mutable std::mutex mutex_;
    std::unordered_set<std::string> known_;
};

// The user whose login and password the form's "login" and "senha" carry;
// null when there is none (unknown login, wrong or missing password).
const CatalogueUser* authenticate(const std::vector<CatalogueUser>& users, const FormFields& form,
                                  VerifiedPasswords* verified = nullptr);

// The login a form names, in clear when it reads as scrambled; for logs
// and the count of wrong passwords.
std::string login_named(const FormFields& form);

}  // namespace tarvo::server
