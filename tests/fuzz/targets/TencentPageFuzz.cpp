// A Tencent answer through the Tencent parser and the quote page.

#include "tests/fuzz/targets/QuotePageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vemo::fuzz::ParseAndRender(data, size, vemo::ProviderTencent,
                               [](std::span<const std::string> lines, vemo::QuoteBatch& batch) {
                                   vemo::ParseTencentResponse(lines, batch);
                               });
    return 0;
}
