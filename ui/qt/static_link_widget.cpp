#include "ui/qt/static_link_widget.h"

#include <algorithm>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "ui/qt/template_layout.h"

namespace tarvo::qt {

StaticLinkWidget::StaticLinkWidget(const CStaticLink& link, QWidget* parent) : QWidget(parent), m_link(link) {
  setCursor(link.m_cursor == LinkCursor::kHand ? Qt::PointingHandCursor : Qt::ArrowCursor);
  setToolTip(FromUtf8(link.m_url));
}

void StaticLinkWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setWeight(QFont::Normal);
  font.setUnderline(true);
  // The height is the character cell's, ascent and descent together, as
  // the link's font height has always meant; Qt sizes the em instead.
  font.setPixelSize(m_link.m_fontHeight);
  const int cell = QFontMetrics(font).height();
  if (cell > m_link.m_fontHeight) font.setPixelSize(std::max(1, m_link.m_fontHeight * m_link.m_fontHeight / cell));
  painter.setFont(font);
  const LinkColour colour = m_link.TextColour();  // 0x00BBGGRR
  painter.setPen(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
  painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignTop, FromUtf8(m_link.m_text));
}

void StaticLinkWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit clicked();
    update();  // the visited colour
  }
  QWidget::mousePressEvent(event);
}

}  // namespace tarvo::qt
