// Any page text through the HTML normalisation for the browser view: the output stays within a
// small constant factor of the input, and normalising it again changes nothing.

#include <QString>

#include <cstddef>
#include <cstdint>

#include "app/browser/PageHtml.h"
#include "tests/fuzz/targets/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString html =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString once = vemo::NormalisePageHtml(html);
    // The most a cell can gain is a carried class and alignment; a cut-off tag gains its '>'.
    FUZZ_CHECK(once.size() <= 10 * html.size() + 1);
    FUZZ_CHECK(vemo::NormalisePageHtml(once) == once);
    const int margin = vemo::PageBodyMargin(html);
    FUZZ_CHECK(margin >= -1 && margin < 10000);
    return 0;
}
