#include "quotes/Alerts.h"

#include <cstring>

#include "quotes/Gbk.h"

namespace vemo {

namespace {

// Past a trillion yuan a figure is no price; it would only overflow the comparisons.
constexpr std::int64_t MaxQuotePrice = 1'000'000'000'000'000;

// The services write prices with at most three decimals, so thousandths lose nothing of them;
// a finer figure is rounded half up.
std::int64_t Thousandths(std::int64_t millionths) {
    constexpr std::int64_t PerThousandth = ExactPriceUnitsPerYuan / 1000;
    if (millionths <= 0 || millionths / PerThousandth > MaxQuotePrice) {
        return 0;
    }
    return (millionths + PerThousandth / 2) / PerThousandth;
}

std::string Field(const char (&field)[QuoteTextSize]) {
    return std::string(field, strnlen(field, QuoteTextSize));
}

// A price as the page shows it: three decimals when the third is not 0, else two.
std::string PriceText(std::int64_t thousandths) {
    const std::string text = FormatScaledDecimal(thousandths, 3);
    return thousandths % 10 != 0 ? text : text.substr(0, text.size() - 1);
}

// A change in percent with its sign; a fall takes the minus sign, not the hyphen.
std::string PercentText(std::int64_t hundredths) {
    const std::string magnitude = FormatScaledDecimal(hundredths < 0 ? -hundredths : hundredths, 2);
    return (hundredths > 0 ? "+" : hundredths < 0 ? "\u2212" : "") + magnitude + "%";
}

std::string RuleText(const FiredAlert& alert) {
    switch (alert.kind) {
        case AlertKind::Above:
            return "高于 " + FormatAlertValue(alert.kind, alert.rule);
        case AlertKind::Below:
            return "低于 " + FormatAlertValue(alert.kind, alert.rule);
        case AlertKind::RiseAbove:
            return "涨幅 " + FormatAlertValue(alert.kind, alert.rule) + "%";
        case AlertKind::FallBelow:
            return "跌幅 " + FormatAlertValue(alert.kind, alert.rule) + "%";
    }
    return "";
}

}  // namespace

std::string AlertSummary(const FiredAlert& alert) {
    std::string summary = GbkToUtf8(alert.name);
    if (!summary.empty()) {
        summary += ' ';
    }
    summary += alert.code + ' ';
    const std::int64_t change = ChangeHundredths(alert.price, alert.prevClose);
    switch (alert.kind) {
        case AlertKind::Above:
            return summary + "涨到 " + PriceText(alert.price);
        case AlertKind::Below:
            return summary + "跌到 " + PriceText(alert.price);
        case AlertKind::RiseAbove:
            return summary + "涨幅达 " + PercentText(change);
        case AlertKind::FallBelow:
            return summary + "跌幅达 " + PercentText(change);
    }
    return summary;
}

std::string AlertBody(const FiredAlert& alert) {
    std::string body = "价格 " + PriceText(alert.price) + "  涨跌幅 " +
                       PercentText(ChangeHundredths(alert.price, alert.prevClose)) + "\n提醒: " +
                       RuleText(alert);
    if (!alert.dataTime.empty()) {
        body += "\n时间 " + alert.dataTime;
    }
    return body;
}

int LocalDateNumber(const std::tm& now) {
    return (now.tm_year + 1900) * 10000 + (now.tm_mon + 1) * 100 + now.tm_mday;
}

AlertQuote MakeAlertQuote(const QuoteRecord& record) {
    AlertQuote quote;
    quote.code = Field(record.code);
    quote.name = Field(record.name);
    quote.price = Thousandths(record.exactPrice);
    quote.prevClose = Thousandths(record.exactPrevClose);
    quote.date = record.date;
    return quote;
}

std::int64_t ChangeHundredths(std::int64_t price, std::int64_t prevClose) {
    if (prevClose <= 0) {
        return 0;
    }
    const std::int64_t scaled = (price - prevClose) * 10000;
    const std::int64_t half = prevClose / 2;
    return scaled >= 0 ? (scaled + half) / prevClose : -((-scaled + half) / prevClose);
}

bool AlertHolds(AlertKind kind, std::int64_t rule, std::int64_t price, std::int64_t prevClose) {
    // A change of p percent holds against rule r (hundredths) when (price - close) / close * 100
    // reaches r / 100, multiplied out so that nothing is rounded.
    const std::int64_t change = (price - prevClose) * 10000;
    switch (kind) {
        case AlertKind::Above:
            return price >= rule;
        case AlertKind::Below:
            return price <= rule;
        case AlertKind::RiseAbove:
            return prevClose > 0 && change >= rule * prevClose;
        case AlertKind::FallBelow:
            return prevClose > 0 && change <= -rule * prevClose;
    }
    return false;
}

bool AlertRearms(AlertKind kind, std::int64_t rule, std::int64_t price, std::int64_t prevClose) {
    const std::int64_t change = (price - prevClose) * 10000;
    switch (kind) {
        case AlertKind::Above:
            return price * 100 <= rule * 99;
        case AlertKind::Below:
            return price * 100 >= rule * 101;
        case AlertKind::RiseAbove:
            return prevClose > 0 && change <= (rule - 100) * prevClose;
        case AlertKind::FallBelow:
            return prevClose > 0 && change >= (100 - rule) * prevClose;
    }
    return false;
}

void AlertMonitor::SetRules(AlertRuleBook rules) {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_ = std::move(rules);
    // A mark stays only where a rule still stands, so that a list without rules shows no mark.
    std::erase_if(marked_, [this](const std::string& code) {
        const auto found = rules_.find(code);
        return found == rules_.end() || found->second.Empty();
    });
}

bool AlertMonitor::HasRules() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [code, rules] : rules_) {
        if (!rules.Empty()) {
            return true;
        }
    }
    return false;
}

