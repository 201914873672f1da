#pragma once
// The commands tarvo-syncserver runs instead of serving:
//   tarvo-syncserver hash-password            a password hash for the catalogue
//   tarvo-syncserver admin WHAT --state DIR   what the content service knows

#include <string>
#include <vector>

namespace tarvo::server {

// Exit statuses as the program's: 0 done, 2 bad input, 1 failure.
int run_hash_password(const std::vector<std::string>& args);
int run_admin(const std::vector<std::string>& args);

}  // namespace tarvo::server
