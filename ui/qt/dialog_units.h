// Dialog templates are laid out in dialog units: a quarter of the
// template font's average character width across, an eighth of its height
// down. This turns them into pixels for the font actually on the screen.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tarvo::qt {

// The templates' font ("MS Sans Serif" 8), or the closest sans face here.
QFont TemplateFont();

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font = TemplateFont());

  int ToX(int units) const;
  int ToY(int units) const;
  QRect ToPixels(int x, int y, int width, int height) const;
  QSize ToPixels(int width, int height) const;

  int baseX() const { return m_baseX; }
  int baseY() const { return m_baseY; }

 private:
  int m_baseX;  // average character width, pixels
  int m_baseY;  // character height, pixels
};

}  // namespace tarvo::qt
