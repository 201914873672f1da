#include "waits.h"

#include <chrono>
#include <thread>

#include "files.h"

namespace tarvo::test {

std::size_t CountOf(std::string_view text, std::string_view what) {
  if (what.empty()) return 0;
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool WaitForText(const std::filesystem::path& file, std::string_view text, std::size_t times) {
  return WaitUntil([&] { return CountOf(ReadFile(file), text) >= times; });
}

}  // namespace tarvo::test
