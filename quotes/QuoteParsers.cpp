#include "quotes/QuoteParsers.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "quotes/DataTime.h"
#include "quotes/Gbk.h"
#include "quotes/QuoteUrl.h"

namespace vemo {

namespace {

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

// The providers always write a decimal point; the process locale (which a GUI toolkit sets from
// the environment) must not change how their numbers read.
locale_t CNumericLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return c;
}

// Runs `convert` over a NUL-terminated copy of the field, so that a conversion never looks past
// the field's own text.
template <typename Convert>
auto WithTerminatedCopy(std::string_view field, Convert convert) {
    char small[64];
    if (field.size() < sizeof small) {
        std::copy(field.begin(), field.end(), small);
        small[field.size()] = '\0';
        return convert(small);
    }
    const std::string large(field);
    return convert(large.c_str());
}

// Providers write plain decimals; those are read directly (from_chars is correctly rounded, as
// strtod is, so the value is the same) and anything else goes the strtod way. Hexadecimal is the
// one form strtod reads further than from_chars.
bool PlainNumberStart(std::string_view field) {
    return !field.empty() && (field[0] == '-' || IsDigitChar(field[0]));
}

bool StopsWhereStrtodWould(std::string_view field, const char* stop) {
    return stop == field.data() + field.size() || (*stop != 'x' && *stop != 'X');
}

// atof of the field's text.
double FieldToDouble(std::string_view field) {
    if (PlainNumberStart(field)) {
        double value = 0;
        const auto [stop, error] =
            std::from_chars(field.data(), field.data() + field.size(), value);
        if (error == std::errc() && StopsWhereStrtodWould(field, stop)) {
            return value;
        }
    }
    return WithTerminatedCopy(field, [](const char* text) {
        const locale_t c = CNumericLocale();
        return c != nullptr ? strtod_l(text, nullptr, c) : std::strtod(text, nullptr);
    });
}

float FieldToFloat(std::string_view field) {
    return static_cast<float>(FieldToDouble(field));
}

// Prices beyond this many yuan are clamped; it keeps shares times price far inside 128 bits.
constexpr double MaxExactYuan = 9e12;

std::int64_t UnitsFromDouble(double yuan) {
    if (!std::isfinite(yuan)) {
        return 0;
    }
    yuan = std::clamp(yuan, -MaxExactYuan, MaxExactYuan);
    return std::llround(yuan * static_cast<double>(ExactPriceUnitsPerYuan));
}

// A share count, read wide: an index trades more than 2^31 shares a day.
long long FieldToWide(std::string_view field) {
    long long value = 0;
    const auto [stop, error] =
        PlainNumberStart(field) ? std::from_chars(field.data(), field.data() + field.size(), value)
                                : std::from_chars_result{nullptr, std::errc::invalid_argument};
    if (error != std::errc()) {
        value = WithTerminatedCopy(
            field, [](const char* text) { return std::strtoll(text, nullptr, 10); });
    }
    return value;
}

// A wide count clamped into the record's 32 bits.
int ClampedCount(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string_view SubView(std::string_view text, std::size_t from,
                         std::size_t count = std::string_view::npos) {
    return text.substr(std::min(from, text.size()), count);
}

// Copies a provider name, cutting a long one to the field on a character boundary.
void CopyName(char (&dest)[QuoteTextSize], std::string_view name) {
    std::size_t length = name.size();
    if (length > QuoteTextSize - 1) {
        length = 0;
        while (length < name.size()) {
            const bool doubleByte =
                IsGbkLeadByte(static_cast<unsigned char>(name[length])) && length + 1 < name.size();
            const std::size_t width = doubleByte ? 2 : 1;
            if (length + width > QuoteTextSize - 1) {
                break;
            }
            length += width;
        }
    }
    std::copy_n(name.begin(), length, dest);
    dest[length] = '\0';
}

void CopyCode(char (&dest)[QuoteTextSize], std::string_view symbol) {
    const std::size_t length = std::min(symbol.size(), QuoteTextSize - 1);
    std::copy_n(symbol.begin(), length, dest);
    dest[length] = '\0';
}

// Walks separator-delimited fields. A field without a separator after it runs to the end of the
// text; the fields after it are empty.
class FieldReader {
  public:
    FieldReader(std::string_view text, char separator) : rest_(text), separator_(separator) {}

    std::string_view Next() {
        const std::size_t at = rest_.find(separator_);
        if (at == std::string_view::npos) {
            const std::string_view field = rest_;
            rest_ = rest_.substr(rest_.size());
            separated_ = false;
            return field;
        }
        const std::string_view field = rest_.substr(0, at);
        rest_.remove_prefix(at + 1);
        separated_ = true;
        return field;
    }

    // Whether the field that Next() returned last was closed by a separator.
    bool Separated() const { return separated_; }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
    char separator_;
    bool separated_ = false;
};

// `pattern` holds '9' where a digit must stand; every other character must match itself.
bool Matches(std::string_view text, std::string_view pattern) {
    if (text.size() < pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '9' ? !IsDigitChar(text[i]) : text[i] != pattern[i]) {
            return false;
        }
    }
    return true;
}

void StoreDataTime(char (&dataTime)[DataTimeSize], std::string_view text) {
    const std::size_t length = std::min(text.size(), DataTimeSize - 1);
    std::copy_n(text.begin(), length, dataTime);
    dataTime[length] = '\0';
}

// Keeps the later of the batch's newest date and `date`, when `date` begins with a date of the
// form YYYY-MM-DD (which compares as text).
void NoteDataDate(QuoteBatch& batch, std::string_view date) {
    constexpr std::size_t Length = DataDateSize - 1;
    if (!Matches(date, "9999-99-99") ||
        std::string_view(batch.newestDate).compare(date.substr(0, Length)) >= 0) {
        return;
    }
    std::copy_n(date.begin(), Length, batch.newestDate);
    batch.newestDate[Length] = '\0';
}

// The date that `date` begins with (YYYY-MM-DD) as YYYYMMDD; 0 when it begins with none.
std::int32_t DateNumber(std::string_view date) {
    if (!Matches(date, "9999-99-99")) {
        return 0;
    }
    std::int32_t number = 0;
    for (std::size_t i = 0; i < DataDateSize - 1; ++i) {
        if (date[i] != '-') {
            number = number * 10 + (date[i] - '0');
        }
    }
    return number;
}

// Fields 30 and 31 (the name is field 0) of a Sina entry are its date and time. The time field
// runs to the closing quote in the old line form and is followed by one more field today, which
// is why the last characters of the line are not always the time.
bool SinaDateAndTime(std::string_view entry, char (&dataTime)[DataTimeSize]) {
    constexpr int DateField = 30;
    FieldReader fields(entry, ',');
    for (int i = 0; i < DateField; ++i) {
        fields.Next();
        if (!fields.Separated()) {
            return false;
        }
    }
    const std::string_view date = fields.Next();
    if (!fields.Separated() || date.size() != 10 || !Matches(date, "9999-99-99")) {
        return false;
    }
    const std::string_view time = fields.Next();
    if (!Matches(time, "99:99:99") || (time.size() > 8 && time[8] != '"')) {
        return false;
    }
    char text[DataTimeSize];
    std::memcpy(text, date.data(), 10);
    text[10] = ' ';
    std::memcpy(text + 11, time.data(), 8);
    StoreDataTime(dataTime, std::string_view(text, 19));
    return true;
}

// The 19 characters that begin 21 before the end of the text, commas as blanks, kept within the
// text when it is shorter.
void SinaTrailingTime(std::string_view fromTurnover, char (&dataTime)[DataTimeSize]) {
    const std::size_t start = fromTurnover.size() > 21 ? fromTurnover.size() - 21 : 0;
    StoreDataTime(dataTime, fromTurnover.substr(start, 19));
    std::replace(std::begin(dataTime), std::end(dataTime), ',', ' ');
}

// A data time that is not of a date-and-time's shape is refused: the time row stays empty rather
// than show whatever stood in the answer in its place.
void DropUnlessDataTime(char (&dataTime)[DataTimeSize]) {
    if (!IsDataTimeShape(std::string_view(dataTime, strnlen(dataTime, DataTimeSize)))) {
        dataTime[0] = '\0';
    }
}

void StoreLocalTime(char (&dataTime)[DataTimeSize], const std::tm& now) {
    char text[80];  // room for six ints whatever the fields hold; a year beyond 9999 is cut
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d", now.tm_year + 1900, now.tm_mon + 1,
                  now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    StoreDataTime(dataTime, text);
}

// Tencent's YYYYMMDDHHMMSS as YYYY-MM-DD HH:MM:SS; false for anything but fourteen digits.
bool TencentDateAndTime(std::string_view field, char (&dataTime)[DataTimeSize]) {
    if (field.size() != 14 || !Matches(field, "99999999999999")) {
        return false;
    }
    char text[DataTimeSize];
    std::snprintf(text, sizeof text, "%.4s-%.2s-%.2s %.2s:%.2s:%.2s", field.data(),
                  field.data() + 4, field.data() + 6, field.data() + 8, field.data() + 10,
                  field.data() + 12);
    StoreDataTime(dataTime, text);
    return true;
}

// Fields of a Tencent quote, counted from 0; 37 is the last one read.
enum TencentField : std::size_t {
    TencentName = 1,
    TencentPrice = 3,
    TencentPrevClose = 4,
    TencentOpen = 5,
    TencentVolume = 6,
    TencentDateTime = 30,
    TencentHigh = 33,
    TencentLow = 34,
    TencentTurnover = 37,
    TencentFieldsRead = 38,
};

constexpr std::string_view SinaMarker = "var hq_str";
constexpr std::string_view NetEaseMarker = "var quote_";
constexpr std::string_view NetEaseTerminator = "';QuoteData.show_quote();";
// Lines shorter than this are empty entries; a semicolon before it closes a short entry.
constexpr std::size_t SinaShortEntry = 50;

}  // namespace

