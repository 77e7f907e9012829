#pragma once

#include <QAbstractButton>

namespace vemo {

// A line of text that works as a link: blue at rest, red while the pointer is over it, with the
// hand cursor. A click (or Space while it has the keyboard focus) emits clicked(); the owner
// opens the page.
class CLinkLabel : public QAbstractButton {
    Q_OBJECT

  public:
    static constexpr QRgb RestColour = 0x0000FF;   // blue
    static constexpr QRgb HoverColour = 0xFF0000;  // red

    explicit CLinkLabel(const QString& text, QWidget* parent = nullptr);

    QColor LinkColour() const { return linkColour_; }
    // How often the colour changed and the link was painted anew for it.
    int ColourChanges() const { return colourChanges_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void SetLinkColour(QRgb colour);

    QColor linkColour_;
    int colourChanges_ = 0;
};

}  // namespace vemo
