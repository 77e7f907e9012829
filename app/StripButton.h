#pragma once

#include <QAbstractButton>

namespace vemo {

// One button of the title strip, whose symbols are parts of the strip's bitmaps. It draws
// nothing and lets the mouse through to the window, which hit-tests the strip itself; it gives
// the area a name and a press action for screen readers and other accessibility clients.
class StripButton : public QAbstractButton {
    Q_OBJECT

  public:
    StripButton(const QString& name, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vemo
