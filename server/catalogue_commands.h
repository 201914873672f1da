#pragma once
// The command elements the content service answers with. The envelope has
// no escapes: values that come from outside are either checked when the
// catalogue loads or cleaned here, and attributes are put in an order the
// conduit's reader reads back exactly, so an answer always reads as
// written. An element that no order makes readable throws
// std::invalid_argument.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::server::commands {

std::string envelope(const std::vector<std::string>& elements);

std::string login_rejected();
std::string device(std::string_view id);
std::string list();
std::string pput(std::string_view url, std::string_view title);
std::string pget(std::string_view db);
std::string rput(std::string_view db, std::uint32_t card, std::uint32_t id, std::string_view data);
std::string rdel(std::string_view db, std::uint32_t card, std::uint32_t id);
// Quotes and angle brackets in the message become apostrophes and blanks.
std::string logmessage(std::string_view message, bool handheld, bool desktop);

// Letters and digits kept, every other byte as %xx: what the conduit's
// record decoding expects.
std::string full_url_encode(std::string_view bytes);

}  // namespace tarvo::server::commands
