#pragma once

#include <QAbstractButton>

#include <cstdint>

namespace vemo {

// A clickable, sunken box with a centred caption that previews one colour of the quote page: the
// caption is drawn in the colour, or, for the background, the box is filled with it and the
// caption drawn in 0xE6FFFF minus it (black on the default background).
class CColourSwatch : public QAbstractButton {
    Q_OBJECT

  public:
    enum class Kind { Text, Background };

    CColourSwatch(const QString& caption, Kind kind, QWidget* parent = nullptr);

    // The colour as 0x00BBGGRR.
    std::uint32_t Colour() const { return colour_; }
    void SetColour(std::uint32_t colour);

    // What the swatch paints: its caption's colour and its fill (invalid: the window's own).
    QColor TextColour() const;
    QColor FillColour() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Kind kind_;
    std::uint32_t colour_ = 0;
};

// 0x00BBGGRR to a QColor and back.
QColor FromColorRef(std::uint32_t value);
std::uint32_t ToColorRef(const QColor& colour);

}  // namespace vemo
