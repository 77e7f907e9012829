#include "app/browser/WebBrowser2.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>

#include <cmath>
#include <string>

#include "quotes/Gbk.h"
#include "tests/browser/TestPage.h"

namespace vemo {
namespace {

using testing::TestQuote;
using testing::TestQuotePage;
using testing::TestQuoteToolTip;

const QColor PageBackground(0xFF, 0xFF, 0xE6);
const QColor UpColour(0xFF, 0x00, 0x00);
const QColor DownColour(0x00, 0x99, 0x00);
const QColor SeparatorColour(0x00, 0x00, 0xCC);

// The default window's view: three columns at font size 1 and two quotes.
constexpr int ViewWidth = 185;
constexpr int ViewHeight = 79;
// The page's body margin and the height of a table row at its 12-pixel text.
constexpr int BodyMargin = 5;
constexpr int RowHeight = 18;

// Rising to 7.65 (+2.00%) and falling to 9480.12 (-0.21%).
std::vector<TestQuote> TwoQuotes() {
    return {{"600000", "浦发银行", 7.50f, 7.65f}, {"399001", "深证成指", 9500.00f, 9480.12f}};
}

class BrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("vemotmp.htm"));
        view_.resize(ViewWidth, ViewHeight);
        view_.show();
    }

    // Stores `page` as the renderer does: GBK bytes.
    void WritePage(const QString& page) {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const std::string gbk = Utf8ToGbk(page.toStdString());
        ASSERT_EQ(file.write(gbk.data(), static_cast<qint64>(gbk.size())),
                  static_cast<qint64>(gbk.size()));
    }

    // The laid-out rectangle (viewport pixels) of the text block holding `text`.
    QRect BlockRect(const QString& text) {
        const QTextCursor cursor = view_.document()->find(text);
        EXPECT_FALSE(cursor.isNull()) << text.toStdString();
        return view_.document()
            ->documentLayout()
            ->blockBoundingRect(cursor.block())
            .toAlignedRect()
            .translated(-view_.horizontalScrollBar()->value(), -view_.verticalScrollBar()->value());
    }

    // Where a browser puts row `row` of the default table (0 the header, then the quotes, then
    // the time): the body margin, then rows of 14-pixel lines with 2 pixels of padding above and
    // below, and the one-pixel separator under the header. `text` gives the column.
    QRect CellArea(const QString& text, int row) {
        const QRect block = BlockRect(text);
        const int top = BodyMargin + row * RowHeight + (row > 0 ? 1 : 0);
        return QRect(block.left(), top, block.width(), RowHeight);
    }

    QImage Grab() { return view_.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QTemporaryDir dir_;
    QString path_;
    CWebBrowser2 view_;
};

TEST_F(BrowserTest, NavigateReadsTheFileAfreshEachTime) {
    QSignalSpy shown(&view_, &CWebBrowser2::PageShown);
    WritePage(QStringLiteral("<html><body>第一页 first</body></html>"));
    ASSERT_TRUE(view_.Navigate(path_));
    EXPECT_TRUE(view_.toPlainText().contains(QStringLiteral("第一页 first")));

    WritePage(QStringLiteral("<html><body>第二页 second</body></html>"));
    ASSERT_TRUE(view_.Navigate(path_));
    EXPECT_TRUE(view_.toPlainText().contains(QStringLiteral("第二页 second")));
    EXPECT_FALSE(view_.toPlainText().contains(QStringLiteral("first")));
    EXPECT_EQ(shown.count(), 2);
    EXPECT_FALSE(view_.isBackwardAvailable());
}

TEST_F(BrowserTest, DecodesGbkBeyondGb2312) {
    // 镕 and 堃 are GBK but not GB2312, which the page declares.
    WritePage(TestQuotePage(
        {{"600001", "朱镕基金", 1.25f, 1.234f}, {"600002", "堃华股份", 10.09f, 10.10f}}));
    ASSERT_TRUE(view_.Navigate(path_));
    const QString text = view_.toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("朱镕基金"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("堃华股份")));
    EXPECT_TRUE(text.contains(QStringLiteral("涨跌(%)")));
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
}

