#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace tarvo::qt {

QFont TemplateFont() {
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width over the alphabet in both cases, rounded, as the
  // dialog manager computes its base unit.
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  m_baseY = metrics.height();
  if (m_baseX < 1) m_baseX = 1;
  if (m_baseY < 1) m_baseY = 1;
}

int DialogUnits::ToX(int units) const { return (units * m_baseX + 2) / 4; }
int DialogUnits::ToY(int units) const { return (units * m_baseY + 4) / 8; }

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(ToX(x), ToY(y), ToX(width), ToY(height));
}

QSize DialogUnits::ToPixels(int width, int height) const { return QSize(ToX(width), ToY(height)); }

}  // namespace tarvo::qt
