#pragma once
// A conversation script: an ordered list of rules, each saying which
// requests it answers and how. Loaded once at start; any fault in it is
// reported as one line naming the rule and the key.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "exchange.h"

namespace tarvo::server {

class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every condition given must hold.
struct RequestMatch {
    std::optional<std::string> method;     // compared without regard to case
    std::optional<std::string> path;       // exact; a trailing '*' makes it a prefix
    std::optional<std::string> cmd;        // the "cmd" form field
    FormFields form;                       // further fields that must have these values
    std::optional<std::uint64_t> request;  // the request's position (1 = first)
};

// What to answer. Unset parts come from the answer the server would give
// without the rule (the file for /files/ paths, else the unmatched answer),
// so a rule may only add faults to a download.
struct AnswerSpec {
    std::optional<int> status;
    std::optional<std::string> body;  // bytes
    bool body_is_template = false;
    std::optional<std::filesystem::path> file;
    std::optional<std::string> content_type;
    HeaderList headers;
    Faults faults;

    bool has_content() const { return body.has_value() || file.has_value(); }
};

struct Rule {
    RequestMatch match;
    AnswerSpec answer;
    std::optional<std::uint64_t> times;  // unset: any number of times
};

struct Script {
    std::vector<Rule> rules;
    std::optional<AnswerSpec> unmatched;
};

// Relative "file" names are taken from base_dir. Throws ScriptError.
Script parse_script(std::string_view json_text, const std::filesystem::path& base_dir);
Script load_script(const std::filesystem::path& file);

// Whether the rule's conditions hold for the request (uses are not counted here).
bool matches(const RequestMatch& match, const Request& request);

}  // namespace tarvo::server
