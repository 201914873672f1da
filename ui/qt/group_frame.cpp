#include "ui/qt/group_frame.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyle>

namespace tarvo::qt {

GroupFrame::GroupFrame(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption) {}

int GroupFrame::LineY() const { return fontMetrics().height() / 2; }

void GroupFrame::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // Drawn here: a style's group frame leaves room for a caption above itself.
  qDrawShadeRect(&painter, rect().adjusted(0, LineY(), 0, 0), palette(), true, 1, 0);
  const QFontMetrics metrics = fontMetrics();
  const int gap = metrics.averageCharWidth() / 2;
  const QRect text(metrics.averageCharWidth(), 0, metrics.horizontalAdvance(m_caption) + 2 * gap, metrics.height());
  painter.fillRect(text, palette().brush(backgroundRole()));
  style()->drawItemText(&painter, text, Qt::AlignCenter, palette(), isEnabled(), m_caption, QPalette::WindowText);
}

}  // namespace tarvo::qt
