#pragma once

#include <string>

class QWindow;

namespace vemo {

// Whether the X server of `display` (a DISPLAY value) accepts a connection. Needs no Qt.
bool X11DisplayAnswers(const std::string& display);

// Sets the X11 class of a top-level window (WM_CLASS: instance name and class name). Does
// nothing without an X11 display. Takes the QWindow, whose native window is the one on screen:
// after a change of window flags Qt shows a widget in a new native window, and QWidget::winId()
// may still name the old one.
void SetWindowClass(QWindow& window, const char* instanceName, const char* className);

// Keeps a window out of task bars and pagers (_NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER):
// on the window's own property before it is mapped, through the window manager after.
void SetSkipTaskbar(QWindow& window);

// Sends what Qt has queued for the X server now. A new window mask waits in Qt's X connection
// until something else flushes it otherwise.
void FlushWindowSystem();

}  // namespace vemo
