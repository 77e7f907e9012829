#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QTextBrowser>
#include <QUrl>

#include <functional>

namespace vemo {

// The ticker's view of the quote page. Each Navigate reads the page file afresh, and ShowPage
// takes the page's bytes as they are; either decodes them from GBK and shows the page as a
// browser does: no scroll bars, no context menu, no history, no
// frame, no text cursor or focus. Link titles show as tool tips; a click on an http(s) link opens
// it in the user's web browser and the view itself never leaves the page. Lives on the interface
// thread: other threads reach Navigate through a queued call.
class CWebBrowser2 : public QTextBrowser {
    Q_OBJECT

  public:
    // Opens a link outside the view; true when it was handed over.
    using LinkOpener = std::function<bool(const QUrl&)>;

    // Page files are far smaller; a larger file is not one of ours.
    static constexpr qint64 MaxPageFileBytes = 1024 * 1024;

    explicit CWebBrowser2(QWidget* parent = nullptr);

    // Shows the page file at `path`. False when the file cannot be read; the page on screen
    // then stays as it was.
    Q_INVOKABLE bool Navigate(const QString& path);
    // Shows a page given as its GBK bytes. False for more than MaxPageFileBytes or bytes that
    // cannot be decoded; the page on screen then stays as it was.
    bool ShowPage(const QByteArray& gbkPage);

    // Replaces the default opener (QDesktopServices::openUrl).
    void SetLinkOpener(LinkOpener opener);
    // Hands `url` to the opener when it is an http or https URL; false otherwise.
    bool OpenLink(const QUrl& url);
    static bool IsOpenableLink(const QUrl& url);

    // The tool tip of whatever lies under `viewportPos` (the link's title, "\n" between lines);
    // empty where there is none.
    QString ToolTipAt(const QPoint& viewportPos) const;

    // Text drawn with or without anti-aliasing. Without, every pixel of a glyph has the text's
    // own colour, so a colour key that removes the background leaves no fringe around it; and
    // every glyph gets a one-pixel outline of a contrasting colour (GlyphOutline.h), so the text
    // stays readable on whatever desktop shows through the page's background.
    void SetTextAntialiasing(bool on);

    // The page's background (its body bgcolor, white when it gives none).
    QColor PageBackground() const { return background_; }

    // The size the shown page needs at the view's current width: the document's ideal width and
    // its laid-out height, in pixels, rounded up.
    QSize ContentSize() const;

    // The installed font family that stands in for the page's "宋体"; empty when no Chinese font
    // is installed.
    static QString ChineseFontFamily();

  signals:
    // A page has been read and shown (after every successful Navigate or ShowPage).
    void PageShown();

  protected:
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Shows a page's HTML as it stands in the file (before normalising).
    void ShowHtml(const QString& html);
    void FitLineHeights();

    LinkOpener opener_;
    QColor background_{Qt::white};
    bool outlined_ = false;
};

}  // namespace vemo
