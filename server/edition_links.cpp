#include "edition_links.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <charconv>
#include <stdexcept>
#include <vector>

#include "file_store.h"

namespace tarvo::server {

namespace {

std::string hex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

bool digits_only(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

EditionLinks::EditionLinks(std::string key, std::chrono::seconds lifetime)
    : key_(std::move(key)), lifetime_(lifetime) {}

std::string EditionLinks::new_key() {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes");
    return hex(bytes, sizeof bytes);
}

std::string EditionLinks::signature(const EditionLink& link, std::string_view expires) const {
    // Fields joined by a byte none of them can hold, so no two links sign alike.
    std::string message = link.file;
    message += '\n';
    message += link.edition;
    message += '\n';
    message += expires;
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac, &size);
    return hex(mac, 16);  // 128 bits
}

std::string EditionLinks::path(const EditionLink& link, std::int64_t now) const {
    const std::string expires = std::to_string(now + lifetime_.count());
    return std::string(FileStore::kPrefix) + link.edition + "/" + expires + "/" +
           signature(link, expires) + "/" + link.file;
}

std::optional<EditionLink> EditionLinks::check(std::string_view path, std::int64_t now) const {
    if (!path.starts_with(FileStore::kPrefix)) return std::nullopt;
    path.remove_prefix(FileStore::kPrefix.size());
    std::vector<std::string_view> parts;
    while (parts.size() < 3) {
        const auto slash = path.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        parts.push_back(path.substr(0, slash));
        path.remove_prefix(slash + 1);
    }
    const std::string_view edition = parts[0], expires = parts[1], given = parts[2];
    // The file is one plain name, as the catalogue requires.
    if (path.empty() || path.find('/') != std::string_view::npos || !digits_only(edition) ||
        !digits_only(expires) || expires.size() > 18)
        return std::nullopt;
    EditionLink link{std::string(path), std::string(edition)};
    const std::string wanted = signature(link, expires);
    if (given.size() != wanted.size() ||
        CRYPTO_memcmp(given.data(), wanted.data(), wanted.size()) != 0)
        return std::nullopt;
    std::int64_t until = 0;
    std::from_chars(expires.data(), expires.data() + expires.size(), until);
    if (until < now) return std::nullopt;
    return link;
}

}  // namespace tarvo::server
