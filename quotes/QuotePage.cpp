#include "quotes/QuotePage.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "net/Endpoints.h"
#include "quotes/Gbk.h"
#include "quotes/MissingCodes.h"
#include "quotes/PageTexts.h"
#include "quotes/QuoteCells.h"
#include "quotes/QuoteFailover.h"
#include "quotes/QuoteUrl.h"
#include "quotes/TextFormat.h"

namespace vemo {

namespace {

// Appends to the caller's page, never past its end and always NUL-terminated; what does not fit
// is cut.
class PageWriter {
  public:
    explicit PageWriter(std::span<char> page) : page_(page) {
        if (!page_.empty()) {
            page_[0] = '\0';
        }
    }

    void Append(std::string_view text) {
        if (page_.empty()) {
            return;
        }
        const std::size_t length = std::min(text.size(), page_.size() - 1 - size_);
        if (length > 0) {
            std::memcpy(page_.data() + size_, text.data(), length);
        }
        size_ += length;
        page_[size_] = '\0';
    }

    void Format(std::string_view format, std::initializer_list<FormatArg> args) {
        if (page_.empty()) {
            return;
        }
        const std::size_t written = FormatText(page_.subspan(size_), format, args);
        size_ += std::min(written, page_.size() - 1 - size_);
    }

    std::size_t Size() const { return size_; }

  private:
    std::span<char> page_;
    std::size_t size_ = 0;
};

struct PageColours {
    char background[ColourTextSize];
    char name[ColourTextSize];
    char up[ColourTextSize];
    char down[ColourTextSize];
    char header[ColourTextSize];
};

PageColours PickColours(const TickerSettings& settings) {
    PageColours colours;
    if (settings.optionFlags & customColors) {
        FormatHtmlColour(colours.background, settings.backgroundColor);
        FormatHtmlColour(colours.name, settings.nameColor);
        FormatHtmlColour(colours.up, settings.upColor);
        FormatHtmlColour(colours.down, settings.downColor);
        FormatHtmlColour(colours.header, settings.headerColor);
    } else {
        std::memcpy(colours.background, "#FFFFE6", ColourTextSize);
        std::memcpy(colours.name, "#0000FF", ColourTextSize);
        std::memcpy(colours.up, "#FF0000", ColourTextSize);
        std::memcpy(colours.down, "#009900", ColourTextSize);
        std::memcpy(colours.header, "#000000", ColourTextSize);
    }
    return colours;
}

void WriteNoticePage(PageWriter& page, const PageColours& colours, const char* message) {
    page.Format(
        "<html><style>body{border:0; font-size:12px; color:#FF0000}</style>"
        "<body scroll=no bgcolor=\"%s\">%s</body></html>",
        {colours.background, message});
}

int ColumnCount(std::uint32_t content) {
    return std::max(std::popcount(content & ColumnBits), 1);
}

// Today's and the total profit.
constexpr int HoldingColumns = 2;
// The width the window gives them, in quote columns: sums run to seven digits and more.
constexpr int HoldingColumnsWidth = 2 * HoldingColumns;

// The holdings the page shows: only when one of them is a code of the list.
const HoldingTable* ShownHoldings(const TickerSettings& settings, const HoldingTable* holdings) {
    const std::string_view codeList(settings.codeList,
                                    strnlen(settings.codeList, sizeof settings.codeList));
    return holdings != nullptr && holdings->AnyListed(codeList) ? holdings : nullptr;
}

// Enough for a provider field of `size` bytes of which every byte is escaped.
constexpr std::size_t EscapedSize(std::size_t size) {
    return size * 6 + 1;
}
constexpr std::size_t EscapedTextSize = EscapedSize(QuoteTextSize);

// Provider texts (name, code, data time) go into markup and attribute values: the characters
// that would end them are written as entities. GBK trail bytes never take these values.
template <std::size_t Size>
void EscapeField(const char (&field)[Size], char (&out)[EscapedSize(Size)]) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < Size && field[i] != '\0'; ++i) {
        std::string_view piece(&field[i], 1);
        switch (field[i]) {
            case '&':
                piece = "&amp;";
                break;
            case '<':
                piece = "&lt;";
                break;
            case '>':
                piece = "&gt;";
                break;
            case '"':
                piece = "&quot;";
                break;
            default:
                break;
        }
        std::memcpy(out + at, piece.data(), piece.size());
        at += piece.size();
    }
    out[at] = '\0';
}

