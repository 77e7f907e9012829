#include "app/browser/WebBrowser2.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QToolTip>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>

#include "app/browser/GlyphOutline.h"
#include "app/browser/PageHtml.h"
#include "quotes/Gbk.h"

namespace vemo {

namespace {

// The family the page asks for (SimSun, written in Chinese).
constexpr char16_t PageFontFamily[] = u"宋体";

// Browsers' default text size and body margin, for pages that set none.
constexpr int DefaultFontPixelSize = 16;
constexpr int DefaultBodyMargin = 8;

// The page is laid out for SimSun, whose lines are two pixels higher than its text size. The
// fonts that stand in for it on Linux have taller lines, which would push the table's last row
// out of the window fitted to it; lines keep SimSun's height instead.
constexpr int LineGap = 2;

// Makes the page's font family resolve to an installed Chinese font, once per process.
void InstallPageFontSubstitution() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QString family = CWebBrowser2::ChineseFontFamily();
        const QString pageFamily = QString::fromUtf16(PageFontFamily);
        if (!family.isEmpty() && family != pageFamily) {
            QFont::insertSubstitution(pageFamily, family);
        }
    });
}

// The tool tip as rich text, so that its blanks and line breaks show exactly as written.
QString ToolTipMarkup(const QString& text) {
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

}  // namespace

CWebBrowser2::CWebBrowser2(QWidget* parent)
    : QTextBrowser(parent),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    InstallPageFontSubstitution();

    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::NoFocus);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // Links only: no text cursor, no selection, no keyboard focus frame around links.
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    // The ticker is a frameless tool window that is never active; without this Qt sends no
    // tool-tip events to it.
    setAttribute(Qt::WA_AlwaysShowToolTips);

    QFont pageFont = font();
    const QString family = ChineseFontFamily();
    if (!family.isEmpty()) {
        pageFont.setFamilies({family});
    }
    pageFont.setPixelSize(DefaultFontPixelSize);
    setFont(pageFont);

    QPalette colours = palette();
    colours.setColor(QPalette::Text, Qt::black);
    colours.setColor(QPalette::Link, QColor(0x00, 0x00, 0xFF));
    colours.setColor(QPalette::LinkVisited, QColor(0x80, 0x00, 0x80));
    setPalette(colours);
    ShowHtml(QString());

    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { OpenLink(url); });
}

bool CWebBrowser2::Navigate(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.read(MaxPageFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    return ShowPage(bytes);
}

bool CWebBrowser2::ShowPage(const QByteArray& bytes) {
    if (bytes.size() > MaxPageFileBytes) {
        return false;
    }
    QString html;
    try {
        html = QString::fromStdString(
            GbkToUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    } catch (...) {
        return false;
    }
    ShowHtml(html);
    emit PageShown();
    return true;
}

void CWebBrowser2::ShowHtml(const QString& html) {
    setHtml(NormalisePageHtml(html));
    clearHistory();

    // Qt applies a margin that the page gives its body; a page that gives none gets a
    // browser's default margin instead of Qt's.
    document()->setDocumentMargin(PageBodyMargin(html) >= 0 ? 0 : DefaultBodyMargin);
    FitLineHeights();

    const QBrush pageBrush = document()->rootFrame()->frameFormat().background();
    background_ = pageBrush.style() == Qt::NoBrush ? QColor(Qt::white) : pageBrush.color();
    // The area around the document shows the page's colour too, as in a browser window.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, background_);
    colours.setColor(QPalette::Window, background_);
    setPalette(colours);
}

void CWebBrowser2::FitLineHeights() {
    const QFont defaultFont = document()->defaultFont();
    const auto pixelSize = [&defaultFont](const QTextCharFormat& format) {
        return QFontInfo(format.font().resolve(defaultFont)).pixelSize();
    };
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        if (format.hasProperty(QTextFormat::LineHeightType) &&
            format.lineHeightType() != QTextBlockFormat::SingleHeight) {
            continue;  // the page set this line's height itself
        }
        QTextBlockFormat lineHeight;
        if (block.text().isEmpty() && !block.next().isValid() && block.previous().isValid() &&
            QTextCursor(block.previous()).currentTable() && !QTextCursor(block).currentTable()) {
            // Qt ends every document with a block, also right after a closing table, where a
            // browser has nothing.
            lineHeight.setLineHeight(0, QTextBlockFormat::FixedHeight);
            lineHeight.setTopMargin(0);
            lineHeight.setBottomMargin(0);
            cursor.setPosition(block.position());
            cursor.mergeBlockFormat(lineHeight);
            continue;
        }
        int pixels = pixelSize(block.charFormat());
        if (!block.text().isEmpty()) {
            pixels = 0;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                pixels = std::max(pixels, pixelSize(it.fragment().charFormat()));
            }
        }
        lineHeight.setLineHeight(pixels + LineGap, QTextBlockFormat::FixedHeight);
        cursor.setPosition(block.position());
        cursor.mergeBlockFormat(lineHeight);
    }
    cursor.endEditBlock();
}

