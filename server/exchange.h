#pragma once
// One request as the server received it and the answer it gives, plus the
// interface that separates the HTTP front (listening, logging, faults) from
// the logic that decides what to answer. The scripted mode is one answerer;
// a content-catalogue mode is meant to be another.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "form.h"

namespace tarvo::server {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct Request {
    std::uint64_t seq = 0;  // 1 for the first request this server received
    std::string method;
    std::string target;   // request target exactly as sent
    std::string path;     // percent-decoded path, without the query
    std::string query;    // raw text after '?', empty without one
    std::string version;  // "HTTP/1.0", "HTTP/1.1"
    HeaderList headers;
    std::string body;  // bytes as received
    FormFields form;   // body fields, then query fields, decoded

    std::string client;  // the client's address (behind a trusted proxy, the one it reports)

    // Where this server listens, so answers can point back at it.
    std::string scheme;  // "http" or "https"
    std::string host;
    int port = 0;
    // Where clients reach the service: "scheme://host[:port][/path]", no
    // closing slash.
    std::string base;
};

// Misbehaviour injected into an answer.
struct Faults {
    std::chrono::milliseconds delay{0};        // before the status line
    std::optional<std::size_t> close_after;    // body bytes sent, then the connection is dropped
    bool no_content_length = false;            // no length header; the end of the body is the close
    std::size_t pause_after = 0;               // body bytes sent before the pause
    std::chrono::milliseconds pause{0};        // stall once, mid-body
    std::size_t chunk_bytes = 0;               // send the body in pieces of this size...
    std::chrono::milliseconds chunk_delay{0};  // ...with this wait between them

    bool streams() const {
        return close_after || no_content_length || pause.count() > 0 || chunk_bytes > 0;
    }
};

struct Response {
    int status = 200;
    std::string content_type = "text/html";
    HeaderList headers;
    std::string body;
    Faults faults;
    std::string
        answered_by;  // what produced it, for the request log ("rule 2", "file", "unmatched")
};

class Answerer {
public:
    virtual ~Answerer() = default;
    // Called from several connection threads at once. Never throws.
    virtual Response answer(const Request& request) = 0;
    // Whether it can answer (its state reachable); for /healthz.
    virtual bool healthy() { return true; }
    // Metrics of its own in the Prometheus text format, for /metrics.
    virtual std::string metrics() { return {}; }
};

}  // namespace tarvo::server
