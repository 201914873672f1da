#include "service_state.h"

#include "catalogue_state.h"
#include "postgres_state.h"

namespace tarvo::server {

bool names_postgresql(std::string_view where) {
    return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

std::unique_ptr<ServiceState> open_state(const std::string& where, StateSettings settings) {
    if (names_postgresql(where)) return std::make_unique<PostgresState>(where, settings);
    return std::make_unique<CatalogueState>(where, settings);
}

}  // namespace tarvo::server
