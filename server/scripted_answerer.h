#pragma once
// Scripted mode: the first rule that matches a request and still has uses
// left answers it. Without one, a /files/ path gets its file and anything
// else the script's unmatched answer (by default 404).

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "exchange.h"
#include "file_store.h"
#include "script.h"

namespace tarvo::server {

class ScriptedAnswerer : public Answerer {
public:
    // files may be null: then no downloads are served outside the rules.
    ScriptedAnswerer(Script script, std::unique_ptr<FileStore> files);

    Response answer(const Request& request) override;

private:
    const Rule* take_rule(const Request& request, std::size_t& index);
    Response without_rule(const Request& request) const;
    static Response from_spec(const AnswerSpec& spec, const Request& request, Response base);

    Script script_;
    std::unique_ptr<FileStore> files_;
    std::mutex mutex_;                 // guards uses_
    std::vector<std::uint64_t> uses_;  // per rule
};

}  // namespace tarvo::server
