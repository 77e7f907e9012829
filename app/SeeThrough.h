#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QObject>

#include <cstdint>

#include "settings/TickerSettings.h"

class QWidget;

namespace vemo {

class DesktopPlatform;

inline constexpr int HoverTimerMs = 100;

// The see-through mode of the ticker: every pixel of the background colour is cut out of the
// window after each paint of new content, the text is drawn without anti-aliasing so that no
// fringe of that colour stays, and the title strip shows only while the mouse is over the window
// (polled by the hover timer, when the settings ask for it).
class SeeThroughMode : public QObject {
  public:
    // What the mode needs of its window.
    class Window {
      public:
        virtual QWidget& Widget() = 0;
        // The colour that becomes see-through.
        virtual QColor KeyColour() const = 0;
        virtual void SetStripVisible(bool visible) = 0;
        virtual void SetTextAntialiasing(bool on) = 0;
        // Where the window is on the screen.
        virtual WindowRect ScreenRect() const = 0;

      protected:
        ~Window() = default;
    };

    SeeThroughMode(Window& window, DesktopPlatform& platform);

    // On or off; `optionFlags` tell whether the strip shows on hover.
    void Toggle(std::uint32_t optionFlags);
    bool On() const { return transparentMode_ != 0; }
    // Cuts the key colour out of the window as it looks now; nothing while the mode is off.
    void UpdateMask();
    // The hover timer runs only while the window is on screen, see-through, with the strip shown
    // on hover (`optionFlags`); (re)started when it should run, else stopped.
    void UpdateHoverTimer(std::uint32_t optionFlags);
    void StopHoverTimer() { hoverTimer_.stop(); }
    bool HoverTimerActive() const { return hoverTimer_.isActive(); }

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    void RepaintWhole();

    Window& window_;
    DesktopPlatform& platform_;
    QBasicTimer hoverTimer_;
    int transparentMode_ = 0;
    int titleStripShown_ = 0;
};

}  // namespace vemo
