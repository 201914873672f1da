#include "serial_line.h"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace tarvo::test {

SerialLine::SerialLine() {
  for (const char* socat : {"/usr/bin/socat", "/bin/socat"}) {
    if (!std::filesystem::exists(socat)) continue;
    char pattern[] = "/tmp/tarvo-serial-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) break;
    dir_ = pattern;
    const std::string a = (dir_ / "desktop").string(), b = (dir_ / "handheld").string();
    socat_ = std::make_unique<RunningProgram>(
        socat, std::vector<std::string>{"pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b},
        std::map<std::string, std::string>{});
    for (int i = 0; i < 200 && !(std::filesystem::exists(a) && std::filesystem::exists(b)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!std::filesystem::exists(a) || !std::filesystem::exists(b)) {
      why_ = "socat made no pseudo-terminal pair";
      return;
    }
    desktop_ = std::filesystem::canonical(a).string();
    handheld_ = std::filesystem::canonical(b).string();
    return;
  }
  if (why_.empty()) why_ = "socat is not installed";
}

SerialLine::~SerialLine() {
  socat_.reset();
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

}  // namespace tarvo::test
