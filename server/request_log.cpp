#include "request_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include <nlohmann/json.hpp>

#include "byte_text.h"
#include "log_text.h"

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

constexpr const char* kPasswordField = "senha";

// A form text ("a=1&senha=...&b=2") with the password's value as "*".
std::string without_password(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    const std::string key = std::string(kPasswordField) + "=";
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('&', start), text.size());
        const std::string_view field(text.data() + start, end - start);
        // The query may follow a path: "/sync?senha=...".
        const std::size_t mark = field.find('?');
        const std::string_view name_part =
            mark == std::string_view::npos ? field : field.substr(mark + 1);
        if (name_part.starts_with(key))
            out.append(field.substr(0, field.size() - name_part.size())).append(key).append("*");
        else
            out.append(field);
        if (end < text.size()) out += '&';
        start = end + 1;
    }
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
                                             Options options) {
    std::FILE* stream = open_stream(file, options.append, error);
    if (!stream) return nullptr;
    return std::unique_ptr<RequestLog>(new RequestLog(file, stream, options.hide_passwords));
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

std::string RequestLog::format(const Request& request, const Response& response,
                               bool hide_passwords) {
    const auto hidden = [&](const std::string& text) {
        return hide_passwords ? without_password(text) : text;
    };
    FormFields form = request.form;
    if (hide_passwords) {
        for (auto& [name, value] : form) {
            if (name == kPasswordField) value = "*";
        }
    }
    ordered_json line;
    line["seq"] = request.seq;
    line["time"] = utc_time();
    line["client"] = request.client;
    line["method"] = bytes_to_json_text(request.method);
    line["target"] = bytes_to_json_text(hidden(request.target));
    line["path"] = bytes_to_json_text(request.path);
    line["query"] = bytes_to_json_text(hidden(request.query));
    line["version"] = bytes_to_json_text(request.version);
    line["headers"] = pairs_to_json(request.headers);
    line["body_length"] = request.body.size();
    line["body"] = bytes_to_json_text(hidden(request.body));
    line["form"] = pairs_to_json(form);
    line["status"] = response.status;
    line["answered_by"] = response.answered_by;
    // ensure_ascii: every non-ASCII code point as \uXXXX, one line per exchange.
    return line.dump(-1, ' ', true);
}

void RequestLog::record(const Request& request, const Response& response) {
    const std::string text = format(request, response, hide_passwords_) + "\n";
    std::lock_guard lock(mutex_);
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

}  // namespace tarvo::server
