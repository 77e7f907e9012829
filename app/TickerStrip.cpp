// The title strip: its named buttons, what a click on it does, the drag that moves the window,
// and the tips that follow the mouse.
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>
#include <QWindow>

#include "app/StripButton.h"
#include "app/TickerWindow.h"
#include "options/UrlOpener.h"
#include "platform/Platform.h"

namespace vemo {

namespace {

QLabel* MakeStripPiece(QWidget* parent, int id, const char* bitmap) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    label->setPixmap(QPixmap(QString::fromLatin1(bitmap)));
    label->setScaledContents(true);
    // Clicks on the strip are the window's: its areas are hit-tested by position.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

}  // namespace

void CTickerWindow::AddStrip() {
    stripLeft_ = MakeStripPiece(this, IdStripLeft, ":/bitmaps/140.png");
    stripLeft_->setGeometry(0, 0, 50, TitleStripHeight);
    stripFiller_ = MakeStripPiece(this, IdStripFiller, ":/bitmaps/141.png");
    refreshButton_ = MakeStripPiece(this, IdRefreshButton, ":/bitmaps/147.png");
    refreshButton_->setGeometry(InitialWidth - 20, 0, 20, TitleStripHeight);
    AddStripButtons();
}

void CTickerWindow::AddStripButtons() {
    // The close, hide and menu symbols are parts of the strip's left bitmap, the refresh symbol
    // is a bitmap of its own; each button lies over its symbol and goes with it.
    const struct {
        StripArea area;
        QLabel* piece;
    } buttons[] = {{StripArea::Close, stripLeft_},
                   {StripArea::Hide, stripLeft_},
                   {StripArea::Menu, stripLeft_},
                   {StripArea::Refresh, refreshButton_}};
    for (const auto& [area, piece] : buttons) {
        auto* button = new StripButton(QString::fromUtf8(StripCaption(area)), piece);
        const PixelRect rect = area == StripArea::Refresh ? PixelRect{0, 0, 20, TitleStripHeight}
                                                          : StripButtonArea(area, InitialWidth);
        button->setGeometry(rect.x, rect.y, rect.width, rect.height);
        connect(button, &QAbstractButton::clicked, this,
                [this, area = area] { ActivateStripArea(area); });
    }
    stripLeft_->setAccessibleName(QStringLiteral("标题栏"));
    stripFiller_->setAccessibleName(QStringLiteral("标题栏"));
    refreshButton_->setAccessibleName(QStringLiteral("标题栏"));
}

void CTickerWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (at.y() < TitleStripHeight) {
        const StripArea area = HitTestStrip(at.x(), at.y(), width());
        if (area != StripArea::Drag) {
            ActivateStripArea(area);
        } else if (windowHandle() == nullptr || !windowHandle()->startSystemMove()) {
            // The strip is the caption of a window that has none: it moves the window.
            manualDrag_ = true;
            dragOffset_ = event->globalPosition().toPoint() - pos();
        }
    } else if (noticeLinkActive_ && noticeLine_->geometry().contains(at)) {
        OpenInBrowser(platform_, noticeLink_);
        noticeLine_->clear();
        noticeLinkActive_ = false;
    }
    QWidget::mousePressEvent(event);
}

void CTickerWindow::mouseReleaseEvent(QMouseEvent* event) {
    manualDrag_ = false;
    if (event->button() == Qt::RightButton) {
        PopUpMainMenu();
    }
    QWidget::mouseReleaseEvent(event);
}

void CTickerWindow::mouseMoveEvent(QMouseEvent* event) {
    if (manualDrag_ && (event->buttons() & Qt::LeftButton) != 0) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    raise();
    const QPoint at = event->position().toPoint();
    if (at.y() < TitleStripHeight) {
        const std::string tip =
            StripTipText(HitTestStrip(at.x(), at.y(), width()), cycle_->SecondsSinceRefresh(),
                         cycle_->failedAttemptTime.load(), cycle_->MissingCodes());
        if (tip.empty()) {
            QToolTip::hideText();
            currentTip_.clear();
            return;
        }
        const QString text = QString::fromStdString(tip);
        if (text != currentTip_) {
            currentTip_ = text;
            QToolTip::showText(event->globalPosition().toPoint(), text, this);
        }
    } else if (noticeLinkActive_) {
        if (noticeLine_->geometry().contains(at)) {
            setCursor(Qt::PointingHandCursor);
        } else {
            unsetCursor();
        }
    } else {
        QToolTip::hideText();
        currentTip_.clear();
    }
    QWidget::mouseMoveEvent(event);
}

}  // namespace vemo