// The window hands the renderer's bytes over without the file: they show as the file would.
TEST_F(BrowserTest, PageBytesShowAsThePageFileDoes) {
    const QString page = TestQuotePage(TwoQuotes());
    WritePage(page);
    ASSERT_TRUE(view_.Navigate(path_));
    const QString fromFile = view_.toHtml();

    view_.clear();
    QSignalSpy shown(&view_, &CWebBrowser2::PageShown);
    const std::string gbk = Utf8ToGbk(page.toStdString());
    ASSERT_TRUE(view_.ShowPage(QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size()))));
    EXPECT_EQ(view_.toHtml(), fromFile);
    EXPECT_TRUE(view_.toPlainText().contains(QStringLiteral("浦发银行")));
    EXPECT_EQ(view_.PageBackground(), PageBackground);
    EXPECT_EQ(shown.count(), 1);

    // Too large a page is refused and leaves the shown one.
    EXPECT_FALSE(view_.ShowPage(QByteArray(CWebBrowser2::MaxPageFileBytes + 1, 'x')));
    EXPECT_TRUE(view_.toPlainText().contains(QStringLiteral("浦发银行")));
    EXPECT_EQ(shown.count(), 1);
}

TEST_F(BrowserTest, AFailedNavigateKeepsThePageOnScreen) {
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    const QString before = view_.toPlainText();
    QSignalSpy shown(&view_, &CWebBrowser2::PageShown);

    EXPECT_FALSE(view_.Navigate(dir_.filePath(QStringLiteral("missing.htm"))));
    EXPECT_FALSE(view_.Navigate(dir_.path()));  // a folder
    EXPECT_FALSE(view_.Navigate(QString()));
    {
        QFile big(dir_.filePath(QStringLiteral("big.htm")));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(CWebBrowser2::MaxPageFileBytes + 1));
    }
    EXPECT_FALSE(view_.Navigate(dir_.filePath(QStringLiteral("big.htm"))));

    EXPECT_EQ(view_.toPlainText(), before);
    EXPECT_EQ(view_.PageBackground(), PageBackground);
    EXPECT_EQ(shown.count(), 0);
}

TEST_F(BrowserTest, LinkClickHandsTheWholeUrlToTheOpener) {
    QList<QUrl> opened;
    view_.SetLinkOpener([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    const QString before = view_.toPlainText();

    QTest::mouseClick(view_.viewport(), Qt::LeftButton, {},
                      BlockRect(QStringLiteral("深证成指")).center());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded),
              "http://www.quorvane.com/client/vemoskip.php?Ver=43&Dts=2&Code=399001");

    // A click beside the links opens nothing; the view stays on its page.
    QTest::mouseClick(view_.viewport(), Qt::LeftButton, {},
                      BlockRect(QStringLiteral("7.65")).center());
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(view_.toPlainText(), before);
    EXPECT_TRUE(view_.source().isEmpty());
}

TEST_F(BrowserTest, OnlyWebLinksReachTheOpener) {
    QList<QUrl> opened;
    view_.SetLinkOpener([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    WritePage(QStringLiteral(
        "<html><body><p><a href=file:///etc/passwd>file</a></p><p><a "
        "href=javascript:alert(1)>js</a>"
        "</p><p><a href=other.htm>relative</a></p><p><a href=ftp://example.com/x>ftp</a></p>"
        "<p><a href=HTTPS://example.com/x?a=1&b=2>web</a></p></body></html>"));
    view_.resize(300, 200);
    ASSERT_TRUE(view_.Navigate(path_));
    for (const char* text : {"file", "js", "relative", "ftp", "web"}) {
        const QRect block = BlockRect(QString::fromLatin1(text));
        QTest::mouseClick(view_.viewport(), Qt::LeftButton, {},
                          QPoint(block.left() + 3, block.center().y()));
    }
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded), "https://example.com/x?a=1&b=2");

    EXPECT_FALSE(view_.OpenLink(QUrl(QStringLiteral("mailto:someone@example.com"))));
    EXPECT_FALSE(view_.OpenLink(QUrl(QStringLiteral("http://"))));
    EXPECT_FALSE(view_.OpenLink(QUrl(QStringLiteral("ftp://www.quorvane.com/"))));
    EXPECT_TRUE(view_.OpenLink(QUrl(QStringLiteral("http://www.quorvane.com/"))));
    EXPECT_EQ(opened.size(), 2);
    // An opener that fails reports it.
    view_.SetLinkOpener([](const QUrl&) { return false; });
    EXPECT_FALSE(view_.OpenLink(QUrl(QStringLiteral("http://www.quorvane.com/"))));
}

