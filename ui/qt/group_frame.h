// A group box drawn as a dialog template draws one: the frame's top line
// runs through the middle of the caption, which sits one character in from
// the left edge. The controls a template puts inside a group then clear the
// line at any font, where a style's own group box puts its line below the
// caption and crowds them.
#pragma once

#include <QString>
#include <QWidget>

namespace tarvo::qt {

class GroupFrame final : public QWidget {
 public:
  GroupFrame(const QString& caption, QWidget* parent);
  // Where the top line runs, in the widget's own coordinates.
  int LineY() const;
  const QString& caption() const { return m_caption; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_caption;
};

}  // namespace tarvo::qt
