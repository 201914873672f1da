#include "request_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include <nlohmann/json.hpp>

#include "byte_text.h"

namespace tarvo::server {

namespace {

using nlohmann::ordered_json;

template <typename Pairs>
ordered_json pairs_to_json(const Pairs& pairs) {
    ordered_json list = ordered_json::array();
    for (const auto& [name, value] : pairs)
        list.push_back(ordered_json::array({bytes_to_json_text(name), bytes_to_json_text(value)}));
    return list;
}

std::string utc_now() {
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

}  // namespace

std::FILE* RequestLog::open_stream(const std::filesystem::path& file, bool append,
                                   std::string& error) {
    const int fd =
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0600);
    if (fd < 0) {
        error = "cannot open log " + file.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    // An existing file keeps its mode through O_CREAT; make it private too.
    if (::fchmod(fd, 0600) != 0) {
        error = "cannot protect log " + file.string() + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, append ? "a" : "w");
    if (!stream) {
        error = "cannot open log " + file.string() + ": " + std::strerror(errno);
        ::close(fd);
    }
    return stream;
}

std::unique_ptr<RequestLog> RequestLog::open(const std::filesystem::path& file, std::string& error,
                                             bool append) {
    std::FILE* stream = open_stream(file, append, error);
    if (!stream) return nullptr;
    return std::unique_ptr<RequestLog>(new RequestLog(file, stream));
}

bool RequestLog::reopen(std::string& error) {
    std::FILE* stream = open_stream(path_, true, error);
    if (!stream) return false;
    std::lock_guard lock(mutex_);
    std::fclose(file_);
    file_ = stream;
    return true;
}

RequestLog::~RequestLog() { std::fclose(file_); }

std::string RequestLog::format(const Request& request, const Response& response) {
    ordered_json line;
    line["seq"] = request.seq;
    line["time"] = utc_now();
    line["method"] = bytes_to_json_text(request.method);
    line["target"] = bytes_to_json_text(request.target);
    line["path"] = bytes_to_json_text(request.path);
    line["query"] = bytes_to_json_text(request.query);
    line["version"] = bytes_to_json_text(request.version);
    line["headers"] = pairs_to_json(request.headers);
    line["body_length"] = request.body.size();
    line["body"] = bytes_to_json_text(request.body);
    line["form"] = pairs_to_json(request.form);
    line["status"] = response.status;
    line["answered_by"] = response.answered_by;
    // ensure_ascii: every non-ASCII code point as \uXXXX, one line per exchange.
    return line.dump(-1, ' ', true);
}

void RequestLog::record(const Request& request, const Response& response) {
    const std::string text = format(request, response) + "\n";
    std::lock_guard lock(mutex_);
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

}  // namespace tarvo::server
