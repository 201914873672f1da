#include "service_state.h"

#include <charconv>

#include "catalogue_state.h"
#include "postgres_state.h"

namespace tarvo::server {

bool names_postgresql(std::string_view where) {
    return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

std::optional<std::int64_t> row_id(const std::string& device_id) {
    std::int64_t id = 0;
    const auto [end, ec] =
        std::from_chars(device_id.data(), device_id.data() + device_id.size(), id);
    if (ec != std::errc{} || end != device_id.data() + device_id.size() || id <= 0)
        return std::nullopt;
    return id;
}

std::unique_ptr<ServiceState> open_state(const std::string& where, StateSettings settings) {
    if (names_postgresql(where)) return std::make_unique<PostgresState>(where, settings);
    return std::make_unique<CatalogueState>(where, settings);
}

}  // namespace tarvo::server