std::int64_t ExactPriceUnits(std::string_view field) {
    // "[-]digits[.digits]", as the services write prices; atof stops where this stops.
    std::size_t at = 0;
    const bool negative = !field.empty() && field[0] == '-';
    if (negative) {
        ++at;
    }
    constexpr std::int64_t MaxWholeYuan = static_cast<std::int64_t>(MaxExactYuan);
    std::int64_t whole = 0;
    std::size_t digits = 0;
    bool tooLarge = false;
    for (; at < field.size() && IsDigitChar(field[at]); ++at, ++digits) {
        whole = whole * 10 + (field[at] - '0');
        if (whole > MaxWholeYuan) {
            tooLarge = true;
            whole = MaxWholeYuan;  // keep reading the digits, so the form check below holds
        }
    }
    std::int64_t fraction = 0;
    std::int64_t scale = ExactPriceUnitsPerYuan;
    bool roundUp = false;
    if (at < field.size() && field[at] == '.') {
        for (++at; at < field.size() && IsDigitChar(field[at]); ++at, ++digits) {
            if (scale > 1) {
                scale /= 10;
                fraction += (field[at] - '0') * scale;
            } else if (scale == 1) {
                roundUp = field[at] >= '5';
                scale = 0;  // only the first digit beyond the sixth decides the rounding
            }
        }
    }
    const bool otherForm = at < field.size() && (field[at] == 'e' || field[at] == 'E' ||
                                                 field[at] == 'x' || field[at] == 'X');
    if (digits == 0 || otherForm || (!field.empty() && field[0] != '-' && !IsDigitChar(field[0]))) {
        return UnitsFromDouble(FieldToDouble(field));
    }
    if (tooLarge) {
        return negative ? -MaxWholeYuan * ExactPriceUnitsPerYuan
                        : MaxWholeYuan * ExactPriceUnitsPerYuan;
    }
    const std::int64_t units = whole * ExactPriceUnitsPerYuan + fraction + (roundUp ? 1 : 0);
    return negative ? -units : units;
}