TEST_F(BrowserTest, LinkTitlesShowAsToolTipsWithLineBreaks) {
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    const QPoint onLink = BlockRect(QStringLiteral("浦发银行")).center();
    EXPECT_EQ(view_.ToolTipAt(onLink), TestQuoteToolTip("浦发银行", "600000"));
    EXPECT_EQ(view_.ToolTipAt(BlockRect(QStringLiteral("9480.12")).center()), QString());

    QHelpEvent help(QEvent::ToolTip, onLink, view_.viewport()->mapToGlobal(onLink));
    QApplication::sendEvent(view_.viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("最  高: 7.70")));
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("(600000)\n昨收盘")));
    QToolTip::hideText();

    // The ticker is a tool window that never becomes active: it must let tips through.
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    CWebBrowser2 child(&window);
    window.show();
    EXPECT_TRUE(window.testAttribute(Qt::WA_AlwaysShowToolTips));
}

// Pixels of `image` inside `area` that are not the background: they must all be the ink colour
// blended with the background (anti-aliased text), and some must be nearly solid ink.
void ExpectInk(const QImage& image, const QRect& area, const QColor& background,
               const QColor& ink) {
    int inkPixels = 0;
    double strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel == background) {
                continue;
            }
            ++inkPixels;
            const int channels[3][3] = {{background.red(), ink.red(), pixel.red()},
                                        {background.green(), ink.green(), pixel.green()},
                                        {background.blue(), ink.blue(), pixel.blue()}};
            double coverage = -1;
            for (const auto& c : channels) {
                if (c[0] == c[1]) {
                    ASSERT_NEAR(c[2], c[0], 2) << "pixel " << x << "," << y;
                    continue;
                }
                const double t = double(c[0] - c[2]) / double(c[0] - c[1]);
                if (coverage < 0) {
                    coverage = t;
                } else {
                    ASSERT_NEAR(t, coverage, 0.05) << "pixel " << x << "," << y;
                }
            }
            strongest = std::max(strongest, coverage);
        }
    }
    EXPECT_GT(inkPixels, 10);
    EXPECT_GT(strongest, 0.9);
}

TEST_F(BrowserTest, RendersThePageAsABrowserDoes) {
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    const QImage image = Grab();
    image.save(QDir::temp().filePath(QStringLiteral("vemo-browser-test.png")));

    EXPECT_EQ(view_.PageBackground(), PageBackground);
    EXPECT_EQ(image.pixelColor(0, 0), PageBackground);
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), PageBackground);

    ExpectInk(image, CellArea(QStringLiteral("简称"), 0), PageBackground, Qt::black);
    ExpectInk(image, CellArea(QStringLiteral("涨跌(%)"), 0), PageBackground, Qt::black);
    ExpectInk(image, CellArea(QStringLiteral("浦发银行"), 1), PageBackground, QColor(0, 0, 0xFF));
    ExpectInk(image, CellArea(QStringLiteral("7.65"), 1), PageBackground, UpColour);
    ExpectInk(image, CellArea(QStringLiteral("+2.00%"), 1), PageBackground, UpColour);
    ExpectInk(image, CellArea(QStringLiteral("9480.12"), 2), PageBackground, DownColour);
    ExpectInk(image, CellArea(QStringLiteral("-0.21%"), 2), PageBackground, DownColour);
    ExpectInk(image, CellArea(QString::fromLatin1(testing::TestDataTime), 3), PageBackground,
              Qt::black);

    // The separator: exactly one pixel row of #0000CC under the header, across the whole table.
    QList<int> separatorRows;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == SeparatorColour;
        }
        if (count > 0) {
            separatorRows.append(y);
            EXPECT_EQ(count, image.width() - 2 * BodyMargin);
            EXPECT_EQ(image.pixelColor(BodyMargin, y), SeparatorColour);
        }
    }
    EXPECT_EQ(separatorRows, QList<int>{BodyMargin + RowHeight});

    EXPECT_FALSE(view_.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view_.verticalScrollBar()->isVisible());
}

