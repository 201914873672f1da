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
    // Truncates an existing file. Null and a message in error when it cannot be opened.
    static std::unique_ptr<RequestLog> open(const std::filesystem::path& file, std::string& error);
    ~RequestLog();

    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    void record(const Request& request, const Response& response);

    // The line for one exchange, without its line feed.
    static std::string format(const Request& request, const Response& response);

private:
    explicit RequestLog(std::FILE* file) : file_(file) {}

    std::mutex mutex_;
    std::FILE* file_;
};

}  // namespace tarvo::server
