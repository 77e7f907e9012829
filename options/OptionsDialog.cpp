#include "options/OptionsDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "net/Endpoints.h"
#include "options/CodesPage.h"
#include "options/DisplayPage.h"
#include "options/HoldingsPage.h"
#include "options/HotKeyEdit.h"
#include "options/LinkLabel.h"
#include "options/NoticeBox.h"
#include "options/ProxyPage.h"
#include "platform/Platform.h"
#include "quotes/HoldingsFile.h"
#include "settings/CodeList.h"

namespace vemo {

COptionsDialog::COptionsDialog(TickerSettings& settingsCopy, const SettingsFiles& files,
                               DesktopPlatform& platform, const CodeNames& names,
                               QWidget* parent)
    : QDialog(parent),
      settingsCopy_(settingsCopy),
      files_(files),
      openUrl_(BrowserOpener(platform)) {
    setWindowTitle(QStringLiteral("VEMO Marnel"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QString::number(IdTabs));
    tabs_->setAccessibleName(QStringLiteral("选项"));
    codesPage_ = new CCodesPage(settingsCopy_, tabs_, names);
    codesPage_->SetUrlOpener(openUrl_);
    displayPage_ = new CDisplayPage(settingsCopy_, platform, tabs_);
    proxyPage_ = new CProxyPage(settingsCopy_, tabs_);
    // An unreadable holdings file opens as empty, and saving it is then refused with the reason.
    holdingsFile_ = PerCodeFile(files_.appStore.parent_path() / HoldingsFileName);
    holdingsFile_.Load();
    alertsFile_ = AlertsFile(PerCodeFile(files_.appStore.parent_path() / AlertsFileName));
    alertsFile_.Load();
    HoldingsPageState perCode =
        HoldingsStateFrom(SplitCodeList(settingsCopy_.codeList), holdingsFile_, {});
    AddAlertTexts(perCode, alertsFile_);
    holdingsPage_ = new CHoldingsPage(perCode, tabs_);
    tabs_->addTab(codesPage_, QStringLiteral("常规"));
    tabs_->addTab(displayPage_, QStringLiteral("我的VEMO"));
    tabs_->addTab(proxyPage_, QStringLiteral("连接"));
    tabs_->addTab(holdingsPage_, QStringLiteral("持仓与提醒"));
    tabs_->setCurrentIndex(0);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (tabs_->widget(index) != holdingsPage_) {
            return;
        }
        SyncHoldingCodes();
        // A hand-edited value that does not read is shown with its message.
        const HoldingError error = ValidatePerCodePage(holdingsPage_->State());
        if (!error.message.empty()) {
            ShowStatus(QString::fromUtf8(error.message.c_str()));
        }
    });

    status_ = new QLabel(this);
    status_->setObjectName(QString::number(IdStatusLine));
    status_->setAccessibleName(QStringLiteral("状态"));
    QPalette red = status_->palette();
    red.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
    status_->setPalette(red);
    status_->setTextFormat(Qt::PlainText);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setMinimumWidth(100);

    feedback_ = new CLinkLabel(QStringLiteral("意见反馈"), this);
    feedback_->setObjectName(QString::number(IdFeedbackLink));
    connect(feedback_, &CLinkLabel::clicked, this, [this] { openUrl_(MakerUrl(FeedbackUrl())); });

    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setObjectName(QString::number(IdOkButton));
    ok_->setAccessibleName(ok_->text());
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QString::number(IdCancelButton));
    cancel_->setAccessibleName(cancel_->text());
    connect(ok_, &QPushButton::clicked, this, &COptionsDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &COptionsDialog::reject);
    connect(codesPage_, &CCodesPage::statusMessage, this, &COptionsDialog::ShowStatus);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(feedback_);
    bottom->addSpacing(8);
    bottom->addWidget(ok_);
    bottom->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(bottom);

    // A red message goes as soon as its cause does: after a delete, an untick or an edit.
    QAbstractItemModel* listModel = codesPage_->List()->model();
    connect(listModel, &QAbstractItemModel::rowsRemoved, this, &COptionsDialog::RecheckStatus);
    connect(listModel, &QAbstractItemModel::rowsInserted, this, &COptionsDialog::RecheckStatus);
    connect(codesPage_->HotKey(), &CHotKeyEdit::hotKeyChanged, this,
            &COptionsDialog::RecheckStatus);
    for (QCheckBox* box : proxyPage_->findChildren<QCheckBox*>()) {
        connect(box, &QCheckBox::toggled, this, &COptionsDialog::RecheckStatus);
    }
    for (QLineEdit* field : proxyPage_->findChildren<QLineEdit*>()) {
        connect(field, &QLineEdit::textChanged, this, &COptionsDialog::RecheckStatus);
    }

    // Tab follows the order of creation: the tab strip, the pages' controls, the bottom line.
    codesPage_->Entry()->setFocus();
}

void COptionsDialog::SetUrlOpener(const UrlOpener& opener) {
    openUrl_ = opener;
    codesPage_->SetUrlOpener(opener);
}

void COptionsDialog::SetQuoteNames(const std::map<std::string, std::string>& names) {
    holdingsPage_->SetNames(names);
}

void COptionsDialog::SyncHoldingCodes() {
    std::vector<std::string> codes;
    for (const std::string& code : codesPage_->State().codes) {
        codes.push_back(code);  // codes are ASCII, the same in GBK and UTF-8
    }
    holdingsPage_->SetCodes(codes, holdingsFile_, &alertsFile_);
}

void COptionsDialog::ShowStatus(const QString& text) {
    status_->setText(text);
    status_->setToolTip(text);
}

QString COptionsDialog::StatusText() const {
    return status_->text();
}

void COptionsDialog::RecheckStatus() {
    const std::string message = status_->text().toStdString();
    if (!StatusCauseRemains(message, displayPage_->State(), proxyPage_->State(),
                            codesPage_->State(), settingsCopy_)) {
        ShowStatus(QString());
    }
}

void COptionsDialog::accept() {
    // The holdings and alerts are checked before anything is saved, and saved after the
    // settings.
    SyncHoldingCodes();
    const HoldingsPageState holdings = holdingsPage_->State();
    const HoldingError error = ValidatePerCodePage(holdings);
    if (!error.message.empty()) {
        ShowStatus(QString::fromUtf8(error.message.c_str()));
        tabs_->setCurrentWidget(holdingsPage_);
        if (QLineEdit* field = holdingsPage_->Field(error.line, error.column)) {
            field->setFocus();
            field->selectAll();
        }
        return;
    }
    std::string saveProblem;
    const std::string message =
        ValidateStoreAndSave(displayPage_->State(), proxyPage_->State(), codesPage_->State(),
                             settingsCopy_, files_, saveProblem);
    if (!message.empty()) {
        ShowStatus(QString::fromStdString(message));
        return;
    }
    std::string failure = StoreHoldings(holdings, holdingsFile_);
    if (failure.empty()) {
        failure = StoreAlerts(holdings, alertsFile_);
    }
    if (!failure.empty()) {
        // The settings are saved; the file that failed is not, and the dialog stays to say so.
        ShowStatus(QString::fromStdString(failure));
        return;
    }
    // The change still applies for this run; the user learns that it will not outlive it.
    if (!saveProblem.empty()) {
        ShowNoticeBox(this, QString::fromStdString(saveProblem));
    }
    QDialog::accept();
}

}  // namespace vemo
