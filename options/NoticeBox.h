#pragma once

#include <QString>

class QUrl;
class QWidget;

namespace vemo {

// A modal 提示 box with one 确定 button; its text can be selected and copied with mouse or
// keyboard. Returns when the user has closed it.
void ShowNoticeBox(QWidget* parent, const QString& text);

// What a click on a link leads to when no web browser took the address: a 提示 box that gives
// the address, so it can be copied into a browser by hand.
void ShowAddressNotOpened(const QUrl& url);

}  // namespace vemo
