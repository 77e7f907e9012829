#include "app/browser/PageHtml.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include "tests/browser/TestPage.h"

namespace vemo {
namespace {

using testing::TestQuotePage;
using testing::TestQuoteToolTip;

const QString FullLink =
    QStringLiteral("http://www.quorvane.com/client/vemoskip.php?Ver=43&Dts=2&Code=600000");

// Rising to 7.65 (+2.00%) and falling to 9480.12 (-0.21%).
QString Page() {
    return TestQuotePage(
        {{"600000", "浦发银行", 7.50f, 7.65f}, {"399001", "深证成指", 9500.00f, 9480.12f}});
}

// The character format Qt gives the first occurrence of `text`.
QTextCharFormat FormatOf(QTextDocument& document, const QString& text) {
    QTextCursor cursor = document.find(text);
    EXPECT_FALSE(cursor.isNull()) << text.toStdString();
    // A selection reports the format of its last character.
    return cursor.charFormat();
}

TEST(NormalisePageHtml, QuotesTheRenderersLinkSoTheWholeTagSurvives) {
    const QString html = NormalisePageHtml(Page());
    EXPECT_TRUE(html.contains(
        "<a href=\"http://www.quorvane.com/client/vemoskip.php?Ver=43&amp;Dts=2&amp;Code=600000\" "
        "target=\"_blank\" title=\"浦发银行(600000)&#10;昨收盘: 7.50&#10;"))
        << html.toStdString();
    EXPECT_TRUE(html.contains("成交额: 9500.00\" class=\"cjc\">浦发银行</a>"));

    // And Qt reads the whole link back: href with every parameter, title, class colour.
    QTextDocument document;
    TickerSettings ownColours = DefaultTickerSettings();
    ownColours.optionFlags |= customColors;
    ownColours.nameColor = 0x563412;
    document.setHtml(
        NormalisePageHtml(TestQuotePage({{"600000", "浦发银行", 7.50f, 7.65f}}, ownColours)));
    const QTextCharFormat link = FormatOf(document, QStringLiteral("浦发银行"));
    EXPECT_TRUE(link.isAnchor());
    EXPECT_EQ(link.anchorHref(), FullLink);
    EXPECT_EQ(link.toolTip(), TestQuoteToolTip("浦发银行", "600000"));
    EXPECT_EQ(link.foreground().color(), QColor(0x12, 0x34, 0x56));
}

TEST(NormalisePageHtml, DropsPixelUnitsFromTableLengths) {
    const QString html = NormalisePageHtml(Page());
    EXPECT_TRUE(html.contains(
        "<table cellspacing=\"0\" cellpadding=\"2\" align=\"center\" width=\"100%\">"));
    EXPECT_TRUE(html.contains("height=\"1\""));
    EXPECT_FALSE(html.contains("px\"")) << html.toStdString();

    EXPECT_EQ(NormalisePageHtml("<td width=\" 2.5PX \" border=3px height=7em>"),
              "<td width=\"2.5\" border=\"3\" height=\"7em\">");
    // Other attributes keep their text even when it ends in "px".
    EXPECT_EQ(NormalisePageHtml("<a title=12px>"), "<a title=\"12px\">");

    QTextDocument document;
    document.setHtml(NormalisePageHtml(Page()));
    QTextCursor cursor = document.find(QStringLiteral("最新价"));
    ASSERT_NE(cursor.currentTable(), nullptr);
    EXPECT_EQ(cursor.currentTable()->format().cellSpacing(), 0);
    EXPECT_EQ(cursor.currentTable()->format().cellPadding(), 2);
}

TEST(NormalisePageHtml, CarriesRowClassAndAlignmentOntoCells) {
    const QString html = NormalisePageHtml(Page());
    EXPECT_TRUE(html.contains(
        "<tr class=\"cbt\" align=\"center\"><td class=\"cbt\" align=\"center\">简称</td>"));
    // A cell's own alignment wins over its row's.
    EXPECT_TRUE(
        html.contains("<tr align=\"right\" class=\"cup\"><td align=\"center\" "
                      "class=\"cup\"><a "));
    EXPECT_TRUE(html.contains("<td class=\"cup\" align=\"right\">7.65</td>"));
    EXPECT_TRUE(html.contains("<td class=\"cdn\" align=\"right\">-0.21%</td>"));
    EXPECT_TRUE(
        html.contains("<td colspan=\"3\" align=\"right\" class=\"cbt\">2024-05-10 15:00:03</td>"));
    // The row's attributes end with it: a later row without them gives its cells nothing.
    EXPECT_EQ(NormalisePageHtml("<table><tr class=a align=left valign=top><td>x</td></tr>"
                                "<tr><td>y</td><td class=b>z</td></tr></table><td>w</td>"),
              "<table><tr class=\"a\" align=\"left\" valign=\"top\"><td class=\"a\" "
              "align=\"left\">x</td></tr><tr><td>y</td><td class=\"b\">z</td>"
              "</tr></table><td>w</td>");
    // A nested table has rows of its own; the outer row's context comes back after it.
    EXPECT_EQ(NormalisePageHtml("<table><tr align=right><td><table><tr><td>i</td></tr></table>"
                                "</td><td>o</td></tr></table>"),
              "<table><tr align=\"right\"><td align=\"right\"><table><tr><td>i</td></tr></table>"
              "</td><td align=\"right\">o</td></tr></table>");

    QTextDocument document;
    document.setHtml(html);
    EXPECT_EQ(document.find(QStringLiteral("最新价")).block().blockFormat().alignment() &
                  Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_TRUE(document.find(QStringLiteral("7.65")).block().blockFormat().alignment() &
                Qt::AlignRight);
    EXPECT_EQ(FormatOf(document, QStringLiteral("7.65")).foreground().color(), QColor(Qt::red));
    EXPECT_EQ(FormatOf(document, QStringLiteral("-0.21%")).foreground().color(),
              QColor(0x00, 0x99, 0x00));
}

TEST(NormalisePageHtml, GrowsByAtMostASmallFactorWhateverTheRowCarries) {
    const auto ratio = [](const QString& page) {
        return static_cast<double>(NormalisePageHtml(page).size()) / page.size();
    };
    // A long attribute before many cells is not copied into each of them.
    const QString cells = QStringLiteral("<td>").repeated(2000);
    for (const QString& row :
         {"<tr class=\"" + QString(1000, u'c') + "\">", "<tr align=" + QString(1000, u'a') + ">",
          QStringLiteral("<tr class='a b' align=\"&quot;&quot;&quot;\">"),
          "<tr valign=\"" + QString(1000, u'v') + "\">"}) {
        const QString page = "<table>" + row + cells + "</table>";
        EXPECT_LT(ratio(page), 1.1) << row.left(40).toStdString();
        EXPECT_FALSE(NormalisePageHtml(page).contains("<td ")) << row.left(40).toStdString();
    }
    // The longest values still carried cost a bounded number of bytes per cell.
    for (const int count : {100, 10000}) {
        EXPECT_LT(
            ratio("<tr class=abcdefgh align=justify>" + QStringLiteral("<td>").repeated(count)),
            10);
    }
    EXPECT_EQ(NormalisePageHtml("<tr class=abcdefghi align=center><td>"),
              "<tr class=\"abcdefghi\" align=\"center\"><td align=\"center\">");
}

TEST(NormalisePageHtml, MakesTheEmptySeparatorCellAsHighAsItsHeight) {
    const QString html = NormalisePageHtml(Page());
    EXPECT_TRUE(
        html.contains("<tr><td colspan=\"3\" bgcolor=\"#0000CC\" height=\"1\" "
                      "style=\"padding:0px; line-height:1px; -qt-line-height-type:fixed;\">"
                      "</td></tr>"))
        << html.toStdString();
    // An existing style is kept and extended.
    EXPECT_EQ(NormalisePageHtml("<td height=3 style='color:red'> \n</TD>"),
              "<td height=\"3\" style=\"color:red; padding:0px; line-height:3px; "
              "-qt-line-height-type:fixed;\"> \n</td>");
    // A cell with content is left alone, and so is one with an unusable height.
    EXPECT_EQ(NormalisePageHtml("<td height=1px>x</td>"), "<td height=\"1\">x</td>");
    EXPECT_EQ(NormalisePageHtml("<td height=50%></td>"), "<td height=\"50%\"></td>");
    EXPECT_EQ(NormalisePageHtml("<td height=1></tdx>"), "<td height=\"1\"></tdx>");
    // An end tag with a blank or a slash after its name still ends the cell.
    for (const char* end : {"</td >", "</TD/>", "</td\n/x>"}) {
        EXPECT_EQ(NormalisePageHtml(QStringLiteral("<td height=2>") + end),
                  QStringLiteral("<td height=\"2\" style=\"padding:0px; line-height:2px; "
                                 "-qt-line-height-type:fixed;\">") +
                      NormalisePageHtml(end))
            << end;
    }

    // Laid out by Qt, the separator row adds exactly one pixel between header and quotes.
    const auto quoteTop = [](const QString& page) {
        QTextDocument document;
        document.setTextWidth(185);
        document.setHtml(NormalisePageHtml(page));
        const QTextCursor cursor = document.find(QStringLiteral("7.65"));
        return document.documentLayout()->blockBoundingRect(cursor.block()).top();
    };
    QString withoutSeparator = Page();
    ASSERT_EQ(withoutSeparator.remove("<tr><td colspan=3 bgcolor=\"#0000CC\" height=1px></td></tr>")
                  .size(),
              Page().size() - 57);
    EXPECT_EQ(quoteTop(Page()), quoteTop(withoutSeparator) + 1);
}

TEST(NormalisePageHtml, KeepsReferencesAndEscapesWhatWouldBreakTheQuotes) {
    // References stay as written; bare '&' and quotes inside values are escaped.
    EXPECT_EQ(NormalisePageHtml("<a title='say \"hi\" &amp; &#10;&#x41; &x'>"),
              "<a title=\"say &quot;hi&quot; &amp; &#10;&#x41; &amp;x\">");
    // A number sign without digits, or a name without its ';', is no reference.
    EXPECT_EQ(NormalisePageHtml("<a title='&#; &#x; &amp &;'>"),
              "<a title=\"&amp;#; &amp;#x; &amp;amp &amp;;\">");
    // Normalised text does not change when normalised again.
    const QString once = NormalisePageHtml(Page());
    EXPECT_EQ(NormalisePageHtml(once), once);
}

TEST(NormalisePageHtml, PassesTextCommentsAndStyleSheetsThrough) {
    EXPECT_EQ(NormalisePageHtml("a < b & c > d"), "a < b & c > d");
    EXPECT_EQ(NormalisePageHtml("<!-- <td align=x=y> --><p>"), "<!-- <td align=x=y> --><p>");
    EXPECT_EQ(NormalisePageHtml("<!DOCTYPE html><?xml x?>"), "<!DOCTYPE html><?xml x?>");
    EXPECT_EQ(NormalisePageHtml("<style>td>a{x:1} </style ><td>"), "<style>td>a{x:1} </style><td>");
    // Tags and attribute names read without regard to case; a bare attribute stays bare.
    EXPECT_EQ(NormalisePageHtml("<TR ALIGN=right><TD NOWRAP>1</TD></TR>"),
              "<tr align=\"right\"><td nowrap align=\"right\">1</td></tr>");
    EXPECT_EQ(NormalisePageHtml("<body scroll=no bgcolor=#FFFFE6><font color=#FF0000>x</font>"),
              "<body scroll=\"no\" bgcolor=\"#FFFFE6\"><font color=\"#FF0000\">x</font>");
    EXPECT_EQ(NormalisePageHtml("<meta charset=gb2312/>"), "<meta charset=\"gb2312/\">");
    EXPECT_EQ(NormalisePageHtml("<br/><img src = 'a b' >"), "<br /><img src=\"a b\">");
    // A name that begins with '=' is left out: written after a bare attribute, it would become
    // that attribute's value.
    EXPECT_EQ(NormalisePageHtml("<body bgcolor/=\"#FFFFE6\" =x scroll=no>"),
              "<body bgcolor scroll=\"no\">");
    // A tag cut off by the end of the text is closed; nothing of it is lost.
    EXPECT_EQ(NormalisePageHtml("x<a href=\"http://h/?a=1"), "x<a href=\"http://h/?a=1\">");
    EXPECT_EQ(NormalisePageHtml(QString()), QString());
}

TEST(PageBodyMargin, ReadsTheBodyRuleOfTheStyleSheets) {
    EXPECT_EQ(PageBodyMargin(Page()), 5);
    // The notice pages set none.
    EXPECT_EQ(PageBodyMargin("<html><style>body{border:0; font-size:12px; color:#FF0000}</style>"
                             "<body scroll=no bgcolor=\"#FFFFE6\">x</body></html>"),
              -1);
    EXPECT_EQ(PageBodyMargin("<STYLE type=text/css>/* body{margin:9px} */ p, BODY { margin : 0 }"
                             "</STYLE><style>td{margin:3px} body{margin:7px 2px}</style>"),
              7);
    EXPECT_EQ(PageBodyMargin("<style>body{margin:auto} bodyx{margin:4px}</style>"), -1);
    EXPECT_EQ(PageBodyMargin("<style>body{margin:4px"), 4);
    EXPECT_EQ(PageBodyMargin("<p>body{margin:4px}</p>"), -1);
}

}  // namespace
}  // namespace vemo
