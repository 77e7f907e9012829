#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

#include "options/OptionsState.h"

class QCheckBox;
class QComboBox;

namespace vemo {

class CColourSwatch;
class DesktopPlatform;

// The second tab, "我的VEMO": the table's columns and rows, five colours picked on clickable
// swatches, the window options and the font size. Only "开机自动运行" acts at once: it registers
// or removes the start at log-on whenever it is clicked, and it shows whether the start is
// registered, not what was last saved (a cancelled dialog has acted all the same).
class CDisplayPage : public QWidget {
    Q_OBJECT

  public:
    // Runs the colour picker from `initial`; an invalid colour means it was cancelled.
    using ColourPicker = std::function<QColor(QWidget* parent, const QColor& initial)>;
    // Registers (non-zero) or removes the start at log-on; returns 0 or a negative code.
    using AutoStarter = std::function<int(int enable)>;
    // Whether the start at log-on is registered now.
    using AutoStartProbe = std::function<bool()>;

    CDisplayPage(const TickerSettings& settings, DesktopPlatform& platform,
                 QWidget* parent = nullptr);

    DisplayPageState State() const;

    void SetColourPicker(ColourPicker picker) { pickColour_ = std::move(picker); }
    void SetAutoStarter(AutoStarter starter) { setAutoStart_ = std::move(starter); }
    // Replaces the probe and shows its answer in the box at once.
    void SetAutoStartProbe(AutoStartProbe probe);

    QCheckBox* Box(int id) const;
    CColourSwatch* Swatch(int id) const;
    QComboBox* FontSize() const { return fontSize_; }

  private:
    void PickColour(CColourSwatch* swatch);

    QCheckBox* customColours_ = nullptr;
    QCheckBox* runAtStartup_ = nullptr;
    QComboBox* fontSize_ = nullptr;
    ColourPicker pickColour_;
    AutoStarter setAutoStart_;
    AutoStartProbe autoStartProbe_;
};

}  // namespace vemo
