#include "options/AboutBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "net/Endpoints.h"
#include "options/LinkLabel.h"
#include "platform/Platform.h"
#include "settings/Version.h"

namespace vemo {

namespace {

constexpr char MakerLine[] = "Quorvane 出品";
constexpr char ContactText[] =
    "VEMO 是一个小巧的股票行情窗口，\n"
    "显示沪深两市的实时行情。\n"
    "有问题或建议，请访问我们的网站，\n"
    "或点选项窗口中的“意见反馈”。";

}  // namespace

CAboutBox::CAboutBox(DesktopPlatform& platform, QWidget* parent)
    : QDialog(parent), openUrl_(BrowserOpener(platform)) {
    setWindowTitle(QStringLiteral("关于"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/128.png")).pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("VEMO"));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* version = new QLabel(this);
    version->setObjectName(QString::number(IdAboutVersion));
    version->setText(QString::fromLatin1(VersionText) + QStringLiteral(" \n") +
                     QString::fromUtf8(MakerLine));
    version->setAccessibleName(version->text());
    version->setTextFormat(Qt::PlainText);

    // Read-only, selectable text in a sunken frame, sized to the text in any font.
    auto* contact = new QLabel(QString::fromUtf8(ContactText), this);
    contact->setObjectName(QString::number(IdAboutContact));
    contact->setTextFormat(Qt::PlainText);
    contact->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    contact->setFocusPolicy(Qt::StrongFocus);
    contact->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    contact->setBackgroundRole(QPalette::Base);
    contact->setAutoFillBackground(true);
    contact->setMargin(4);
    contact->setAccessibleName(QStringLiteral("联系方式"));

    link_ = new CLinkLabel(
        QStringLiteral("官方网站：") + QString::fromStdString(HomePageUrlWithoutSlash()), this);
    link_->setObjectName(QString::number(IdAboutHomePage));
    connect(link_, &CLinkLabel::clicked, this, [this] { openUrl_(MakerUrl(HomePageUrl())); });

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QString::number(IdAboutOk));
    ok->setAccessibleName(ok->text());
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1);
    layout->addWidget(version, 0, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->addWidget(contact, 1, 1, 1, 2);
    layout->addWidget(link_, 2, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    ok->setFocus();
}

}  // namespace vemo
