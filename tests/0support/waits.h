// Waiting for what another process does, and counting what it said. Every
// wait is bounded (a minute unless told), so a test that waits in vain fails
// instead of hanging; none of them is a timing assertion.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

namespace tarvo::test {

// How often `what` occurs in `text`, overlaps included.
std::size_t CountOf(std::string_view text, std::string_view what);
// Polls `done` until it holds; false when it never did within `limit`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60));
// Waits until `file` holds `text` at least `times` times.
bool WaitForText(const std::filesystem::path& file, std::string_view text, std::size_t times = 1);

}  // namespace tarvo::test
