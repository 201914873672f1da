#include "password_hash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tarvo::server {

namespace {

constexpr int kLogCost = 15;  // N = 32768: 32 MiB and some 50 ms a check
constexpr int kBlock = 8;
constexpr int kParallel = 1;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::vector<unsigned char>& bytes) {
    std::string out;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const unsigned char b : bytes) {
        buffer = (buffer << 8) | b;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += kAlphabet[(buffer >> bits) & 63];
        }
    }
    if (bits > 0) out += kAlphabet[(buffer << (6 - bits)) & 63];
    return out;
}

std::optional<std::vector<unsigned char>> unbase64(std::string_view text) {
    std::vector<unsigned char> out;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '.') c = '+';  // the variant passlib writes
        const char* at = std::char_traits<char>::find(kAlphabet, 64, c);
        if (!at) return std::nullopt;
        buffer = (buffer << 6) | static_cast<std::uint32_t>(at - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

struct Parsed {
    int log_cost = 0, block = 0, parallel = 0;
    std::vector<unsigned char> salt, hash;
};

std::optional<int> number_after(std::string_view field, std::string_view name) {
    if (!field.starts_with(name)) return std::nullopt;
    field.remove_prefix(name.size());
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc{} || end != field.data() + field.size()) return std::nullopt;
    return value;
}

std::optional<Parsed> parse(std::string_view text) {
    constexpr std::string_view kPrefix = "$scrypt$";
    if (!text.starts_with(kPrefix)) return std::nullopt;
    text.remove_prefix(kPrefix.size());
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('$', start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (parts.size() != 3) return std::nullopt;
    std::vector<std::string_view> costs;
    for (std::size_t start = 0;;) {
        const std::size_t end = parts[0].find(',', start);
        costs.push_back(parts[0].substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (costs.size() != 3) return std::nullopt;
    const auto ln = number_after(costs[0], "ln=");
    const auto r = number_after(costs[1], "r=");
    const auto p = number_after(costs[2], "p=");
    auto salt = unbase64(parts[1]);
    auto hash = unbase64(parts[2]);
    // Bounds that keep one check to a sane amount of memory and time.
    if (!ln || !r || !p || *ln < 10 || *ln > 20 || *r < 1 || *r > 32 || *p < 1 || *p > 16 ||
        !salt || salt->size() < 4 || !hash || hash->size() < 16 || hash->size() > 64)
        return std::nullopt;
    return Parsed{*ln, *r, *p, std::move(*salt), std::move(*hash)};
}

bool derive(std::string_view password, const std::vector<unsigned char>& salt, int log_cost,
            int block, int parallel, std::vector<unsigned char>& out) {
    const std::uint64_t n = std::uint64_t{1} << log_cost;
    const std::uint64_t memory =
        128ull * static_cast<std::uint64_t>(block) * n * static_cast<std::uint64_t>(parallel) +
        (1u << 20);
    return EVP_PBE_scrypt(password.data(), password.size(), salt.data(), salt.size(), n,
                          static_cast<std::uint64_t>(block), static_cast<std::uint64_t>(parallel),
                          memory * 2, out.data(), out.size()) == 1;
}

}  // namespace

std::string hash_password(std::string_view password) {
    std::vector<unsigned char> salt(kSaltBytes), hash(kHashBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1 ||
        !derive(password, salt, kLogCost, kBlock, kParallel, hash))
        throw std::runtime_error("OpenSSL could not make a password hash");
    return "$scrypt$ln=" + std::to_string(kLogCost) + ",r=" + std::to_string(kBlock) +
           ",p=" + std::to_string(kParallel) + "$" + base64(salt) + "$" + base64(hash);
}

bool valid_password_hash(std::string_view hash) { return parse(hash).has_value(); }

bool password_matches(std::string_view hash, std::string_view password) {
    const auto parsed = parse(hash);
    if (!parsed) return false;
    std::vector<unsigned char> derived(parsed->hash.size());
    if (!derive(password, parsed->salt, parsed->log_cost, parsed->block, parsed->parallel, derived))
        return false;
    return CRYPTO_memcmp(derived.data(), parsed->hash.data(), derived.size()) == 0;
}

}  // namespace tarvo::server
