#include "byte_text.h"

#include <cstdint>

namespace tarvo::server {

std::string bytes_to_json_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> json_text_to_bytes(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            continue;
        }
        // Only the two-byte forms of U+0080..U+00FF are bytes.
        if ((b != 0xC2 && b != 0xC3) || i + 1 >= utf8.size()) return std::nullopt;
        const auto next = static_cast<unsigned char>(utf8[i + 1]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        out += static_cast<char>(((b & 0x1F) << 6) | (next & 0x3F));
        ++i;
    }
    return out;
}

std::optional<std::string> base64_decode(std::string_view text) {
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    bool padding = false;
    for (const char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        int value;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        else if (c == '=') {
            padding = true;
            continue;
        } else
            return std::nullopt;
        if (padding) return std::nullopt;  // data after '='
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    // A lone trailing sextet cannot hold a byte.
    if (count >= 6) return std::nullopt;
    return out;
}

}  // namespace tarvo::server
