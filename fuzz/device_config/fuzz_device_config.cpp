// device.conf text: parsed or refused in one line, and the handheld's clock
// computed from whatever is accepted without overflow.
#include <cstdint>
#include <ctime>
#include <string>

#include "folder/device_config.h"
#include "pdb/palm_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  hotsync::detail::DeviceConfig config;
  std::string error;
  if (!hotsync::detail::parseDeviceConfig(text, &config, &error)) {
    if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  // As the handheld does: the desktop's clock plus the offset, in Palm time.
  const int64_t now = static_cast<int64_t>(std::time(nullptr)) + config.clockOffset;
  volatile uint32_t palm = pdb::palmSecondsAt(now);
  (void)palm;
  return 0;
}
