#include "text_utf8.h"

#include <iconv.h>

namespace tarvo::server {

std::string utf8_from_windows_1252(const std::string& bytes) {
    iconv_t cd = ::iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char* to = out.data();
    std::size_t out_left = out.size();
    while (in_left > 0) {
        if (::iconv(cd, &in, &in_left, &to, &out_left) != static_cast<std::size_t>(-1)) break;
        // A byte Windows-1252 leaves undefined: shown as '?'.
        ++in;
        --in_left;
        *to++ = '?';
        --out_left;
    }
    ::iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

}  // namespace tarvo::server