// Pixels of `image` whose colour is none of `colours`.
int PixelsOutside(const QImage& image, const QList<QColor>& colours) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += !colours.contains(image.pixelColor(x, y));
        }
    }
    return count;
}

TEST_F(BrowserTest, TextWithoutAntialiasingHasOnlyThePagesColours) {
    const QList<QColor> pageColours = {PageBackground, Qt::black,  QColor(0, 0, 0xFF),
                                       UpColour,       DownColour, SeparatorColour};
    view_.SetTextAntialiasing(false);
    // The setting holds for every page shown after it. The glyphs' outline adds white.
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    EXPECT_EQ(PixelsOutside(Grab(), pageColours + QList<QColor>{Qt::white}), 0);
    EXPECT_GT(PixelsOutside(Grab(), pageColours), 50);

    // Anti-aliased text blends into the background, and has no outline.
    view_.SetTextAntialiasing(true);
    EXPECT_GT(PixelsOutside(Grab(), pageColours), 50);
    EXPECT_EQ(Grab().pixelColor(0, 0), PageBackground);
}

// Columns of `area` that hold something other than the background.
std::pair<int, int> InkColumns(const QImage& image, const QRect& area, const QColor& background) {
    int first = -1;
    int last = -1;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (image.pixelColor(x, y) != background) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

TEST_F(BrowserTest, AlignsNumbersRightAndHeadersInTheMiddle) {
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    const QImage image = Grab();

    const std::pair<const char*, int> numbers[] = {
        {"7.65", 1}, {"+2.00%", 1}, {"9480.12", 2}, {"-0.21%", 2}};
    for (const auto& [number, row] : numbers) {
        const QRect cell = CellArea(QString::fromUtf8(number), row);
        const auto [first, last] = InkColumns(image, cell, PageBackground);
        EXPECT_GE(last, cell.right() - 2) << number;
        EXPECT_GT(first, cell.left() + 2) << number;
    }
    for (const char* header : {"简称", "最新价", "涨跌(%)"}) {
        const QRect cell = CellArea(QString::fromUtf8(header), 0);
        const auto [first, last] = InkColumns(image, cell, PageBackground);
        EXPECT_GT(first, cell.left() + 2) << header;
        EXPECT_NEAR((first + last) / 2.0, (cell.left() + cell.right()) / 2.0, 2.0) << header;
    }
}

TEST_F(BrowserTest, ShowsNoScrollBarsWhenThePageIsTallerThanTheView) {
    std::vector<std::string> codes;
    for (int i = 0; i < 30; ++i) {
        codes.push_back(std::to_string(600000 + i));
    }
    std::vector<TestQuote> many;
    for (const std::string& code : codes) {
        many.push_back({code.c_str(), "股票", 1.0f, 1.0f});
    }
    WritePage(TestQuotePage(many));
    ASSERT_TRUE(view_.Navigate(path_));
    EXPECT_GT(view_.ContentSize().height(), ViewHeight);
    EXPECT_FALSE(view_.verticalScrollBar()->isVisible());
    EXPECT_FALSE(view_.horizontalScrollBar()->isVisible());

    // The wheel does not scroll the page either.
    QWheelEvent wheel(QPointF(50, 40), view_.viewport()->mapToGlobal(QPointF(50, 40)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view_.viewport(), &wheel);
    EXPECT_EQ(view_.verticalScrollBar()->value(), 0);
}

TEST_F(BrowserTest, TheDefaultTableFitsTheDefaultWindow) {
    WritePage(TestQuotePage(TwoQuotes()));
    ASSERT_TRUE(view_.Navigate(path_));
    // Margin, header, separator, two quotes and the time row.
    const QSize size = view_.ContentSize();
    EXPECT_LE(size.width(), ViewWidth);
    EXPECT_GE(size.height(), BodyMargin + 4 * RowHeight + 1);
    EXPECT_LE(size.height(), ViewHeight);
}

TEST(BrowserFont, PageFontResolvesToAnInstalledChineseFont) {
    CWebBrowser2 view;
    const QString family = CWebBrowser2::ChineseFontFamily();
    ASSERT_FALSE(family.isEmpty());
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("宋体"))).family(), family);
    EXPECT_EQ(QFontInfo(view.font()).family(), family);
}

}  // namespace
}  // namespace vemo
