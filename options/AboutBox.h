#pragma once

#include <QDialog>

#include "options/UrlOpener.h"

namespace vemo {

class CLinkLabel;
class DesktopPlatform;

enum AboutBoxControl : int {
    IdAboutOk = 1,
    IdAboutHomePage = 1041,
    IdAboutContact = 1040,
    IdAboutVersion = 1044,
};

// The About box: the program's icon and version, the maker's line and contact text, and the link
// to the maker's home page, which opens in the browser and leaves the box open.
class CAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutBox(DesktopPlatform& platform, QWidget* parent = nullptr);

    void SetUrlOpener(const UrlOpener& opener) { openUrl_ = opener; }
    CLinkLabel* HomePageLink() const { return link_; }

  private:
    CLinkLabel* link_ = nullptr;
    UrlOpener openUrl_;
};

}  // namespace vemo
