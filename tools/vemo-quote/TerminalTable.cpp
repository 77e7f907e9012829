#include "tools/vemo-quote/TerminalTable.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/QuoteCells.h"

namespace vemo {

namespace {

struct Column {
    std::uint32_t bit;
    const char* header;
    bool leftAligned;
};

constexpr Column Columns[] = {
    {showCode, "代码", true},
    {showName, "简称", true},
    {showPrice, "最新价", false},
    {showChangeAmount, "涨跌(元)", false},
    {showChangePercent, "涨跌(%)", false},
};

// The columns the holdings add; their bits are no page-content bits.
constexpr Column ProfitColumns[] = {
    {0, "当日盈亏", false},
    {0, "持仓盈亏", false},
};

// Today's profit of the sums in percent of yesterday's value.
std::string TodayPercent(const HoldingTotals& totals) {
    return FormatRatioPercent(totals.todayProfit, totals.prevCloseValue);
}

// A price in millionths of a yuan as the page writes prices: two decimals, three when the third
// is not 0; a later decimal rounds half away from zero.
std::string PriceText(std::int64_t units) {
    const bool negative = units < 0;
    const std::int64_t thousandths = ((negative ? -units : units) + 500) / 1000;
    char text[48];
    if (thousandths % 10 == 0) {
        std::snprintf(text, sizeof text, "%s%lld.%02lld", negative && thousandths != 0 ? "-" : "",
                      static_cast<long long>(thousandths / 1000),
                      static_cast<long long>(thousandths % 1000 / 10));
    } else {
        std::snprintf(text, sizeof text, "%s%lld.%03lld", negative ? "-" : "",
                      static_cast<long long>(thousandths / 1000),
                      static_cast<long long>(thousandths % 1000));
    }
    return text;
}

// Terminal columns a UTF-8 text takes: the CJK characters of these tables are two wide.
std::size_t DisplayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        width += length >= 3 ? 2 : 1;
        i += length;
    }
    return width;
}

std::string Pad(const std::string& text, std::size_t width, bool left) {
    const std::size_t shown = DisplayWidth(text);
    const std::string fill(width > shown ? width - shown : 0, ' ');
    return left ? text + fill : fill + text;
}

// A provider's text field, up to its terminator, for the terminal.
template <std::size_t N>
std::string ProviderText(const char (&field)[N]) {
    return TerminalProviderText(FieldText(field));
}

}  // namespace

