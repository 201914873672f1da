#include "catalogue_commands.h"

#include <cstdio>

namespace tarvo::server::commands {

namespace {

std::string element(std::string_view word, std::initializer_list<std::pair<const char*, std::string>> attributes) {
    std::string text = "<";
    text += word;
    for (const auto& [name, value] : attributes) {
        text += ' ';
        text += name;
        text += "=\"";
        text += value;
        text += '"';
    }
    return text + "/>";
}

}  // namespace

std::string envelope(const std::vector<std::string>& elements) {
    std::string page = "<tarvoconduit>";
    for (const auto& e : elements) page += e;
    return page + "</tarvoconduit>";
}

std::string login_rejected() { return element("login", {{"invalido", "1"}}); }

std::string device(std::string_view id) { return element("device", {{"id", std::string(id)}}); }

std::string list() { return element("list", {}); }

std::string pput(std::string_view url, std::string_view title) {
    return element("pput", {{"url", std::string(url)}, {"title", std::string(title)}});
}

std::string pget(std::string_view db) { return element("pget", {{"db", std::string(db)}}); }

std::string rput(std::string_view db, std::uint32_t card, std::uint32_t id, std::string_view data) {
    return element("rput", {{"db", std::string(db)},
                            {"cardno", std::to_string(card)},
                            {"id", std::to_string(id)},
                            {"data", full_url_encode(data)}});
}

std::string rdel(std::string_view db, std::uint32_t card, std::uint32_t id) {
    return element("rdel", {{"db", std::string(db)}, {"cardno", std::to_string(card)}, {"id", std::to_string(id)}});
}

std::string logmessage(std::string_view message, bool handheld, bool desktop) {
    std::string clean(message);
    for (char& c : clean) {
        if (c == '"') c = '\'';
        if (c == '<' || c == '>') c = ' ';
    }
    return element("logmessage",
                   {{"handheld", handheld ? "1" : "0"}, {"desktop", desktop ? "1" : "0"}, {"message", clean}});
}

std::string full_url_encode(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (keep) {
            out += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%.2x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escape;
        }
    }
    return out;
}

}  // namespace tarvo::server::commands
