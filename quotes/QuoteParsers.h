#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/Quotes.h"

namespace vemo {

// A price field's text in millionths of a yuan, read as exactly as it is written (a seventh
// decimal rounds half away from zero); forms that are not plain decimals go through the reading of
// the float fields. Values beyond the range of a price are clamped, and what is no number is 0.
std::int64_t ExactPriceUnits(std::string_view field);

// Splits a response body into lines at line feeds; a carriage return before a line feed is
// removed. A body that ends with a line feed has no empty last line.
std::vector<std::string> SplitResponseLines(std::string_view body);

// Parse a provider's response, delivered as lines without terminators, into the batch: records
// in response order, at most MaxQuotes of them, the count and the data time. The batch must be
// fresh (no records, count 0, empty data time).
void ParseSinaResponse(std::span<const std::string> lines, QuoteBatch& batch);
// `now` is the local time used as data time when the response carries none; without it, the
// current local time.
void ParseNetEaseResponse(std::span<const std::string> lines, QuoteBatch& batch,
                          const std::tm& now);
void ParseNetEaseResponse(std::span<const std::string> lines, QuoteBatch& batch);
// Tencent's v_SYMBOL="...~...~..."; lines. Entries for unknown symbols, empty entries and
// entries cut off before their turnover field give no record; the data time is the first
// record's own, and only a date and time of fourteen digits is taken as one.
void ParseTencentResponse(std::span<const std::string> lines, QuoteBatch& batch);

}  // namespace vemo
