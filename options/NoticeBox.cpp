#include "options/NoticeBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace vemo {

void ShowNoticeBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::Ok)->setAccessibleName(QStringLiteral("确定"));
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

void ShowAddressNotOpened(const QUrl& url) {
    ShowNoticeBox(QApplication::activeWindow(),
                  QStringLiteral("没有可用的网页浏览器，请在浏览器中打开：\n") +
                      url.toString(QUrl::FullyEncoded));
}

}  // namespace vemo
