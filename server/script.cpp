#include "script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>

#include <nlohmann/json.hpp>

#include "byte_text.h"
#include "file_store.h"
#include "template_text.h"

namespace tarvo::server {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const std::initializer_list<std::string_view> kAnswerKeys = {
    "status",        "body",         "body_b64",
    "file",          "content_type", "headers",
    "delay_ms",      "close_after",  "no_content_length",
    "pause_after",   "pause_ms",     "chunk_bytes",
    "chunk_delay_ms"};
const std::initializer_list<std::string_view> kMatchKeys = {"method", "path", "cmd", "form",
                                                            "request"};

// Longest wait a script may ask for: longer ones are typing mistakes, and
// past the clock's range they would not be waited at all.
constexpr std::uint64_t kMaxWaitMs = 3'600'000;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw ScriptError(where + ": " + what);
}

// A key as it can be shown on one line: control bytes (a zero, a line
// break) as \u escapes.
std::string shown(const std::string& key) {
    std::string out;
    for (const char c : key) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

// Where a text stops being JSON, as "line L, column C", for faults that
// nlohmann reports without a place (a number too large for a double).
class FaultLocator : public nlohmann::json_sax<json> {
public:
    std::string place;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception&) override {
        place = "byte " + std::to_string(position) + " (\"" + shown(token) + "\")";
        return false;
    }
};

void check_keys(const json& object, const std::string& where,
                std::initializer_list<std::initializer_list<std::string_view>> allowed) {
    for (const auto& item : object.items()) {
        bool ok = false;
        for (const auto& keys : allowed)
            ok = ok || std::find(keys.begin(), keys.end(), item.key()) != keys.end();
        if (!ok) fail(where, "unknown key \"" + shown(item.key()) + "\"");
    }
}

std::string text(const json& object, const char* key, const std::string& where) {
    const json& value = object.at(key);
    if (!value.is_string()) fail(where, std::string(key) + " must be a string");
    return value.get<std::string>();
}

// A JSON string whose characters are bytes (U+0000..U+00FF).
std::string bytes(const json& object, const char* key, const std::string& where) {
    auto converted = json_text_to_bytes(text(object, key, where));
    if (!converted)
        fail(where,
             std::string(key) + " holds a character above U+00FF (use body_b64 for raw bytes)");
    return *converted;
}

std::uint64_t count(const json& object, const char* key, const std::string& where) {
    const json& value = object.at(key);
    if (!value.is_number_unsigned()) fail(where, std::string(key) + " must be a whole number >= 0");
    return value.get<std::uint64_t>();
}

std::chrono::milliseconds wait_ms(const json& object, const char* key, const std::string& where) {
    const std::uint64_t ms = count(object, key, where);
    if (ms > kMaxWaitMs)
        fail(where,
             std::string(key) + " must be at most " + std::to_string(kMaxWaitMs) + " (an hour)");
    return std::chrono::milliseconds(ms);
}

std::string header_safe(std::string value, const std::string& where) {
    if (value.find_first_of("\r\n") != std::string::npos)
        fail(where, "header text holds a line break");
    if (std::any_of(value.begin(), value.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; }))
        fail(where, "header text holds a control character");
    return value;
}

AnswerSpec parse_answer(const json& object, const fs::path& base_dir, const std::string& where) {
    AnswerSpec answer;
    const int contents = static_cast<int>(object.contains("body")) +
                         static_cast<int>(object.contains("body_b64")) +
                         static_cast<int>(object.contains("file"));
    if (contents > 1) fail(where, "give only one of body, body_b64 and file");

    if (object.contains("status")) {
        const auto status = count(object, "status", where);
        if (status < 100 || status > 599) fail(where, "status must lie in 100..599");
        answer.status = static_cast<int>(status);
    }
    if (object.contains("body")) {
        answer.body = bytes(object, "body", where);
        answer.body_is_template = true;
        if (auto unknown = unknown_placeholder(*answer.body))
            fail(where, "unknown placeholder {{" + *unknown + "}}");
    }
    if (object.contains("body_b64")) {
        answer.body = base64_decode(text(object, "body_b64", where));
        if (!answer.body) fail(where, "body_b64 is not valid base64");
    }
    if (object.contains("file")) {
        fs::path file = text(object, "file", where);
        answer.file = file.is_absolute() ? file : base_dir / file;
    }
    if (object.contains("content_type"))
        answer.content_type = header_safe(text(object, "content_type", where), where);
    if (object.contains("headers")) {
        const json& headers = object.at("headers");
        if (!headers.is_object()) fail(where, "headers must be an object");
        for (const auto& item : headers.items()) {
            if (!item.value().is_string())
                fail(where, "header " + shown(item.key()) + " must be a string");
            answer.headers.emplace_back(header_safe(item.key(), where),
                                        header_safe(item.value().get<std::string>(), where));
        }
    }

    Faults& faults = answer.faults;
    if (object.contains("delay_ms")) faults.delay = wait_ms(object, "delay_ms", where);
    if (object.contains("close_after")) faults.close_after = count(object, "close_after", where);
    if (object.contains("no_content_length")) {
        if (!object.at("no_content_length").is_boolean())
            fail(where, "no_content_length must be true or false");
        faults.no_content_length = object.at("no_content_length").get<bool>();
    }
    if (object.contains("pause_after")) faults.pause_after = count(object, "pause_after", where);
    if (object.contains("pause_ms")) faults.pause = wait_ms(object, "pause_ms", where);
    if (object.contains("chunk_bytes")) faults.chunk_bytes = count(object, "chunk_bytes", where);
    if (object.contains("chunk_delay_ms"))
        faults.chunk_delay = wait_ms(object, "chunk_delay_ms", where);
    if (faults.chunk_delay.count() > 0 && faults.chunk_bytes == 0)
        fail(where, "chunk_delay_ms needs chunk_bytes");
    return answer;
}