void CWebBrowser2::SetTextAntialiasing(bool on) {
    const QFont::StyleStrategy strategy = on ? QFont::PreferDefault : QFont::NoAntialias;
    QFont pageFont = font();
    pageFont.setStyleStrategy(strategy);
    setFont(pageFont);
    // The page's texts take what they do not set themselves from the document's font.
    QFont documentFont = document()->defaultFont();
    documentFont.setStyleStrategy(strategy);
    document()->setDefaultFont(documentFont);
    outlined_ = !on;
    viewport()->update();
}

void CWebBrowser2::paintEvent(QPaintEvent* event) {
    if (!outlined_) {
        QTextBrowser::paintEvent(event);
        return;
    }
    // The page is drawn off screen on its background, outlined, and then shown as a whole.
    QImage page(viewport()->size(), QImage::Format_RGB32);
    page.fill(background_);
    {
        QPainter painter(&page);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
        document()->drawContents(&painter, QRectF(QPointF(horizontalScrollBar()->value(),
                                                          verticalScrollBar()->value()),
                                                  QSizeF(page.size())));
    }
    QPainter screen(viewport());
    screen.drawImage(0, 0, OutlineGlyphs(page, background_.rgb()));
}

void CWebBrowser2::SetLinkOpener(LinkOpener opener) {
    opener_ = std::move(opener);
}

bool CWebBrowser2::IsOpenableLink(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

bool CWebBrowser2::OpenLink(const QUrl& url) {
    if (!IsOpenableLink(url) || !opener_) {
        return false;
    }
    return opener_(url);
}

QString CWebBrowser2::ToolTipAt(const QPoint& viewportPos) const {
    const QPointF documentPos = QPointF(viewportPos) + QPointF(horizontalScrollBar()->value(),
                                                               verticalScrollBar()->value());
    return document()->documentLayout()->formatAt(documentPos).toCharFormat().toolTip();
}

QSize CWebBrowser2::ContentSize() const {
    QTextDocument* page = document();
    return QSize(qCeil(page->idealWidth()), qCeil(page->size().height()));
}

QString CWebBrowser2::ChineseFontFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        // The page's own font first, then fonts of a similar look that Linux systems carry.
        static const char16_t* const preferred[] = {u"SimSun",
                                                    u"NSimSun",
                                                    u"WenQuanYi Zen Hei",
                                                    u"WenQuanYi Micro Hei",
                                                    u"Noto Sans CJK SC",
                                                    u"Source Han Sans SC",
                                                    u"Noto Serif CJK SC",
                                                    u"AR PL UMing CN",
                                                    u"Droid Sans Fallback"};
        for (const char16_t* name : preferred) {
            const QString candidate = QString::fromUtf16(name);
            if (installed.contains(candidate, Qt::CaseInsensitive)) {
                return candidate;
            }
        }
        return installed.isEmpty() ? QString() : installed.first();
    }();
    return family;
}

bool CWebBrowser2::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = ToolTipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // The tip stays while the pointer is over the text block it belongs to.
            const QPointF documentPos =
                QPointF(help->pos()) +
                QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
            const int position = document()->documentLayout()->hitTest(documentPos, Qt::ExactHit);
            QRect area;
            if (position >= 0) {
                area =
                    document()
                        ->documentLayout()
                        ->blockBoundingRect(document()->findBlock(position))
                        .toAlignedRect()
                        .translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
            }
            QToolTip::showText(help->globalPos(), ToolTipMarkup(tip), viewport(), area);
        }
        return true;
    }
    return QTextBrowser::viewportEvent(event);
}

void CWebBrowser2::wheelEvent(QWheelEvent* event) {
    // The page does not scroll (it is shown with "scroll=no").
    event->ignore();
}

void CWebBrowser2::showEvent(QShowEvent* event) {
    QTextBrowser::showEvent(event);
    // Qt decides on tool tips by the top-level window's attribute; the ticker window is never
    // active, so it needs the attribute for the page's tips to appear.
    if (QWidget* top = window(); top != this) {
        top->setAttribute(Qt::WA_AlwaysShowToolTips);
    }
}

}  // namespace vemo
