#pragma once
// Entries of a sound catalogue that the content service still cannot act
// on, worth a word when it starts: a module file the conduit will not list
// once installed, a database to collect or change that no handheld lists.

#include <string>
#include <vector>

#include "catalogue.h"

namespace tarvo::server {

std::vector<std::string> catalogue_warnings(const Catalogue& catalogue);

}  // namespace tarvo::server
