#include "catalogue_commands.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <stdexcept>

namespace tarvo::server::commands {

namespace {

using Attribute = std::pair<const char*, std::string>;

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string element_text(std::string_view word, const std::vector<Attribute>& attributes,
                         const std::vector<std::size_t>& order) {
    std::string text = "<";
    text += word;
    for (const std::size_t i : order) {
        text += ' ';
        text += attributes[i].first;
        text += "=\"";
        text += attributes[i].second;
        text += '"';
    }
    return text + "/>";
}

// Whether the conduit reads every attribute back exactly: it takes the
// first 'name="' anywhere in the element, letter case ignored, and the text
// up to the next quote; the element ends at the first "/>".
bool reads_back(const std::string& text, const std::vector<Attribute>& attributes) {
    const std::string_view inner = std::string_view(text).substr(1, text.size() - 3);
    if (inner.find("/>") != std::string_view::npos || inner.find('\0') != std::string_view::npos)
        return false;
    std::string lower(inner);
    std::transform(lower.begin(), lower.end(), lower.begin(), ascii_lower);
    for (const auto& [name, value] : attributes) {
        std::string pattern = std::string(name) + "=\"";
        std::transform(pattern.begin(), pattern.end(), pattern.begin(), ascii_lower);
        const std::size_t found = lower.find(pattern);
        if (found == std::string::npos) return false;
        const std::size_t start = found + pattern.size();
        const std::size_t quote = inner.find('"', start);
        if (quote == std::string_view::npos || inner.substr(start, quote - start) != value)
            return false;
    }
    return true;
}

// The reader takes the first match, so a value ending in '=' (a database
// named "Paid=") reads as the start of the attribute whose name it ends
// with ("id"). Such values go after the attributes they could hide: the
// first order in which everything reads back is used.
std::string element(std::string_view word, std::vector<Attribute> attributes) {
    std::vector<std::size_t> order(attributes.size());
    std::iota(order.begin(), order.end(), 0);
    std::string text = element_text(word, attributes, order);
    if (reads_back(text, attributes)) return text;
    while (std::next_permutation(order.begin(), order.end())) {
        text = element_text(word, attributes, order);
        if (reads_back(text, attributes)) return text;
    }
    throw std::invalid_argument("the " + std::string(word) +
                                " command cannot be written so the conduit reads it");
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
    return element(
        "rdel",
        {{"db", std::string(db)}, {"cardno", std::to_string(card)}, {"id", std::to_string(id)}});
}

std::string logmessage(std::string_view message, bool handheld, bool desktop) {
    std::string clean(message);
    for (char& c : clean) {
        if (c == '"') c = '\'';
        if (c == '<' || c == '>') c = ' ';
    }
    return element(
        "logmessage",
        {{"handheld", handheld ? "1" : "0"}, {"desktop", desktop ? "1" : "0"}, {"message", clean}});
}

std::string full_url_encode(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const bool keep =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (keep) {
            out += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%.2x",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escape;
        }
    }
    return out;
}

}  // namespace tarvo::server::commands