std::string TerminalSafe(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out += '?';
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out += '?';  // U+0080 to U+009F, two bytes in UTF-8
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::string TerminalProviderText(std::string_view gbk) {
    return TerminalSafe(GbkToUtf8(gbk));
}

std::string FormatTerminalTable(const TickerSettings& settings, QuoteBatch& batch, bool colour,
                                const HoldingTable* holdings) {
    std::vector<const Column*> shown;
    for (const Column& column : Columns) {
        if ((settings.pageContent & column.bit) != 0) {
            shown.push_back(&column);
        }
    }
    const std::size_t quoteColumns = shown.size();
    if (holdings != nullptr && !holdings->AnyListed(FieldText(settings.codeList))) {
        holdings = nullptr;
    }
    if (holdings != nullptr) {
        shown.push_back(&ProfitColumns[0]);
        shown.push_back(&ProfitColumns[1]);
    }
    HoldingTotals totals;

    struct Row {
        std::vector<std::string> cells;
        bool rising;
    };
    std::vector<Row> rows;
    const int count = std::clamp(batch.count, 0, MaxQuotes);
    for (int i = 0; i < count; ++i) {
        const QuoteRecord* record = batch.records[i].get();
        if (record == nullptr) {
            continue;
        }
        const QuoteCells cells = FormatQuoteCells(*record);
        Row row{{}, cells.rising};
        for (std::size_t c = 0; c < quoteColumns; ++c) {
            const Column* column = shown[c];
            if (column->bit == showCode) {
                row.cells.push_back(ProviderText(record->code));
            } else if (column->bit == showName) {
                row.cells.push_back(ProviderText(record->name));
            } else if (column->bit == showPrice) {
                row.cells.push_back(cells.price);
            } else if (column->bit == showChangeAmount) {
                row.cells.push_back(cells.change);
            } else {
                row.cells.push_back(cells.percent);
            }
        }
        if (holdings != nullptr) {
            const Holding* holding = holdings->Find(FieldText(record->code));
            if (holding == nullptr) {
                row.cells.resize(row.cells.size() + 2);
            } else {
                const HoldingFigures figures = FigureHolding(*holding, *record);
                totals.Add(figures);
                const HoldingCells held = FormatHoldingCells(figures, true);
                row.cells.push_back(held.todayProfit);
                row.cells.push_back(held.totalProfit);
            }
        }
        rows.push_back(std::move(row));
    }
    std::optional<Row> sums;
    if (holdings != nullptr) {
        sums = Row{{}, false};
        for (std::size_t c = 0; c < quoteColumns; ++c) {
            sums->cells.push_back(c == 0                                 ? std::string("合计")
                                  : shown[c]->bit == showChangePercent ? TodayPercent(totals)
                                                                       : std::string());
        }
        sums->cells.push_back(FormatMoney(totals.todayProfit, true));
        sums->cells.push_back(FormatMoney(totals.totalProfit, true));
    }

    const bool header = (settings.pageContent & showHeader) != 0;
    std::vector<std::size_t> widths(shown.size(), 0);
    for (std::size_t c = 0; c < shown.size(); ++c) {
        widths[c] = header ? DisplayWidth(shown[c]->header) : 0;
        for (const Row& row : rows) {
            widths[c] = std::max(widths[c], DisplayWidth(row.cells[c]));
        }
        if (sums) {
            widths[c] = std::max(widths[c], DisplayWidth(sums->cells[c]));
        }
    }

    std::string out;
    auto line = [&](const std::vector<std::string>& cells, const char* start, const char* end) {
        out += start;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) {
                out += "  ";
            }
            out += Pad(cells[c], widths[c], shown[c]->leftAligned);
        }
        out += end;
        out += '\n';
    };
    if (header && !shown.empty()) {
        std::vector<std::string> titles;
        for (const Column* column : shown) {
            titles.emplace_back(column->header);
        }
        line(titles, colour ? "\033[1m" : "", colour ? "\033[0m" : "");
    }
    for (const Row& row : rows) {
        const char* start = !colour ? "" : row.rising ? "\033[31m" : "\033[32m";
        line(row.cells, start, colour ? "\033[0m" : "");
    }
    if (sums) {
        line(sums->cells, "", "");
    }
    if ((settings.pageContent & showRefreshTime) != 0) {
        out += ProviderText(batch.dataTime);
        out += '\n';
    }
    for (auto& record : batch.records) {
        record.reset();
    }
    return out;
}

std::string FormatHoldingsTsv(const QuoteBatch& batch, const HoldingTable& holdings) {
    std::string out;
    const auto line = [&out](std::initializer_list<std::string_view> fields) {
        bool first = true;
        for (const std::string_view field : fields) {
            if (!first) {
                out += '\t';
            }
            out += field;
            first = false;
        }
        out += '\n';
    };
    HoldingTotals totals;
    const int count = std::clamp(batch.count, 0, MaxQuotes);
    for (int i = 0; i < count; ++i) {
        const QuoteRecord* record = batch.records[static_cast<std::size_t>(i)].get();
        if (record == nullptr) {
            continue;
        }
        const QuoteCells cells = FormatQuoteCells(*record);
        const std::string code = ProviderText(record->code);
        const std::string name = ProviderText(record->name);
        const std::string prevClose = PriceText(record->exactPrevClose);
        const Holding* holding = holdings.Find(FieldText(record->code));
        if (holding == nullptr) {
            line({code, name, cells.price, prevClose, cells.change, cells.percent, "", "", "", "",
                  "", ""});
            continue;
        }
        const HoldingFigures figures = FigureHolding(*holding, *record);
        totals.Add(figures);
        const HoldingCells held = FormatHoldingCells(figures, false);
        line({code, name, cells.price, prevClose, cells.change, cells.percent,
              std::to_string(holding->shares), PriceText(holding->cost), held.marketValue,
              held.todayProfit, held.totalProfit, held.totalPercent});
    }
    line({"合计", "", "", "", "", TodayPercent(totals), "", "", FormatMoney(totals.marketValue, false),
          FormatMoney(totals.todayProfit, false), FormatMoney(totals.totalProfit, false),
          FormatRatioPercent(totals.totalProfit, totals.costValue)});
    return out;
}

}  // namespace vemo
