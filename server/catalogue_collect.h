#pragma once
// A database uploaded with pget, rebuilt as a Palm database: the form holds
// "dbname", "dbtype", then for each record "<dbname>_record" (its bytes) and
// "<dbname>_record_id". The conduit leaves out each record's last byte and
// the database's creator; the rebuilt file holds exactly what was sent.

#include <cstdint>
#include <optional>

#include "form.h"
#include "pdb/pdb.h"

namespace tarvo::server {

// Nothing when the form names no database or a name that does not fit one.
// Record ids that are missing, out of range or repeated get fresh ones.
std::optional<pdb::Database> database_from_pget(const FormFields& form, std::uint32_t now);

}  // namespace tarvo::server
