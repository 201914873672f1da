#include "http_front.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "template_text.h"

namespace tarvo::server {

namespace {

constexpr std::size_t kMaxBody = 256u << 20;  // larger than any handheld holds
constexpr std::size_t kConnectionThreads = 128;
// httplib listens with a queue of 5, which overflows as soon as a few dozen
// clients connect at once; each overflow costs a client a one-second SYN
// retry. The kernel caps the queue at net.core.somaxconn.
constexpr int kListenBacklog = 1024;

// httplib files the connection's addresses among the request headers.
bool is_pseudo_header(const std::string& name) {
    return name == "LOCAL_ADDR" || name == "LOCAL_PORT" || name == "REMOTE_ADDR" ||
           name == "REMOTE_PORT";
}

bool is_form(const httplib::Request& in) {
    if (!in.has_header("Content-Type")) return true;
    return in.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded");
}

}  // namespace

HttpFront::HttpFront(const FrontSettings& settings, Answerer& answerer, RequestLog* log)
    : settings_(settings), answerer_(answerer), log_(log) {}

HttpFront::~HttpFront() = default;

std::unique_ptr<HttpFront> HttpFront::create(const FrontSettings& settings, Answerer& answerer,
                                             RequestLog* log, std::string& error) {
    std::unique_ptr<HttpFront> front(new HttpFront(settings, answerer, log));
    if (settings.tls_cert && settings.tls_key) {
        auto tls = std::make_unique<httplib::SSLServer>(settings.tls_cert->c_str(),
                                                        settings.tls_key->c_str());
        if (!tls->is_valid()) {
            error = "cannot load TLS certificate " + *settings.tls_cert + " with key " +
                    *settings.tls_key;
            return nullptr;
        }
        front->server_ = std::move(tls);
    } else {
        front->server_ = std::make_unique<httplib::Server>();
    }

    httplib::Server& server = *front->server_;
    HttpFront* self = front.get();
    // A kept-alive connection holds its thread while idle, and injected delays
    // hold one each: enough threads that a few dozen clients never queue.
    server.new_task_queue = [] { return new httplib::ThreadPool(kConnectionThreads); };
    server.set_payload_max_length(kMaxBody);
    server.set_socket_options([self](socket_t sock) {
        // httplib's default adds SO_REUSEPORT, with which a second server on
        // the same port starts too and takes half the requests. SO_REUSEADDR
        // alone only lets a restart bind while old connections linger.
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        self->listen_socket_ = sock;  // the last one offered is the one that was bound
    });
    server.Get(".*", [self](const httplib::Request& in, httplib::Response& out) {
        self->handle(in, out, {});
    });
    // With a content reader the body reaches us untouched: the plain handlers
    // would parse form bodies themselves and refuse those above 8 KiB.
    auto with_body = [self](const httplib::Request& in, httplib::Response& out,
                            const httplib::ContentReader& reader) {
        std::string body;
        if (in.is_multipart_form_data()) {
            out.status = 400;
            out.set_content("multipart bodies are not supported\n", "text/plain");
            return;
        }
        reader([&](const char* data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        self->handle(in, out, std::move(body));
    };
    server.Post(".*", with_body);
    server.Put(".*", with_body);
    server.Patch(".*", with_body);
    server.Delete(".*", with_body);
    return front;
}

bool HttpFront::bind(std::string& error) {
    errno = 0;
    if (settings_.port == 0) {
        port_ = server_->bind_to_any_port(settings_.host);
    } else if (server_->bind_to_port(settings_.host, settings_.port)) {
        port_ = settings_.port;
    } else {
        port_ = -1;
    }
    if (port_ <= 0) {
        const int why = errno;
        error = "cannot listen on " + settings_.host + " port " + std::to_string(settings_.port);
        if (why != 0) error += std::string(": ") + std::strerror(why);
        return false;
    }
    // Listening again on a listening socket only changes its queue length.
    if (listen_socket_ >= 0) ::listen(listen_socket_, kListenBacklog);
    return true;
}

std::string HttpFront::url() const {
    const bool tls = settings_.tls_cert.has_value();
    return base_address(tls ? "https" : "http", settings_.host, port_) + "/";
}

bool HttpFront::run() {
    {
        std::lock_guard lock(stop_mutex_);
        if (stopping_) return finish(true);
    }
    return finish(server_->listen_after_bind());
}

bool HttpFront::finish(bool result) {
    finished_ = true;
    return result;
}

void HttpFront::stop() {
    {
        std::lock_guard lock(stop_mutex_);
        stopping_ = true;
    }
    stop_signal_.notify_all();
    // httplib ignores a stop that comes before its listening loop has
    // started, so wait for the loop (or for run() to have given up).
    for (int i = 0; i < 10000 && !server_->is_running() && !finished_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server_->stop();
}

bool HttpFront::pause(std::chrono::milliseconds duration) {
    // No wait to cut short: a request under way at a stop is answered in full.
    if (duration.count() <= 0) return true;
    std::unique_lock lock(stop_mutex_);
    stop_signal_.wait_for(lock, duration, [this] { return stopping_; });
    return !stopping_;
}

void HttpFront::handle(const httplib::Request& in, httplib::Response& out, std::string body) {
    const auto started = std::chrono::steady_clock::now();
    Request request;
    request.seq = ++seq_;
    request.method = in.method;
    request.target = in.target;
    request.path = in.path;
    if (const auto mark = in.target.find('?'); mark != std::string::npos)
        request.query = in.target.substr(mark + 1);
    request.version = in.version;
    for (const auto& [name, value] : in.headers) {
        if (!is_pseudo_header(name)) request.headers.emplace_back(name, value);
    }
    request.body = std::move(body);
    if (is_form(in)) request.form = parse_form(request.body);
    const FormFields query_fields = parse_form(request.query);
    request.form.insert(request.form.end(), query_fields.begin(), query_fields.end());
    request.client = in.remote_addr;
    request.scheme = settings_.tls_cert ? "https" : "http";
    request.host = settings_.host;
    request.port = port_;
    resolve_addresses(request, settings_.addresses);

    Metrics* metrics = settings_.metrics.get();
    if (metrics && request.method == "GET" &&
        (request.path == "/healthz" || request.path == "/metrics")) {
        out.status = 200;
        try {
            if (request.path == "/metrics") {
                out.set_content(metrics->render(answerer_.metrics()), "text/plain; version=0.0.4");
            } else if (answerer_.healthy()) {
                out.set_content("ok\n", "text/plain");
            } else {
                out.status = 503;
                out.set_content("the state cannot be reached\n", "text/plain");
            }
        } catch (...) {
            out.status = 503;
            out.set_content("unavailable\n", "text/plain");
        }
        return;
    }

    Response answer;
    try {
        answer = answerer_.answer(request);
    } catch (...) {
        answer.status = 500;
        answer.content_type = "text/plain";
        answer.body = "server fault\n";
        answer.answered_by = "error";
    }
    if (log_) log_->record(request, answer);
    if (metrics)
        metrics->count(Metrics::command_of(request), answer.status,
                       std::chrono::steady_clock::now() - started);
    send(std::move(answer), out);
}

void HttpFront::send(Response answer, httplib::Response& out) {
    out.status = answer.status;
    for (const auto& [name, value] : answer.headers) out.set_header(name, value);
    if (!pause(answer.faults.delay)) {
        out.status = 503;
        out.set_content("server stopping\n", "text/plain");
        return;
    }
    const Faults faults = answer.faults;
    if (!faults.streams() || (answer.body.empty() && !faults.no_content_length)) {
        out.set_content(answer.body, answer.content_type);
        return;
    }

    auto body = std::make_shared<const std::string>(std::move(answer.body));
    if (faults.no_content_length) {
        // Without a length, and not chunked: the client learns the end from the close.
        out.set_header("Connection", "close");
        out.set_content_provider(answer.content_type,
                                 [this, body, faults](std::size_t offset, httplib::DataSink& sink) {
                                     return send_piece(*body, faults, offset, sink, true);
                                 });
    } else {
        out.set_content_provider(
            body->size(), answer.content_type,
            [this, body, faults](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                return send_piece(*body, faults, offset, sink, false);
            });
    }
}

bool HttpFront::send_piece(const std::string& body, const Faults& faults, std::size_t offset,
                           httplib::DataSink& sink, bool ends_by_close) {
    if (faults.close_after && offset >= *faults.close_after && offset < body.size()) return false;
    // A failed provider is what makes httplib drop a kept-alive connection,
    // and without a length the close is the end of the body.
    if (offset >= body.size()) return !ends_by_close;

    std::size_t end = body.size();
    if (faults.chunk_bytes > 0) end = std::min(end, offset + faults.chunk_bytes);
    if (faults.pause.count() > 0 && offset < faults.pause_after)
        end = std::min(end, faults.pause_after);
    if (faults.close_after) end = std::min(end, *faults.close_after);

    // Piece boundaries fall on pause_after, so this offset is met exactly once.
    if (faults.pause.count() > 0 && offset == faults.pause_after && !pause(faults.pause))
        return false;
    if (faults.chunk_bytes > 0 && offset > 0 && !pause(faults.chunk_delay)) return false;

    return sink.write(body.data() + offset, end - offset);
}

}  // namespace tarvo::server
