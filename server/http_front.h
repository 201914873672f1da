#pragma once
// The HTTP(S) side of the server: listens, turns each request into a
// Request, asks the answerer, records the exchange, and sends the answer
// with whatever faults it carries. Knows nothing of what the answers mean.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "exchange.h"
#include "metrics.h"
#include "public_address.h"
#include "request_log.h"

namespace httplib {
class Server;
struct Request;
struct Response;
class DataSink;
}  // namespace httplib

namespace tarvo::server {

struct FrontSettings {
    std::string host = "127.0.0.1";
    int port = 0;
    std::optional<std::string> tls_cert;  // both set: HTTPS
    std::optional<std::string> tls_key;
    AddressRules addresses;
    // Answer GET /healthz and /metrics itself (the content service), with
    // counts kept here (shared by the fronts of one process).
    std::shared_ptr<Metrics> metrics;
};

class HttpFront {
public:
    // log may be null. Null and a message in error when TLS material does not load.
    static std::unique_ptr<HttpFront> create(const FrontSettings& settings, Answerer& answerer,
                                             RequestLog* log, std::string& error);
    ~HttpFront();

    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    bool bind(std::string& error);
    int port() const { return port_; }
    std::string url() const;  // "http://127.0.0.1:PORT/"

    // Serves until stop(); false when listening failed.
    bool run();
    // From any thread: stops listening and cuts short every injected wait.
    void stop();

private:
    HttpFront(const FrontSettings& settings, Answerer& answerer, RequestLog* log);

    void handle(const httplib::Request& in, httplib::Response& out, std::string body);
    void send(Response answer, httplib::Response& out);
    // Sends the next piece of a faulty body; false drops the connection.
    bool send_piece(const std::string& body, const Faults& faults, std::size_t offset,
                    httplib::DataSink& sink, bool ends_by_close);
    bool finish(bool result);
    // Waits unless the server is stopping; false when it is.
    bool pause(std::chrono::milliseconds duration);

    FrontSettings settings_;
    Answerer& answerer_;
    RequestLog* log_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    int listen_socket_ = -1;  // the socket httplib listens on, once bound
    std::atomic<std::uint64_t> seq_{0};

    std::mutex stop_mutex_;
    std::condition_variable stop_signal_;
    bool stopping_ = false;
    std::atomic<bool> finished_{false};  // run() has returned
};

}  // namespace tarvo::server