std::vector<std::string> SplitResponseLines(std::string_view body) {
    std::vector<std::string> lines;
    while (!body.empty()) {
        const std::size_t end = body.find('\n');
        std::string_view line = body.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    }
    return lines;
}

void ParseSinaResponse(std::span<const std::string> lines, QuoteBatch& batch) {
    int count = 0;
    bool first = true;
    try {
        for (const std::string& whole : lines) {
            if (count >= MaxQuotes) {
                break;
            }
            std::string_view line(whole);
            if (line.size() < SinaShortEntry) {
                continue;
            }
            std::size_t semicolon = line.find(';');
            while (semicolon != std::string_view::npos && semicolon < SinaShortEntry) {
                line.remove_prefix(semicolon + 1);
                semicolon = line.find(';');
            }
            if (semicolon == std::string_view::npos) {
                continue;
            }
            const std::size_t marker = line.find(SinaMarker);
            if (marker == std::string_view::npos) {
                continue;
            }

            auto record = std::make_unique<QuoteRecord>();
            CopyCode(record->code, SubView(line, marker + 11, 8));
            SinaSymbolToCode(record->code);

            const std::string_view entry = SubView(line, marker + 21);
            FieldReader fields(entry, ',');
            CopyName(record->name, fields.Next());
            record->open = FieldToFloat(fields.Next());
            const std::string_view prevClose = fields.Next();
            const std::string_view price = fields.Next();
            record->prevClose = FieldToFloat(prevClose);
            record->price = FieldToFloat(price);
            record->exactPrevClose = ExactPriceUnits(prevClose);
            record->exactPrice = ExactPriceUnits(price);
            record->high = FieldToFloat(fields.Next());
            record->low = FieldToFloat(fields.Next());
            fields.Next();
            fields.Next();
            // Shares, in lots of 100, divided before they have to fit 32 bits.
            record->volume = ClampedCount(FieldToWide(fields.Next()) / 100);
            const std::string_view fromTurnover = fields.Rest();
            record->turnover = static_cast<float>(FieldToDouble(fields.Next()) * 0.0001);

            batch.records[static_cast<std::size_t>(count)] = std::move(record);
            ++count;
            char dated[DataTimeSize] = {};
            const bool hasDate = SinaDateAndTime(entry, dated);
            if (hasDate) {
                NoteDataDate(batch, dated);
                batch.records[static_cast<std::size_t>(count - 1)]->date = DateNumber(dated);
            }
            if (first) {
                first = false;
                if (hasDate) {
                    std::copy(std::begin(dated), std::end(dated), batch.dataTime);
                } else {
                    SinaTrailingTime(fromTurnover, batch.dataTime);
                }
                DropUnlessDataTime(batch.dataTime);
            }
        }
    } catch (...) {
        // Out of memory: the records parsed so far stand.
    }
    batch.count = count;
}

