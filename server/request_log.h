#pragma once
// --log FILE: one JSON object per line for every request, written and
// flushed before the answer goes out, so a test can read it at once.
// Text from the wire is bytes: every string in a line carries them as code
// points U+0000..U+00FF (see byte_text.h), and the line itself is ASCII.
// The file is created for its owner only: requests carry credentials.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "exchange.h"

namespace tarvo::server {

class RequestLog {
public:
    struct Options {
        bool append = false;          // keep what an existing file holds
        bool hide_passwords = false;  // the "senha" field's value written as "*"
    };
    // Null and a message in error when it cannot be opened.
    static std::unique_ptr<RequestLog> open(const std::filesystem::path& file, std::string& error,
                                            Options options);
    static std::unique_ptr<RequestLog> open(const std::filesystem::path& file, std::string& error) {
        return open(file, error, Options{});
    }
    ~RequestLog();

    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    void record(const Request& request, const Response& response);
    // Opens the file by its name again, appending: after a log rotation the
    // lines go to the new file. The old one stays in use when it fails.
    bool reopen(std::string& error);

    // The line for one exchange, without its line feed.
    static std::string format(const Request& request, const Response& response,
                              bool hide_passwords = false);

private:
    RequestLog(std::filesystem::path path, std::FILE* file, bool hide)
        : path_(std::move(path)), hide_passwords_(hide), file_(file) {}
    static std::FILE* open_stream(const std::filesystem::path& file, bool append,
                                  std::string& error);

    const std::filesystem::path path_;
    const bool hide_passwords_;
    std::mutex mutex_;
    std::FILE* file_;
};

}  // namespace tarvo::server
