#pragma once
// Download addresses for editions. The conduit fetches a pput address with
// no credentials, so the address itself carries the right to the file: it
// names the file and its edition, says until when it holds, and is signed
// with a key only the service knows:
//   /files/<edition>/<expires>/<signature>/<file>
// The file name comes last because the conduit saves the download under
// the address's last part.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo::server {

struct EditionLink {
    std::string file;
    std::string edition;
};

class EditionLinks {
public:
    // key: the secret the signatures are made with (any bytes).
    EditionLinks(std::string key, std::chrono::seconds lifetime);

    // The path of a link made at `now` (Unix seconds).
    std::string path(const EditionLink& link, std::int64_t now) const;
    // What a request path names, when its signature holds and it has not
    // expired at `now`; nothing otherwise.
    std::optional<EditionLink> check(std::string_view path, std::int64_t now) const;

    // A new random key, as text, for a state that has none yet.
    static std::string new_key();

private:
    std::string signature(const EditionLink& link, std::string_view expires) const;

    std::string key_;
    std::chrono::seconds lifetime_;
};

}  // namespace tarvo::server