void ParseNetEaseResponse(std::span<const std::string> lines, QuoteBatch& batch,
                          const std::tm& now) {
    int count = 0;
    try {
        std::size_t total = 0;
        for (const std::string& line : lines) {
            total += line.size();
        }
        std::string joined;
        joined.reserve(total);
        for (const std::string& line : lines) {
            joined += line;
        }

        bool first = true;
        std::string_view text(joined);
        for (std::size_t marker = text.find(NetEaseMarker);
             marker != std::string_view::npos && count < MaxQuotes;
             marker = text.find(NetEaseMarker)) {
            text.remove_prefix(marker);
            const std::size_t open = text.find("='");
            if (open == std::string_view::npos) {
                break;
            }
            FieldReader fields(text.substr(open + 2), ';');
            // Every field up to `low` must be closed by its semicolon; a truncated entry ends
            // the response.
            std::string_view before[10];
            bool complete = true;
            for (std::string_view& field : before) {
                field = fields.Next();
                if (!fields.Separated()) {
                    complete = false;
                    break;
                }
            }
            if (!complete) {
                break;
            }
            const std::string_view fromPrice = fields.Rest();

            auto record = std::make_unique<QuoteRecord>();
            CopyCode(record->code, before[0]);
            NetEaseSymbolToCode(record->code);
            CopyName(record->name, before[1]);
            record->prevClose = FieldToFloat(before[2]);
            record->open = FieldToFloat(before[3]);
            record->turnover = static_cast<float>(FieldToDouble(before[4]) * 0.0001);
            record->volume = ClampedCount(FieldToWide(before[5]) / 100);
            record->high = FieldToFloat(before[8]);
            record->low = FieldToFloat(before[9]);
            const std::string_view price = fromPrice.substr(0, fromPrice.find(';'));
            record->price = FieldToFloat(price);
            record->exactPrice = ExactPriceUnits(price);
            record->exactPrevClose = ExactPriceUnits(before[2]);

            if (first) {
                first = false;
                const std::size_t end = text.find(NetEaseTerminator);
                if (end != std::string_view::npos && end > 0) {
                    const std::size_t length = std::min<std::size_t>(end, 19);
                    StoreDataTime(batch.dataTime, text.substr(end - length, length));
                } else {
                    StoreLocalTime(batch.dataTime, now);
                }
                DropUnlessDataTime(batch.dataTime);
            }
            if (const std::size_t priceEnd = fromPrice.find(';');
                priceEnd != std::string_view::npos) {
                NoteDataDate(batch, fromPrice.substr(priceEnd + 1));
                record->date = DateNumber(fromPrice.substr(priceEnd + 1));
            }
            batch.records[static_cast<std::size_t>(count)] = std::move(record);
            ++count;
            text.remove_prefix(static_cast<std::size_t>(fromPrice.data() - text.data()));
        }
    } catch (...) {
        // Out of memory: the records parsed so far stand.
    }
    batch.count = count;
}

