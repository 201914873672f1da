#include "scripted_answerer.h"

#include "template_text.h"

namespace tarvo::server {

namespace {

Response plain(int status, std::string text, std::string answered_by) {
    Response response;
    response.status = status;
    response.content_type = "text/plain";
    response.body = std::move(text);
    response.answered_by = std::move(answered_by);
    return response;
}

}  // namespace

ScriptedAnswerer::ScriptedAnswerer(Script script, std::unique_ptr<FileStore> files)
    : script_(std::move(script)), files_(std::move(files)), uses_(script_.rules.size(), 0) {}

const Rule* ScriptedAnswerer::take_rule(const Request& request, std::size_t& index) {
    std::lock_guard lock(mutex_);
    for (index = 0; index < script_.rules.size(); ++index) {
        const Rule& rule = script_.rules[index];
        if (rule.times && uses_[index] >= *rule.times) continue;
        if (!matches(rule.match, request)) continue;
        ++uses_[index];
        return &rule;
    }
    return nullptr;
}

Response ScriptedAnswerer::without_rule(const Request& request) const {
    if (files_ && request.path.starts_with(FileStore::kPrefix)) {
        if (auto bytes = files_->read(request.path)) {
            Response response;
            response.content_type = "application/octet-stream";
            response.body = std::move(*bytes);
            response.answered_by = "file";
            return response;
        }
        return plain(404, "no such file\n", "file");
    }
    if (script_.unmatched) {
        Response base = plain(404, "no rule answers this request\n", "unmatched");
        Response response = from_spec(*script_.unmatched, request, std::move(base));
        response.answered_by = "unmatched";
        return response;
    }
    return plain(404, "no rule answers this request\n", "unmatched");
}

Response ScriptedAnswerer::from_spec(const AnswerSpec& spec, const Request& request,
                                     Response base) {
    Response response;
    if (spec.body) {
        response.body = spec.body_is_template ? expand_template(*spec.body, request) : *spec.body;
    } else if (spec.file) {
        auto bytes = read_whole_file(*spec.file);
        if (!bytes)
            return plain(404, "script file missing: " + spec.file->string() + "\n",
                         base.answered_by);
        response.body = std::move(*bytes);
        response.content_type = "application/octet-stream";
    } else {
        response = std::move(base);
    }
    if (spec.status) response.status = *spec.status;
    if (spec.content_type) response.content_type = *spec.content_type;
    response.headers.insert(response.headers.end(), spec.headers.begin(), spec.headers.end());
    response.faults = spec.faults;
    return response;
}

Response ScriptedAnswerer::answer(const Request& request) {
    try {
        std::size_t index = 0;
        const Rule* rule = take_rule(request, index);
        if (!rule) return without_rule(request);
        const std::string name = "rule " + std::to_string(index + 1);
        Response base = rule->answer.has_content() ? Response{} : without_rule(request);
        Response response = from_spec(rule->answer, request, std::move(base));
        response.answered_by = name;
        return response;
    } catch (const std::exception& e) {
        return plain(500, std::string("server fault: ") + e.what() + "\n", "error");
    }
}

}  // namespace tarvo::server
