#pragma once

namespace vemo {

// The quote page's Chinese texts, compiled into GBK bytes. Those named ...Format are printf
// formats; the others are written as they stand.

// Header cells of the five columns.
extern const char HeaderCodeCell[];
extern const char HeaderNameCell[];
extern const char HeaderPriceCell[];
extern const char HeaderChangeAmountCell[];
extern const char HeaderChangePercentCell[];
// Header cells of the two profit columns, and the caption of the row of sums below them.
extern const char HeaderTodayProfitCell[];
extern const char HeaderTotalProfitCell[];
extern const char TotalRowCaption[];

// The upgrade notice: the first part, then the quoted home-page address, then the second part.
extern const char UpgradeNoticeStart[];
extern const char UpgradeNoticeEnd[];
// The upgrade notice of a program that the system's package manager replaces: no download link.
extern const char PackageUpgradeNotice[];
extern const char EmptyListNotice[];

// Takes the background colour.
extern const char FetchErrorPageFormat[];
// Takes the table's font size in pixels.
extern const char PageStyleFormat[];
// The quote services' names, and the mark of quotes that a refresh could not renew.
extern const char SinaServiceName[];
extern const char NetEaseServiceName[];
extern const char TencentServiceName[];
extern const char StaleMark[];

// Takes name, code, previous close, open, high, low (doubles), volume (int), turnover (double).
extern const char TooltipFormat[];

}  // namespace vemo