void ParseTencentResponse(std::span<const std::string> lines, QuoteBatch& batch) {
    int count = 0;
    bool first = true;
    try {
        for (const std::string& whole : lines) {
            std::string_view text(whole);
            // Entries: v_SYMBOL="F0~F1~...~Fn"; one a line as the service sends them, though
            // several on one line read the same.
            for (std::size_t marker = text.find("v_");
                 marker != std::string_view::npos && count < MaxQuotes; marker = text.find("v_")) {
                text.remove_prefix(marker + 2);
                const std::size_t equals = text.find('=');
                if (equals == std::string_view::npos || equals + 1 >= text.size() ||
                    text[equals + 1] != '"') {
                    continue;
                }
                const std::string_view symbol = text.substr(0, equals);
                const std::size_t close = text.find('"', equals + 2);
                if (close == std::string_view::npos) {
                    break;  // cut off: what there is of the entry is no quote
                }
                const std::string_view value = text.substr(equals + 2, close - equals - 2);
                text.remove_prefix(close + 1);
                // A symbol longer than the code field is no quote's: the unknown-symbol notice
                // pv_none_match and forms such as the short quote s_sh600000, whose fields mean
                // other things, have such symbols.
                if (symbol.empty() || symbol.size() > QuoteTextSize - 1) {
                    continue;
                }
                std::string_view fields[TencentFieldsRead];
                FieldReader reader(value, '~');
                std::size_t read = 0;
                for (; read < TencentFieldsRead; ++read) {
                    fields[read] = reader.Next();
                    if (!reader.Separated() && read + 1 < TencentFieldsRead) {
                        break;
                    }
                }
                if (read < TencentFieldsRead) {
                    continue;  // an empty value, or too few fields to hold a quote
                }

                auto record = std::make_unique<QuoteRecord>();
                CopyCode(record->code, symbol);
                TencentSymbolToCode(record->code);
                CopyName(record->name, fields[TencentName]);
                record->price = FieldToFloat(fields[TencentPrice]);
                record->prevClose = FieldToFloat(fields[TencentPrevClose]);
                record->exactPrice = ExactPriceUnits(fields[TencentPrice]);
                record->exactPrevClose = ExactPriceUnits(fields[TencentPrevClose]);
                record->open = FieldToFloat(fields[TencentOpen]);
                // Tencent gives the count in lots already.
                record->volume = ClampedCount(FieldToWide(fields[TencentVolume]));
                record->high = FieldToFloat(fields[TencentHigh]);
                record->low = FieldToFloat(fields[TencentLow]);
                record->turnover = FieldToFloat(fields[TencentTurnover]);

                char dated[DataTimeSize];
                if (TencentDateAndTime(fields[TencentDateTime], dated)) {
                    NoteDataDate(batch, dated);
                    record->date = DateNumber(dated);
                    if (first) {
                        StoreDataTime(batch.dataTime, dated);
                    }
                }
                first = false;
                batch.records[static_cast<std::size_t>(count)] = std::move(record);
                ++count;
            }
            if (count >= MaxQuotes) {
                break;
            }
        }
    } catch (...) {
        // Out of memory: the records parsed so far stand.
    }
    batch.count = count;
}

void ParseNetEaseResponse(std::span<const std::string> lines, QuoteBatch& batch) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    ParseNetEaseResponse(lines, batch, local);
}

}  // namespace vemo
