#pragma once
// Reading application/x-www-form-urlencoded text. Values are bytes: the
// conduit sends Windows-1252, so nothing here assumes UTF-8.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvo::server {

// Fields in the order they were sent; a name may repeat.
using FormFields = std::vector<std::pair<std::string, std::string>>;

// "%41" -> "A", "+" -> " "; a '%' not followed by two hex digits stays as is.
std::string percent_decode(std::string_view text);

// Splits on '&', then at the first '='. Empty pieces ("a=1&&b=2") are skipped;
// a piece without '=' is a name with an empty value.
FormFields parse_form(std::string_view text);

// The first field of that name.
std::optional<std::string> form_value(const FormFields& fields, std::string_view name);

}  // namespace tarvo::server
