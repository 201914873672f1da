#pragma once
// The check that several service processes on one state (a folder, or a
// PostgreSQL database) behave as one: 25 handhelds log in twice each, all
// at once, through two processes and three ports (HTTP and HTTPS in one
// process), then every device asks for its list through all three at once.
// Every handheld must get one id of its own and every device the change
// set exactly once.
#include <filesystem>
#include <string>

namespace content_service_test {

// root/catalogue: one user "ana" (password "pw"), a module News, Notas
// collected and one change set for it.
void write_shared_catalogue(const std::filesystem::path& root);
void expect_one_id_per_handheld_and_one_send(const std::filesystem::path& root, const std::string& state);

// The device id in a login's answer; a list form of "ana" for a device.
std::string device_in(const std::string& body);
std::string list_form(const std::string& device);

}  // namespace content_service_test