// "<td>%s</td>"
void Cell(PageWriter& page, std::string_view text) {
    page.Append("<td>");
    page.Append(text);
    page.Append("</td>");
}

// The background of a row whose alert fired.
constexpr char AlertRowColour[] = "#FFD75E";

// A profit cell: a gain in the up colour, a loss in the down colour, nothing in the plain one.
void ProfitCell(PageWriter& page, std::string_view text, int sign) {
    page.Append(sign > 0   ? "<td class=\"cup\" nowrap>"
                : sign < 0 ? "<td class=\"cdn\" nowrap>"
                           : "<td class=\"cbt\" nowrap>");
    page.Append(text);
    page.Append("</td>");
}

// The two profit cells of a quote row, empty for a code without a holding; the figures go into
// `totals`.
void WriteHoldingCells(PageWriter& page, const QuoteRecord& quote, const HoldingTable& holdings,
                       HoldingTotals& totals) {
    const Holding* holding = holdings.Find(std::string_view(quote.code, strnlen(quote.code, QuoteTextSize)));
    if (holding == nullptr) {
        page.Append("<td></td><td></td>");
        return;
    }
    const HoldingFigures figures = FigureHolding(*holding, quote);
    totals.Add(figures);
    const HoldingCells cells = FormatHoldingCells(figures, true);
    ProfitCell(page, cells.todayProfit, cells.todaySign);
    ProfitCell(page, cells.totalProfit, cells.totalSign);
}

// The row of sums: the caption in the first column, today's profit in percent of yesterday's
// value in the change-percent column, and the two sums.
void WriteTotalRow(PageWriter& page, std::uint32_t content, const HoldingTotals& totals) {
    page.Append("<tr align=\"right\" class=\"cbt\">");
    bool first = true;
    for (const std::uint32_t column :
         {showCode, showName, showPrice, showChangeAmount, showChangePercent}) {
        if ((content & column) == 0) {
            continue;
        }
        if (first) {
            page.Append("<td align=\"center\">");
            page.Append(TotalRowCaption);
            page.Append("</td>");
        } else if (column == showChangePercent) {
            ProfitCell(page, FormatRatioPercent(totals.todayProfit, totals.prevCloseValue),
                       totals.prevCloseValue == 0 ? 0 : MoneySign(totals.todayProfit));
        } else {
            page.Append("<td></td>");
        }
        first = false;
    }
    ProfitCell(page, FormatMoney(totals.todayProfit, true), MoneySign(totals.todayProfit));
    ProfitCell(page, FormatMoney(totals.totalProfit, true), MoneySign(totals.totalProfit));
    page.Append("</tr>");
}

void WriteQuoteRow(PageWriter& page, const QuoteRecord& quote, std::uint32_t content,
                   std::string_view linkBase, bool marked, const HoldingTable* holdings,
                   HoldingTotals& totals) {
    const QuoteCells cells = FormatQuoteCells(quote);
    page.Append(cells.rising ? "<tr align=\"right\" class=\"cup\"" : "<tr align=\"right\" class=\"cdn\"");
    if (marked) {
        page.Append(" bgcolor=\"");
        page.Append(AlertRowColour);
        page.Append("\"");
    }
    page.Append(">");

    if (content & (showCode | showName)) {
        char name[EscapedTextSize];
        char code[EscapedTextSize];
        EscapeField(quote.name, name);
        EscapeField(quote.code, code);
        char tooltip[1024];
        FormatText(
            tooltip, TooltipFormat,
            {name, code, static_cast<double>(quote.prevClose), static_cast<double>(quote.open),
             static_cast<double>(quote.high), static_cast<double>(quote.low),
             static_cast<int>(quote.volume), static_cast<double>(quote.turnover)});
        // "<td align=\"center\"><a href=%s&Code=%s target=\"_blank\" title=\"%s\"
        // class=\"cjc\">%s</a></td>", written piece by piece: only texts are filled in.
        const auto linkCell = [&](std::string_view shown) {
            page.Append("<td align=\"center\"><a href=");
            page.Append(linkBase);
            page.Append("&Code=");
            page.Append(code);
            page.Append(" target=\"_blank\" title=\"");
            page.Append(tooltip);
            page.Append("\" class=\"cjc\">");
            page.Append(shown);
            page.Append("</a></td>");
        };
        if (content & showCode) {
            linkCell(code);
        }
        if (content & showName) {
            linkCell(name);
        }
    }
    if (content & showPrice) {
        Cell(page, cells.price);
    }
    if (content & showChangeAmount) {
        Cell(page, cells.change);
    }
    if (content & showChangePercent) {
        Cell(page, cells.percent);
    }
    if (holdings != nullptr) {
        WriteHoldingCells(page, quote, *holdings, totals);
    }
    page.Append("</tr>");
}

