#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QWidget;

namespace vemo {

// Makes a page swallow some keys: a key press of one of them aimed at the page or any of its
// controls reaches neither the control, the page nor the dialog. Popups of the page's controls
// (an open drop-down list) keep their keys. Install it after the page's controls exist.
class PageKeyFilter : public QObject {
    Q_OBJECT

  public:
    PageKeyFilter(QWidget* page, std::initializer_list<int> keys);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* page_;
    std::vector<int> keys_;
};

}  // namespace vemo
