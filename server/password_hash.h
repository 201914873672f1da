#pragma once
// Password hashes for the catalogue: scrypt from OpenSSL, written as
//   $scrypt$ln=15,r=8,p=1$<salt>$<hash>
// (salt and hash in unpadded base64), the form other tools write for scrypt,
// so a provider may make them elsewhere too. The cost travels with each
// hash, so it can be raised later without breaking the ones stored.

#include <string>
#include <string_view>

namespace tarvo::server {

// A new hash of the password, with a fresh random salt. Throws
// std::runtime_error when OpenSSL cannot make one.
std::string hash_password(std::string_view password);

// Whether the text is a hash this server can check (its form and cost sane).
bool valid_password_hash(std::string_view hash);

// Whether the password is the one hashed; false for a malformed hash.
bool password_matches(std::string_view hash, std::string_view password);

}  // namespace tarvo::server