// The table page of `records`. The time line carries the data time and, after it, `timeNote`
// (markup beginning with a blank, empty for none). A table of fewer than three columns has no
// room for a note beside the date and time: the line is then broken after the date (two
// columns) and also before the note (one column). Returns the number of breaks, each of which
// takes the height of a row.
// `holdings`, when not null, adds the profit columns and the row of sums, which the returned
// count includes as one more row.
int WriteTablePage(PageWriter& page, const TickerSettings& settings, const PageColours& colours,
                   const std::vector<QuoteRecord>& records, std::string_view linkBase,
                   const char* dataTimeField, std::string_view timeNote,
                   const std::vector<bool>& marks, const HoldingTable* holdings) {
    const std::uint32_t content = settings.pageContent;
    const int columns = ColumnCount(content) + (holdings != nullptr ? HoldingColumns : 0);
    int breaks = 0;

    page.Append("<html><head>");
    page.Append("<meta http-equiv=\"Content-Type\" content=\"text/html\" charset=\"gb2312\" />");
    page.Append("<title>Quorvane VEMO</title>");
    // A font size from a hand-edited settings file must not overflow the sum.
    const long long fontPixels = static_cast<long long>(settings.fontSize) + 11;
    page.Format(PageStyleFormat,
                {static_cast<int>(std::clamp<long long>(fontPixels, INT_MIN, INT_MAX))});
    page.Format(".cjc{color: %s} .cup{color: %s} .cdn{color: %s} .cbt{color: %s} ",
                {colours.name, colours.up, colours.down, colours.header});
    page.Append("</style></head>");
    page.Format("<body bgcolor=%s scroll=\"no\" oncontextmenu=\"return false\">",
                {colours.background});
    page.Append("<table cellspacing=0px cellpadding=2px align=center width=100%>");

    if (content & showHeader) {
        page.Append("<tr class=\"cbt\" align=\"center\">");
        if (content & showCode) {
            page.Append(HeaderCodeCell);
        }
        if (content & showName) {
            page.Append(HeaderNameCell);
        }
        if (content & showPrice) {
            page.Append(HeaderPriceCell);
        }
        if (content & showChangeAmount) {
            page.Append(HeaderChangeAmountCell);
        }
        if (content & showChangePercent) {
            page.Append(HeaderChangePercentCell);
        }
        if (holdings != nullptr) {
            page.Append(HeaderTodayProfitCell);
            page.Append(HeaderTotalProfitCell);
        }
        page.Append("</tr>");
        page.Format("<tr><td colspan=%d bgcolor=\"#0000CC\" height=1px></td></tr>", {columns});
    }

    HoldingTotals totals;
    for (std::size_t i = 0; i < records.size(); ++i) {
        WriteQuoteRow(page, records[i], content, linkBase, i < marks.size() && marks[i], holdings,
                      totals);
    }
    if (holdings != nullptr) {
        WriteTotalRow(page, content, totals);
    }

    if (content & showRefreshTime) {
        char dataTime[DataTimeSize];
        const std::size_t length = strnlen(dataTimeField, DataTimeSize - 1);
        std::memcpy(dataTime, dataTimeField, length);
        dataTime[length] = '\0';
        char escaped[EscapedSize(DataTimeSize)];
        EscapeField(dataTime, escaped);
        if (timeNote.empty() || columns >= 3) {
            page.Format("<tr class=\"cbt\"><td colspan=%d align=right>%s", {columns, escaped});
            page.Append(timeNote);
            page.Append("</td></tr>");
        } else {
            // Escaping adds no blank, so the escaped text breaks where the time does.
            const std::string_view text(escaped);
            const std::size_t blank = text.find(' ');
            page.Format("<tr class=\"cbt\"><td colspan=%d align=right>", {columns});
            if (blank != std::string_view::npos) {
                page.Append(text.substr(0, blank));
                page.Append("<br>");
                ++breaks;
            }
            page.Append(text.substr(blank == std::string_view::npos ? 0 : blank + 1));
            if (columns < 2 || breaks == 0) {
                page.Append("<br>");
                page.Append(timeNote.substr(1));
                ++breaks;
            } else {
                page.Append(timeNote);
            }
            page.Append("</td></tr>");
        }
    }
    page.Append("</table></body></html>");
    return breaks + (holdings != nullptr ? 1 : 0);
}

