// A NetEase answer through the NetEase parser and the quote page.

#include "tests/fuzz/targets/QuotePageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A fixed clock, so that an input gives the same page every time it is run.
    std::tm now{};
    now.tm_year = 2009 - 1900;
    now.tm_mon = 0;
    now.tm_mday = 5;
    now.tm_hour = 9;
    now.tm_min = 30;
    now.tm_sec = 7;
    vemo::fuzz::ParseAndRender(data, size, vemo::ProviderNetEase,
                               [&now](std::span<const std::string> lines, vemo::QuoteBatch& batch) {
                                   vemo::ParseNetEaseResponse(lines, batch, now);
                               });
    return 0;
}
