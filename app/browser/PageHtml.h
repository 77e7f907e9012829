#pragma once

#include <QString>

namespace vemo {

// Rewrites a page's HTML so that Qt's rich-text reader shows it the way a web browser shows the
// original text. Qt reads HTML differently from browsers in a few ways the quote page runs into:
// - an unquoted attribute value ends at '=' (so "href=...?Ver=43&Dts=2" loses its query and the
//   rest of the tag): every value is written out quoted, bare '&' as "&amp;";
// - "cellspacing=0px", "cellpadding=2px", "height=1px" are not read as numbers: the "px" goes;
// - "align" on <tr> is ignored: it, and the row's "class", are carried onto each cell that has
//   none of its own (only short plain words, so that the page cannot grow by the row's size
//   times its cells);
// - an empty cell with a "height" is drawn a full text line high: it gets no padding and a fixed
//   line height of that many pixels.
// Everything else (text, comments, style sheets) passes through unchanged.
QString NormalisePageHtml(const QString& html);

// The body margin, in pixels, that the page's style sheets give ("body{margin:5px}"); -1 when
// they give none (the view then gives the page a browser's default margin).
int PageBodyMargin(const QString& html);

}  // namespace vemo