void AlertMonitor::StartDay(int day) {
    if (day != day_) {
        day_ = day;
        states_.clear();
        marked_.clear();
    }
}

std::vector<FiredAlert> AlertMonitor::Evaluate(std::span<const AlertQuote> quotes,
                                               const std::tm& now, bool answered, bool muted) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int today = LocalDateNumber(now);
    StartDay(today);
    std::vector<FiredAlert> fired;
    if (!answered) {
        return fired;  // the quotes on screen are the last ones again, not news
    }
    for (const AlertQuote& quote : quotes) {
        // Before the open the services report 0, and a holiday's or a suspended share's record
        // keeps an old date: neither says anything about today's price.
        if (quote.price <= 0 || quote.date != today) {
            continue;
        }
        const auto rules = rules_.find(quote.code);
        if (rules == rules_.end() || rules->second.Empty()) {
            continue;
        }
        auto& states = states_[quote.code];
        for (std::size_t i = 0; i < AlertKindCount; ++i) {
            const auto kind = static_cast<AlertKind>(i);
            const std::int64_t rule = rules->second[kind];
            RuleState& state = states[i];
            if (state.value != rule) {
                state = RuleState{rule, false};
            }
            if (rule == 0) {
                continue;
            }
            if (state.fired) {
                state.fired = !AlertRearms(kind, rule, quote.price, quote.prevClose);
                continue;
            }
            if (AlertHolds(kind, rule, quote.price, quote.prevClose)) {
                state.fired = true;
                marked_.insert(quote.code);
                fired.push_back(
                    {quote.code, quote.name, kind, rule, quote.price, quote.prevClose, !muted});
            }
        }
    }
    return fired;
}

bool AlertMonitor::Marked(std::string_view code, const std::tm& now) {
    std::lock_guard<std::mutex> lock(mutex_);
    StartDay(LocalDateNumber(now));
    return marked_.find(code) != marked_.end();
}

void AlertMonitor::ClearMark(std::string_view code) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto found = marked_.find(code); found != marked_.end()) {
        marked_.erase(found);
    }
}

AlertMonitor::Review AlertMonitor::ReviewRows(std::span<const QuoteRecord> rows,
                                              const char* dataTime, const std::tm& now,
                                              bool fresh, bool muted) {
    std::vector<AlertQuote> quotes;
    quotes.reserve(rows.size());
    for (const QuoteRecord& row : rows) {
        quotes.push_back(MakeAlertQuote(row));
    }
    Review review;
    review.fired = Evaluate(quotes, now, fresh, muted);
    const std::string time(dataTime, strnlen(dataTime, DataTimeSize));
    for (FiredAlert& alert : review.fired) {
        alert.dataTime = time;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    rowCodes_.clear();
    bool any = false;
    for (const AlertQuote& quote : quotes) {
        rowCodes_.push_back(quote.code);
        const bool marked = marked_.find(quote.code) != marked_.end();
        review.marks.push_back(marked);
        any = any || marked;
    }
    if (!any) {
        review.marks.clear();
    }
    return review;
}

std::string AlertMonitor::RowCode(std::size_t row) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return row < rowCodes_.size() ? rowCodes_[row] : std::string();
}

}  // namespace vemo
