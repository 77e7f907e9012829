#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "net/HttpGet.h"

namespace vemo {

inline constexpr int MaxQuotes = 30;

inline constexpr std::size_t QuoteTextSize = 10;  // 9 bytes of text and a terminator
inline constexpr std::size_t DataTimeSize = 20;   // 19 characters and a terminator
inline constexpr std::size_t DataDateSize = 11;   // "YYYY-MM-DD" and a terminator

// One parsed quote. Names stay in the provider's GBK bytes.
struct QuoteRecord {
    char name[QuoteTextSize];
    char code[QuoteTextSize];
    float price;          // yuan
    float prevClose;      // yuan
    float open;           // yuan
    float high;           // yuan
    float low;            // yuan
    std::int32_t volume;  // lots of 100 shares
    float turnover;       // 10,000 yuan
    std::int32_t date;    // the record's own date as YYYYMMDD; 0 when it carries none
    // The price and previous close as the service wrote them, in millionths of a yuan. A float
    // cannot hold most prices exactly (10.23 is 10.2299995...), so money is computed from these.
    std::int64_t exactPrice;
    std::int64_t exactPrevClose;
};

inline constexpr std::int64_t ExactPriceUnitsPerYuan = 1'000'000;

// The caller-owned result of one fetch. Records are owned by their slots, so whatever is left
// in the table (after a failed fetch, or rows not yet written) is released with the batch.
struct QuoteBatch {
    std::array<std::unique_ptr<QuoteRecord>, MaxQuotes> records;
    std::int32_t count = 0;
    char dataTime[DataTimeSize] = {};
    // The latest date that any record's own date and time carries, "YYYY-MM-DD"; empty when
    // none carries one. A suspended security keeps an old date, so the first record's is not
    // enough to tell whether the market traded today.
    char newestDate[DataDateSize] = {};
};

// The header block sent with every quote request; no CR LF after the last header.
inline constexpr char QuoteRequestHeaders[] =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1;)";

// Sina refuses requests that do not say they come from its own pages.
inline constexpr char SinaRefererHeader[] = "Referer: http://finance.sina.com.cn/";

}  // namespace vemo
