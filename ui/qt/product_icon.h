// The product's icon, shown on every window of the conduit.
#pragma once

#include <QIcon>

namespace tarvo::qt {

QIcon ProductIcon();

}  // namespace tarvo::qt
