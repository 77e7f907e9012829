# The quote library's sources: listed once for its own build and for the fuzz targets.
set(vemo_quotes_sources
  Alerts.cpp Gbk.cpp Holdings.cpp HoldingsFile.cpp MissingCodes.cpp PageTexts.cpp QuoteCells.cpp
  QuoteFailover.cpp QuoteFetch.cpp QuotePage.cpp QuoteParsers.cpp QuoteUrl.cpp Suggest.cpp
  TextFormat.cpp)
