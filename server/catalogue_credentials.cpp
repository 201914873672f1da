#include "catalogue_credentials.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "password_hash.h"

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

namespace {

int digit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

// The byte a token of 3 or 4 characters stands for: "ddd" (0..255), and in
// the signed form "0-d", "-dd" and "-1dd" (down to -128).
std::optional<char> token_byte(std::string_view t) {
    int value = 0;
    if (t.size() == 3 && digit(t[0]) >= 0 && digit(t[1]) >= 0 && digit(t[2]) >= 0)
        value = digit(t[0]) * 100 + digit(t[1]) * 10 + digit(t[2]);
    else if (t.size() == 3 && t[0] == '0' && t[1] == '-' && digit(t[2]) > 0)
        value = -digit(t[2]);
    else if (t.size() == 3 && t[0] == '-' && digit(t[1]) > 0 && digit(t[2]) >= 0)
        value = -(digit(t[1]) * 10 + digit(t[2]));
    else if (t.size() == 4 && t[0] == '-' && t[1] == '1' && digit(t[2]) >= 0 && digit(t[3]) >= 0)
        value = -(100 + digit(t[2]) * 10 + digit(t[3]));
    else
        return std::nullopt;
    if (value > 255 || value < -128) return std::nullopt;
    return static_cast<char>(static_cast<unsigned char>(value & 0xFF));
}

void unscramble_from(std::string_view rest, std::string& so_far, std::vector<std::string>& out) {
    constexpr std::size_t kMostReadings = 4;
    if (out.size() >= kMostReadings) return;
    if (rest.empty()) {
        if (std::find(out.begin(), out.end(), so_far) == out.end()) out.push_back(so_far);
        return;
    }
    for (const std::size_t length : {std::size_t{3}, std::size_t{4}}) {
        if (rest.size() < length) break;
        if (const auto byte = token_byte(rest.substr(0, length))) {
            so_far.push_back(*byte);
            unscramble_from(rest.substr(length), so_far, out);
            so_far.pop_back();
        }
    }
}

}  // namespace

std::vector<std::string> unscramble(std::string_view scrambled) {
    std::vector<std::string> out;
    std::string so_far;
    if (!scrambled.empty()) unscramble_from(scrambled, so_far, out);
    return out;
}

VerifiedPasswords::VerifiedPasswords() : secret_(32, '\0') {
    RAND_bytes(reinterpret_cast<unsigned char*>(secret_.data()), static_cast<int>(secret_.size()));
}

std::string VerifiedPasswords::key(const CatalogueUser& user, std::string_view scrambled) const {
    // The hash is part of the key, so a new password in a reloaded
    // catalogue never matches what the old one accepted.
    std::string message = user.login + '\0' + user.password_hash + '\0' + std::string(scrambled);
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac, &size);
    return std::string(reinterpret_cast<const char*>(mac), size);
}

bool VerifiedPasswords::contains(const CatalogueUser& user, std::string_view scrambled) const {
    const std::string k = key(user, scrambled);
    std::lock_guard lock(mutex_);
    return known_.contains(k);
}

void VerifiedPasswords::add(const CatalogueUser& user, std::string_view scrambled) {
    constexpr std::size_t kMost = 100000;
    const std::string k = key(user, scrambled);
    std::lock_guard lock(mutex_);
    if (known_.size() >= kMost) known_.clear();  // checked again, at a hash's price
    known_.insert(k);
}

namespace {

bool password_of(const CatalogueUser& user, const std::string& scrambled,
                 VerifiedPasswords* verified) {
    if (user.password_hash.empty()) return scrambled_matches(scrambled, user.password);
    if (verified && verified->contains(user, scrambled)) return true;
    for (const std::string& clear : unscramble(scrambled)) {
        if (password_matches(user.password_hash, clear)) {
            if (verified) verified->add(user, scrambled);
            return true;
        }
    }
    return false;
}

}  // namespace

const CatalogueUser* authenticate(const std::vector<CatalogueUser>& users, const FormFields& form,
                                  VerifiedPasswords* verified) {
    const auto login = form_value(form, "login");
    const auto password = form_value(form, "senha");
    if (!login || !password) return nullptr;
    for (const auto& user : users) {
        if (scrambled_matches(*login, user.login))
            return password_of(user, *password, verified) ? &user : nullptr;
    }
    return nullptr;
}

std::string login_named(const FormFields& form) {
    const std::string login = form_value(form, "login").value_or("");
    const auto readings = unscramble(login);
    return readings.empty() ? login : readings.front();
}

}  // namespace tarvo::server
