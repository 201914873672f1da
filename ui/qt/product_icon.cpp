#include "ui/qt/product_icon.h"

namespace tarvo::qt {

QIcon ProductIcon() { return QIcon(QStringLiteral(":/tarvo/tarvo.png")); }

}  // namespace tarvo::qt
