#include "tools/vemo-quote/TerminalTable.h"

#include <algorithm>
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

std::string FormatTerminalTable(const TickerSettings& settings, QuoteBatch& batch, bool colour) {
    std::vector<const Column*> shown;
    for (const Column& column : Columns) {
        if ((settings.pageContent & column.bit) != 0) {
            shown.push_back(&column);
        }
    }

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
        for (const Column* column : shown) {
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
        rows.push_back(std::move(row));
    }

    const bool header = (settings.pageContent & showHeader) != 0;
    std::vector<std::size_t> widths(shown.size(), 0);
    for (std::size_t c = 0; c < shown.size(); ++c) {
        widths[c] = header ? DisplayWidth(shown[c]->header) : 0;
        for (const Row& row : rows) {
            widths[c] = std::max(widths[c], DisplayWidth(row.cells[c]));
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
    if ((settings.pageContent & showRefreshTime) != 0) {
        out += ProviderText(batch.dataTime);
        out += '\n';
    }
    for (auto& record : batch.records) {
        record.reset();
    }
    return out;
}

}  // namespace vemo
