#include "options/ProxyPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "options/PageKeys.h"
#include "quotes/Gbk.h"

namespace vemo {

CProxyField::CProxyField(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(ProxyFieldLimit);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        edited_ = true;
        // A longer stored text may shrink but never grow again by typing.
        setMaxLength(std::max(ProxyFieldLimit, static_cast<int>(text.size())));
    });
}

void CProxyField::SetStoredText(const std::string& bytes) {
    stored_ = bytes;
    edited_ = false;
    const QString text = QString::fromStdString(GbkToUtf8(bytes));
    setMaxLength(std::max(ProxyFieldLimit, static_cast<int>(text.size())));
    setText(text);
}

std::string CProxyField::Bytes() const {
    return edited_ ? Utf8ToGbk(text().toStdString()) : stored_;
}

CProxyPage::CProxyPage(const TickerSettings& settings, QWidget* parent) : QWidget(parent) {
    const ProxyPageState state = ProxyStateFrom(settings);
    auto* group = new QGroupBox(QStringLiteral("代理服务器"), this);

    const auto box = [group](const char* caption, int id) {
        auto* check = new QCheckBox(QString::fromUtf8(caption), group);
        check->setObjectName(QString::number(id));
        check->setAccessibleName(check->text());
        return check;
    };
    const auto field = [group](const char* label, int id, QLabel*& labelWidget) {
        labelWidget = new QLabel(QString::fromUtf8(label), group);
        auto* edit = new CProxyField(group);
        edit->setObjectName(QString::number(id));
        edit->setAccessibleName(labelWidget->text());
        labelWidget->setBuddy(edit);
        return edit;
    };

    QLabel* addressLabel = nullptr;
    QLabel* portLabel = nullptr;
    QLabel* userLabel = nullptr;
    QLabel* passwordLabel = nullptr;
    useProxy_ = box("使用代理", IdUseProxy);
    address_ = field("地址：", IdProxyAddress, addressLabel);
    port_ = field("端口：", IdProxyPort, portLabel);
    credentials_ = box("用户名密码", IdCredentials);
    user_ = field("用户名：", IdProxyUser, userLabel);
    auto* hint = new QLabel(QStringLiteral("注：域用户请输入：域名\\用户名"), group);
    password_ = field("密码：", IdProxyPassword, passwordLabel);
    password_->setEchoMode(QLineEdit::Password);
    throughSystem_ = box("通过 IE 获得数据", IdThroughSystem);

    useProxy_->setChecked(state.useProxy);
    credentials_->setChecked(state.credentials);
    throughSystem_->setChecked(state.throughSystem);
    address_->SetStoredText(state.address);
    port_->SetStoredText(state.port);
    user_->SetStoredText(state.user);
    password_->SetStoredText(state.password);

    connect(useProxy_, &QCheckBox::clicked, this, &CProxyPage::ApplyProxyRule);
    connect(credentials_, &QCheckBox::clicked, this, &CProxyPage::ApplyCredentialsRule);
    connect(throughSystem_, &QCheckBox::clicked, this, &CProxyPage::ApplySystemRule);

    auto* grid = new QGridLayout(group);
    grid->setColumnMinimumWidth(0, 16);
    grid->addWidget(useProxy_, 0, 0, 1, 5);
    grid->addWidget(addressLabel, 1, 1);
    grid->addWidget(address_, 1, 2);
    grid->addWidget(portLabel, 1, 3);
    grid->addWidget(port_, 1, 4);
    grid->addWidget(credentials_, 2, 0, 1, 5);
    grid->addWidget(userLabel, 3, 1);
    grid->addWidget(user_, 3, 2);
    grid->addWidget(hint, 3, 3, 1, 2);
    grid->addWidget(passwordLabel, 4, 1);
    grid->addWidget(password_, 4, 2);
    grid->addWidget(throughSystem_, 5, 0, 1, 5);
    grid->setColumnStretch(2, 3);
    grid->setColumnStretch(4, 2);
    grid->setRowStretch(6, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);

    ApplyProxyRule();
    new PageKeyFilter(this, {Qt::Key_Escape});
}

void CProxyPage::ApplyProxyRule() {
    const bool on = useProxy_->isChecked();
    if (on) {
        throughSystem_->setChecked(false);
    } else {
        credentials_->setChecked(false);
    }
    address_->setEnabled(on);
    port_->setEnabled(on);
    credentials_->setEnabled(on);
    ApplyCredentialsRule();
}

void CProxyPage::ApplyCredentialsRule() {
    const bool on = credentials_->isChecked();
    user_->setEnabled(on);
    password_->setEnabled(on);
}

void CProxyPage::ApplySystemRule() {
    // Only ticking it makes the two exclusive; unticking changes nothing else.
    if (throughSystem_->isChecked()) {
        useProxy_->setChecked(false);
        ApplyProxyRule();
    }
}

ProxyPageState CProxyPage::State() const {
    ProxyPageState s;
    s.useProxy = useProxy_->isChecked();
    s.credentials = credentials_->isChecked();
    s.throughSystem = throughSystem_->isChecked();
    s.address = address_->Bytes();
    s.port = port_->Bytes();
    s.user = user_->Bytes();
    s.password = password_->Bytes();
    return s;
}

}  // namespace vemo
