#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vemo::testing {

// One quote row as the renderer writes it.
struct TestQuote {
    QString code;
    QString name;
    QString price;
    QString percent;
    bool up = false;
};

// A table page in the renderer's exact markup (name, price and percent columns with header,
// separator and time rows), as UTF-8 text before it is stored as GBK.
inline QString TestQuotePage(const QList<TestQuote>& quotes, int fontPixels = 12,
                             const QString& nameColour = QStringLiteral("#0000FF")) {
    QString page = QStringLiteral(
                       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html\" "
                       "charset=\"gb2312\" /><title>Quorvane VEMO</title><style>body{border:0;"
                       "margin:5px;font-family:\"宋体\"} table{font-size:%1px;} .cjc{color: %2} "
                       ".cup{color: #FF0000} .cdn{color: #009900} .cbt{color: #000000} "
                       "</style></head><body bgcolor=#FFFFE6 scroll=\"no\" "
                       "oncontextmenu=\"return false\"><table cellspacing=0px cellpadding=2px "
                       "align=center width=100%><tr class=\"cbt\" align=\"center\"><td>简称</td>"
                       "<td>最新价</td><td>涨跌(%)</td></tr><tr><td colspan=3 bgcolor=\"#0000CC\" "
                       "height=1px></td></tr>")
                       .arg(fontPixels)
                       .arg(nameColour);
    for (const TestQuote& quote : quotes) {
        const QString tip = QStringLiteral(
                                "%1(%2)&#10;昨收盘: 7.50&#10;今开盘: 7.52&#10;最  高: 7.70&#10;"
                                "最  低: 7.48&#10;成交量: 123456&#10;成交额: 9500.00")
                                .arg(quote.name, quote.code);
        page += QStringLiteral(
                    "<tr align=\"right\" class=\"%1\"><td align=\"center\"><a "
                    "href=http://www.quorvane.com/client/vemoskip.php?Ver=43&Dts=2&Code=%2 "
                    "target=\"_blank\" title=\"%3\" class=\"cjc\">%4</a></td><td>%5</td>"
                    "<td>%6</td></tr>")
                    .arg(quote.up ? QStringLiteral("cup") : QStringLiteral("cdn"), quote.code, tip,
                         quote.name, quote.price, quote.percent);
    }
    page += QStringLiteral(
        "<tr class=\"cbt\"><td colspan=3 align=right>2024-05-10 15:00:03</td></tr>"
        "</table></body></html>");
    return page;
}

// The tool tip a browser shows for TestQuotePage's row of `name` and `code`.
inline QString TestQuoteToolTip(const QString& name, const QString& code) {
    return QStringLiteral(
               "%1(%2)\n昨收盘: 7.50\n今开盘: 7.52\n最  高: 7.70\n最  低: 7.48\n成交量: 123456\n"
               "成交额: 9500.00")
        .arg(name, code);
}

}  // namespace vemo::testing