RequestMatch parse_match(const json& object, const std::string& where) {
    if (!object.is_object()) fail(where, "match must be an object");
    check_keys(object, where, {kMatchKeys});
    RequestMatch match;
    if (object.contains("method")) match.method = text(object, "method", where);
    if (object.contains("path")) match.path = text(object, "path", where);
    if (object.contains("cmd")) match.cmd = bytes(object, "cmd", where);
    if (object.contains("request")) {
        match.request = count(object, "request", where);
        if (*match.request == 0) fail(where, "request counts from 1");
    }
    if (object.contains("form")) {
        const json& form = object.at("form");
        if (!form.is_object()) fail(where, "form must be an object");
        for (const auto& item : form.items()) {
            auto name = json_text_to_bytes(item.key());
            auto value = item.value().is_string()
                             ? json_text_to_bytes(item.value().get<std::string>())
                             : std::nullopt;
            if (!name || !value)
                fail(where, "form field " + shown(item.key()) + " must be text of bytes");
            match.form.emplace_back(*name, *value);
        }
    }
    return match;
}

Rule parse_rule(const json& object, const fs::path& base_dir, const std::string& where) {
    if (!object.is_object()) fail(where, "must be an object");
    check_keys(object, where, {kAnswerKeys, {"match", "times"}});
    Rule rule;
    if (object.contains("match")) rule.match = parse_match(object.at("match"), where);
    if (object.contains("times")) rule.times = count(object, "times", where);
    rule.answer = parse_answer(object, base_dir, where);
    return rule;
}

Script read_script(const json& document, const fs::path& base_dir);

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

Script parse_script(std::string_view json_text, const fs::path& base_dir) {
    json document;
    try {
        document = json::parse(json_text.begin(), json_text.end());
    } catch (const json::parse_error& e) {
        // nlohmann's message carries the byte position of the fault.
        throw ScriptError(std::string("not valid JSON: ") + e.what());
    } catch (const json::exception& e) {
        FaultLocator locator;
        json::sax_parse(json_text.begin(), json_text.end(), &locator);
        throw ScriptError("not usable JSON at " + locator.place + ": " + e.what());
    }
    try {
        return read_script(document, base_dir);
    } catch (const json::exception& e) {
        // A case the checks above missed: still one line, never a crash.
        throw ScriptError(std::string("unexpected content: ") + e.what());
    }
}

Script load_script(const fs::path& file) {
    const auto content = read_whole_file(file);
    if (!content) throw ScriptError("cannot read " + file.string());
    return parse_script(*content, file.parent_path());
}

namespace {

Script read_script(const json& document, const fs::path& base_dir) {
    Script script;
    const json* rules = &document;
    if (document.is_object()) {
        check_keys(document, "script", {{"rules", "unmatched"}});
        if (!document.contains("rules")) fail("script", "no \"rules\"");
        rules = &document.at("rules");
        if (document.contains("unmatched")) {
            const json& unmatched = document.at("unmatched");
            if (!unmatched.is_object()) fail("unmatched", "must be an object");
            check_keys(unmatched, "unmatched", {kAnswerKeys});
            script.unmatched = parse_answer(unmatched, base_dir, "unmatched");
        }
    }
    if (!rules->is_array()) fail("script", "rules must be a list");
    for (std::size_t i = 0; i < rules->size(); ++i)
        script.rules.push_back(parse_rule((*rules)[i], base_dir, "rule " + std::to_string(i + 1)));
    return script;
}

}  // namespace

bool matches(const RequestMatch& match, const Request& request) {
    if (match.request && *match.request != request.seq) return false;
    if (match.method && !equal_ignoring_case(*match.method, request.method)) return false;
    if (match.path) {
        const std::string& want = *match.path;
        if (!want.empty() && want.back() == '*') {
            if (!request.path.starts_with(std::string_view(want).substr(0, want.size() - 1)))
                return false;
        } else if (want != request.path) {
            return false;
        }
    }
    if (match.cmd && form_value(request.form, "cmd") != match.cmd) return false;
    for (const auto& [name, value] : match.form) {
        if (form_value(request.form, name) != value) return false;
    }
    return true;
}

}  // namespace tarvo::server
