// CStaticLink on the screen: its text centred, underlined, in the link or
// visited colour, with its cursor; a left click reports itself.
#pragma once

#include <QWidget>

#include "ui/static_link.h"

namespace tarvo::qt {

class StaticLinkWidget final : public QWidget {
  Q_OBJECT

 public:
  StaticLinkWidget(const CStaticLink& link, QWidget* parent);

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const CStaticLink& m_link;
};

}  // namespace tarvo::qt
