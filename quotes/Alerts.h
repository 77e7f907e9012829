#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/Quotes.h"
#include "settings/AlertRules.h"

namespace vemo {

// A record as the rules see it: prices in thousandths of a yuan.
struct AlertQuote {
    std::string code;
    std::string name;  // GBK, as the service sent it
    std::int64_t price = 0;
    std::int64_t prevClose = 0;
    int date = 0;  // the record's own date as YYYYMMDD; 0 when it carries none
};

// A record's fields in whole thousandths of a yuan.
AlertQuote MakeAlertQuote(const QuoteRecord& record);

// One rule that began to hold.
struct FiredAlert {
    std::string code;
    std::string name;  // GBK
    AlertKind kind = AlertKind::Above;
    std::int64_t rule = 0;  // the rule's value, in its units
    std::int64_t price = 0;
    std::int64_t prevClose = 0;
    // False while alerts are muted: the rule fired, but nobody is to be told.
    bool notify = true;
    std::string dataTime;  // the data time of the refresh, as the page shows it
};

// The notification's texts (UTF-8): the summary, such as "浦发银行 600000 涨到 10.52", and the
// body with the price, the change, the rule and the data time, one a line.
std::string AlertSummary(const FiredAlert& alert);
std::string AlertBody(const FiredAlert& alert);

// Whether a rule holds for a price and previous close (thousandths), and whether a rule that
// fired has clearly stopped holding: the price back past the line by 1% of the line, or the
// change back by one percentage point. Percent rules never hold without a previous close.
bool AlertHolds(AlertKind kind, std::int64_t rule, std::int64_t price, std::int64_t prevClose);
bool AlertRearms(AlertKind kind, std::int64_t rule, std::int64_t price, std::int64_t prevClose);

// The change in percent, in hundredths and rounded half away from zero; 0 without a previous
// close.
std::int64_t ChangeHundredths(std::int64_t price, std::int64_t prevClose);

// The day's firing and arming state of every rule, and the rows marked for the user. Each rule
// fires once when its condition starts to hold: at the first real record of the day on which it
// holds, or after it re-armed. A new day starts every rule armed and clears the marks. Only a
// real record counts: a price above 0, dated the day of `now`, from a refresh that got an answer.
// Called from the refresh thread and the interface thread alike.
class AlertMonitor {
  public:
    // Replaces the rules. A code's rule whose value changed starts armed again.
    void SetRules(AlertRuleBook rules);
    bool HasRules() const;

    // One refresh's records. `answered` is false for a refresh in which every service failed.
    // Returns what fired, in record order and, within a record, in AlertKind order; `muted`
    // marks them as not to be told.
    std::vector<FiredAlert> Evaluate(std::span<const AlertQuote> quotes, const std::tm& now,
                                     bool answered, bool muted);

    // Whether the row of `code` is marked: a rule of it fired today and the user has not
    // clicked the row since.
    bool Marked(std::string_view code, const std::tm& now);
    void ClearMark(std::string_view code);

    // One table page's rows: evaluates them (when `fresh`, see Evaluate) and says which rows
    // are marked; `marks` is empty when none is, so that the page is the one without alerts.
    // The rows' codes are kept for RowCode.
    struct Review {
        std::vector<bool> marks;
        std::vector<FiredAlert> fired;
    };
    Review ReviewRows(std::span<const QuoteRecord> rows, const char* dataTime, const std::tm& now,
                      bool fresh, bool muted);
    // The code of a row of the last page reviewed; empty past its rows.
    std::string RowCode(std::size_t row) const;

  private:
    void StartDay(int day);

    struct RuleState {
        std::int64_t value = 0;  // the rule the state belongs to
        bool fired = false;
    };

    mutable std::mutex mutex_;
    AlertRuleBook rules_;
    std::map<std::string, std::array<RuleState, AlertKindCount>, std::less<>> states_;
    std::set<std::string, std::less<>> marked_;
    std::vector<std::string> rowCodes_;
    int day_ = 0;
};

// The local date of `now` as YYYYMMDD.
int LocalDateNumber(const std::tm& now);

}  // namespace vemo
