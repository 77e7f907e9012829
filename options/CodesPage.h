#pragma once

#include <QWidget>

#include "options/CodeLookup.h"
#include "options/OptionsState.h"
#include "options/UrlOpener.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;

namespace vemo {

class CHotKeyEdit;

// Controls of the codes page, by the ids tests find them with (their objectName is the number).
enum CodesPageControl : int {
    IdCodeList = 1000,
    IdAddCode = 1021,
    IdDeleteCode = 1022,
    IdRefreshSlider = 1023,
    IdTencentRadio = 1024,
    IdSinaRadio = 1025,
    IdHotKey = 1027,
    IdMoveUp = 1038,
    IdRefreshLabel = 1039,
    IdMoveDown = 1052,
    IdQueryCode = 1053,
    IdNetEaseRadio = 1054,
};

// The first tab, "常规": the watch list (an entry field above the list, with Add, Query, Move up,
// Move down and Delete), the refresh-rate slider with its label, the data source and the hot key.
// It fills its controls from the record once and keeps every edit in them; its messages go to
// the dialog's status line through statusMessage.
class CCodesPage : public QWidget {
    Q_OBJECT

  public:
    // `names` gives listed codes their names (the window's last quotes).
    explicit CCodesPage(const TickerSettings& settings, QWidget* parent = nullptr,
                        const CodeNames& names = {});

    CodesPageState State() const;
    void SetUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

    // The page's operations, as its buttons run them.
    void Add();
    void Delete();
    void MoveUp();
    void MoveDown();
    void Query();

    QLineEdit* Entry() const { return entry_; }
    QListWidget* List() const { return list_; }
    QSlider* Slider() const { return slider_; }
    QLabel* RateLabel() const { return rateLabel_; }
    CHotKeyEdit* HotKey() const { return hotKey_; }
    CCodeLookup* Lookup() const { return lookup_; }

  signals:
    void statusMessage(const QString& text);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int SelectedRow() const;
    void SelectRow(int row);
    void AppendCode(const std::string& code);
    void AddChosen(const QString& code, const QString& name);

    QLineEdit* entry_ = nullptr;
    QListWidget* list_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* rateLabel_ = nullptr;
    QButtonGroup* sources_ = nullptr;
    CHotKeyEdit* hotKey_ = nullptr;
    UrlOpener openUrl_;  // set by the dialog
    CodeNames names_;
    CCodeLookup* lookup_ = nullptr;
};

}  // namespace vemo
