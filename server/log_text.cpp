#include "log_text.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tarvo::server {

std::string utc_time() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    char out[40];
    std::snprintf(out, sizeof out, "%s.%03dZ", text, static_cast<int>(millis));
    return out;
}

std::string utc_text(std::int64_t seconds, const char* format) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

std::string log_field(std::string_view bytes) {
    if (bytes.empty()) return "-";
    std::string plain;
    bool quote = false;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x21 || b > 0x7E || c == '"' || c == '\\') {
            quote = true;
            if (c == ' ') {
                plain += ' ';
                continue;
            }
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", b);
            plain += escape;
        } else {
            plain += c;
        }
    }
    return quote ? "\"" + plain + "\"" : plain;
}

}  // namespace tarvo::server