// What goes after the data time: the service's name when it is not the chosen one, or, for
// quotes that were not renewed, the mark in the down colour alone (the default table has no
// room for both).
std::string TimeNote(const TickerSettings& settings, int provider, bool stale,
                     const PageColours& colours) {
    std::string note;
    if (stale) {
        note += " <font color=";
        note += colours.down;
        note += '>';
        note += StaleMark;
        note += "</font>";
    } else if (provider != SelectedProvider(settings.provider)) {
        note += ' ';
        note += ServiceName(provider);
    }
    return note;
}

// What one refresh is asked to do: the settings, the chosen service's URL, whether the upgrade
// notice stands instead, the services to ask, the holdings to value and who marks rows.
struct PageRequest {
    const TickerSettings& settings;
    std::string_view quoteUrl;
    bool updateRequired;
    const QuoteFetchers& fetchers;
    bool byPackageManager = false;
    const HoldingTable* holdings = nullptr;
    const QuotePageSession::RowMarker* marker = nullptr;
};

int Render(const PageRequest& request, PageWriter& page, int& rows, int& cols,
           std::optional<QuotePageSession::KeptQuotes>* kept, RefreshReport& report) {
    const TickerSettings& settings = request.settings;
    const QuotePageSession::RowMarker* marker = request.marker;
    const auto marksOf = [marker](const std::vector<QuoteRecord>& listed, const char* dataTime,
                                  bool fresh) {
        return marker != nullptr && *marker ? (*marker)(listed, dataTime, fresh)
                                            : std::vector<bool>();
    };
    const PageColours colours = PickColours(settings);

    if (request.updateRequired) {
        const std::string message =
            request.byPackageManager
                ? std::string(PackageUpgradeNotice)
                : std::string(UpgradeNoticeStart) + '"' + HomePageUrl() + '"' + UpgradeNoticeEnd;
        WriteNoticePage(page, colours, message.c_str());
        return 0;
    }
    const std::size_t listLength = strnlen(settings.codeList, sizeof settings.codeList);
    if (listLength < 6) {
        WriteNoticePage(page, colours, EmptyListNotice);
        return 0;
    }
    const std::string_view codeList(settings.codeList, listLength);
    if (kept != nullptr && kept->has_value() && (*kept)->codeList != codeList) {
        kept->reset();  // the quotes of another list are no stand-in for this one's
    }

    QuoteBatch batch;
    const FailoverOutcome fetched =
        FetchWithFailover(settings, request.quoteUrl, request.fetchers, batch);
    const HoldingTable* shown = ShownHoldings(settings, request.holdings);
    const int columns = ColumnCount(settings.pageContent);
    cols = columns + (shown != nullptr ? HoldingColumnsWidth : 0);

    if (!fetched.answered && kept != nullptr && kept->has_value()) {
        const QuotePageSession::KeptQuotes& last = **kept;
        rows = static_cast<int>(last.records.size()) +
               WriteTablePage(page, settings, colours, last.records, QuoteLinkBase(last.provider),
                              last.dataTime, TimeNote(settings, last.provider, true, colours),
                              marksOf(last.records, last.dataTime, false), shown);
        report.provider = last.provider;
        report.stale = true;
        return static_cast<int>(page.Size());
    }

    // A chosen service whose answer held no quote (a refusal page, an empty body) and stand-ins
    // that failed are no answer at all: the error page, not an empty table with an empty time.
    if (!fetched.answered && !fetched.everyServiceReplied) {
        rows = 0;
        page.Format(FetchErrorPageFormat, {colours.background});
        return fetched.result != FetchOk ? fetched.result : fetched.firstFailure;
    }

    // From here the batch is a readable answer: with quotes, or, from every service, without.
    std::vector<QuoteRecord> records;
    report.missingCodes = JoinCodes(CodesWithoutQuote(settings, batch));
    const int listed = std::clamp(batch.count, 0, MaxQuotes);
    for (int i = 0; i < listed; ++i) {
        std::unique_ptr<QuoteRecord>& record = batch.records[static_cast<std::size_t>(i)];
        if (record) {
            records.push_back(*record);
            record.reset();
        }
    }
    rows = static_cast<int>(records.size());

    // The links carry the value of the service the rows came from. Tencent's symbols are Sina's,
    // so its rows take Sina's value (2), one of the two the maker's skip page knows.
    rows += WriteTablePage(page, settings, colours, records, QuoteLinkBase(fetched.provider),
                           batch.dataTime, TimeNote(settings, fetched.provider, false, colours),
                           marksOf(records, batch.dataTime, fetched.answered), shown);
    report.provider = fetched.provider;
    report.answered = fetched.answered;
    std::memcpy(report.newestDate, batch.newestDate, DataDateSize);
    report.newestDate[DataDateSize - 1] = '\0';
    if (kept != nullptr && fetched.answered) {
        // From a value: clang does not take a class nested in its holder as default-constructible
        // inside std::optional.
        QuotePageSession::KeptQuotes& last = kept->emplace(QuotePageSession::KeptQuotes{});
        last.codeList = codeList;
        last.provider = fetched.provider;
        last.records = std::move(records);
        std::memcpy(last.dataTime, batch.dataTime, DataTimeSize);
        last.dataTime[DataTimeSize - 1] = '\0';
    }
    return static_cast<int>(page.Size());
}

