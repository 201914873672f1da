// The envelope reader on its own, for the engine and for tools that feed it
// arbitrary pages.
#pragma once

#include <deque>
#include <string>
#include <string_view>

namespace tarvo::engine {

// Appends the command texts of the "<tarvoconduit>" envelope of `page` to
// `commands`, in page order. Reads the page once; stops at a zero byte.
void ReadEnvelopeCommands(std::string_view page, std::deque<std::string>& commands);

}  // namespace tarvo::engine
