#pragma once

#include <QLineEdit>
#include <QWidget>

#include <string>

#include "options/OptionsState.h"

class QCheckBox;

namespace vemo {

// Controls of the proxy page, by the ids tests find them with (their objectName is the number).
enum ProxyPageControl : int {
    IdUseProxy = 1001,
    IdProxyAddress = 1002,
    IdProxyPort = 1003,
    IdCredentials = 1011,
    IdThroughSystem = 1019,
    IdProxyUser = 1042,
    IdProxyPassword = 1043,
};

// A text field of the proxy page. Typing stops at 20 characters, but a longer stored text is
// shown whole; until the user edits it, the field hands back the stored bytes unchanged.
class CProxyField : public QLineEdit {
    Q_OBJECT

  public:
    explicit CProxyField(QWidget* parent = nullptr);

    // The record's bytes (GBK).
    void SetStoredText(const std::string& bytes);
    std::string Bytes() const;
    bool Edited() const { return edited_; }

  private:
    std::string stored_;
    bool edited_ = false;
};

// The third tab, "连接": direct, through a proxy (optionally with a user name and password), or
// through the system's settings. Three rules keep the boxes and fields consistent while the user
// clicks; nothing is written before the dialog's OK.
class CProxyPage : public QWidget {
    Q_OBJECT

  public:
    explicit CProxyPage(const TickerSettings& settings, QWidget* parent = nullptr);

    ProxyPageState State() const;

    QCheckBox* UseProxy() const { return useProxy_; }
    QCheckBox* Credentials() const { return credentials_; }
    QCheckBox* ThroughSystem() const { return throughSystem_; }
    CProxyField* Address() const { return address_; }
    CProxyField* Port() const { return port_; }
    CProxyField* User() const { return user_; }
    CProxyField* Password() const { return password_; }

  private:
    void ApplyProxyRule();
    void ApplyCredentialsRule();
    void ApplySystemRule();

    QCheckBox* useProxy_ = nullptr;
    QCheckBox* credentials_ = nullptr;
    QCheckBox* throughSystem_ = nullptr;
    CProxyField* address_ = nullptr;
    CProxyField* port_ = nullptr;
    CProxyField* user_ = nullptr;
    CProxyField* password_ = nullptr;
};

}  // namespace vemo