int RenderPage(const PageRequest& request, std::span<char> page, int& rows, int& cols,
               std::optional<QuotePageSession::KeptQuotes>* kept, RefreshReport& report) {
    const TickerSettings& settings = request.settings;
    report = RefreshReport{};
    PageWriter writer(page);
    try {
        report.result = Render(request, writer, rows, cols, kept, report);
    } catch (...) {
        // Out of memory while building a link: nothing fetched can be shown.
        report = RefreshReport{};
        PageWriter failed(page);
        failed.Format(FetchErrorPageFormat, {PickColours(settings).background});
        rows = 0;
        cols = ColumnCount(settings.pageContent);
        report.result = FetchFailed;
    }
    return report.result;
}

}  // namespace

void FormatHtmlColour(char (&text)[ColourTextSize], std::uint32_t colour) {
    std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(colour & 0xFF),
                  static_cast<unsigned>((colour >> 8) & 0xFF),
                  static_cast<unsigned>((colour >> 16) & 0xFF));
}

int RenderQuotePage(const TickerSettings& settings, std::string_view quoteUrl, bool updateRequired,
                    std::span<char> page, int& rows, int& cols, const QuoteFetchers& fetchers,
                    RefreshReport* report, const HoldingTable* holdings) {
    RefreshReport local;
    PageRequest request{settings, quoteUrl, updateRequired, fetchers};
    request.holdings = holdings;
    return RenderPage(request, page, rows, cols, nullptr, report != nullptr ? *report : local);
}

QuotePageSession::QuotePageSession(QuoteFetchers fetchers) : fetchers_(std::move(fetchers)) {}

std::map<std::string, std::string> QuotePageSession::KeptNames() const {
    std::map<std::string, std::string> names;
    if (kept_) {
        for (const QuoteRecord& record : kept_->records) {
            names[FieldText(record.code)] = GbkToUtf8(FieldText(record.name));
        }
    }
    return names;
}

RefreshReport QuotePageSession::Render(const TickerSettings& settings, std::string_view quoteUrl,
                                       bool updateRequired, std::span<char> page, int& rows,
                                       int& cols, const HoldingTable* holdings) {
    RefreshReport report;
    PageRequest request{settings, quoteUrl, updateRequired, fetchers_, byPackageManager_};
    request.holdings = holdings;
    request.marker = &marker_;
    RenderPage(request, page, rows, cols, &kept_, report);
    return report;
}

}  // namespace vemo
