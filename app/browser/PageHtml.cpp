#include "app/browser/PageHtml.h"

#include <QStringList>
#include <QStringView>
#include <QtMath>

#include <vector>

namespace vemo {

namespace {

struct Attribute {
    QString name;  // lower case
    QString value;
    bool hasValue = false;
};

struct Tag {
    QString name;  // lower case
    bool closing = false;
    bool selfClosing = false;
    std::vector<Attribute> attributes;

    Attribute* Find(QStringView attributeName) {
        for (Attribute& attribute : attributes) {
            if (attribute.name == attributeName) {
                return &attribute;
            }
        }
        return nullptr;
    }
    void Set(const QString& attributeName, const QString& value) {
        if (Attribute* attribute = Find(attributeName)) {
            attribute->value = value;
            attribute->hasValue = true;
        } else {
            attributes.push_back({attributeName, value, true});
        }
    }
};

// What a <tr> says that Qt does not pass on to its cells.
struct RowContext {
    QString cssClass;
    QString align;
};

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsHexDigit(QChar c) {
    return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// True when text[at] == '&' opens a complete character reference ("&#10;", "&#x41;", "&amp;").
bool StartsEntity(QStringView text, qsizetype at) {
    qsizetype i = at + 1;
    const qsizetype n = text.size();
    if (i < n && text[i] == u'#') {
        ++i;
        const bool hex = i < n && (text[i] == u'x' || text[i] == u'X');
        if (hex) {
            ++i;
        }
        const qsizetype digitsStart = i;
        while (i < n && (hex ? IsHexDigit(text[i]) : IsAsciiDigit(text[i]))) {
            ++i;
        }
        return i > digitsStart && i < n && text[i] == u';';
    }
    const qsizetype nameStart = i;
    while (i < n && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]))) {
        ++i;
    }
    return i > nameStart && i < n && text[i] == u';';
}

// Whether a row's class or alignment is carried onto its cells: only a short plain word, so that
// the copies add a few bytes per cell however long the row's attribute is, and the output stays
// within a small constant factor of the input.
bool IsCarriedValue(const QString& value) {
    constexpr qsizetype MaxCarriedLength = 8;
    if (value.isEmpty() || value.size() > MaxCarriedLength) {
        return false;
    }
    for (const QChar c : value) {
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != u'-' && c != u'_') {
            return false;
        }
    }
    return true;
}

// A value as it goes between double quotes: references stay, a bare '&' and '"' are escaped.
QString QuoteAttributeValue(QStringView value) {
    QString out;
    out.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'"') {
            out += u"&quot;";
        } else if (c == u'&' && !StartsEntity(value, i)) {
            out += u"&amp;";
        } else {
            out += c;
        }
    }
    return out;
}

// "1px", " 2PX " -> "1", "2"; anything that is not a plain pixel length stays as it is.
QString DropPixelUnit(const QString& value) {
    const QString trimmed = value.trimmed();
    if (!trimmed.endsWith(u"px", Qt::CaseInsensitive)) {
        return value;
    }
    const QString number = trimmed.chopped(2).trimmed();
    bool ok = false;
    number.toDouble(&ok);
    return ok ? number : value;
}

bool IsPixelLengthAttribute(QStringView name) {
    return name == u"cellspacing" || name == u"cellpadding" || name == u"height" ||
           name == u"width" || name == u"border";
}

// Reads the tag that starts at html[pos] == '<' (attribute syntax as browsers read it: quoted
// values run to their closing quote, unquoted ones to white space or '>'). Returns the index
// after the tag, or -1 when the '<' does not start a tag.
qsizetype ParseTag(const QString& html, qsizetype pos, Tag& tag) {
    const qsizetype n = html.size();
    qsizetype i = pos + 1;
    if (i < n && html[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    if (i >= n || !IsAsciiLetter(html[i])) {
        return -1;
    }
    const qsizetype nameStart = i;
    while (i < n && !IsSpace(html[i]) && html[i] != u'/' && html[i] != u'>') {
        ++i;
    }
    tag.name = html.mid(nameStart, i - nameStart).toLower();

    while (i < n) {
        while (i < n && IsSpace(html[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        if (html[i] == u'>') {
            return i + 1;
        }
        if (html[i] == u'/') {
            if (i + 1 < n && html[i + 1] == u'>') {
                tag.selfClosing = true;
                return i + 2;
            }
            ++i;
            continue;
        }
        Attribute attribute;
        const qsizetype attributeStart = i;
        ++i;  // the first character belongs to the name even when it is '='
        while (i < n && !IsSpace(html[i]) && html[i] != u'/' && html[i] != u'>' &&
               html[i] != u'=') {
            ++i;
        }
        attribute.name = html.mid(attributeStart, i - attributeStart).toLower();
        qsizetype j = i;
        while (j < n && IsSpace(html[j])) {
            ++j;
        }
        if (j < n && html[j] == u'=') {
            i = j + 1;
            while (i < n && IsSpace(html[i])) {
                ++i;
            }
            attribute.hasValue = true;
            if (i < n && (html[i] == u'"' || html[i] == u'\'')) {
                const QChar quote = html[i];
                const qsizetype valueStart = i + 1;
                qsizetype valueEnd = html.indexOf(quote, valueStart);
                if (valueEnd < 0) {
                    valueEnd = n;
                }
                attribute.value = html.mid(valueStart, valueEnd - valueStart);
                i = valueEnd < n ? valueEnd + 1 : n;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !IsSpace(html[i]) && html[i] != u'>') {
                    ++i;
                }
                attribute.value = html.mid(valueStart, i - valueStart);
            }
        }
        // A name that begins with '=' (as in "a/=b") names nothing a browser uses; written out
        // after an attribute without a value, it would read back as that attribute's value.
        if (!attribute.name.startsWith(u'=')) {
            tag.attributes.push_back(std::move(attribute));
        }
    }
    return n;  // a tag cut off by the end of the text is closed here
}

void AppendTag(QString& out, const Tag& tag) {
    out += u'<';
    if (tag.closing) {
        out += u'/';
    }
    out += tag.name;
    for (const Attribute& attribute : tag.attributes) {
        out += u' ';
        out += attribute.name;
        if (attribute.hasValue) {
            out += u"=\"";
            out += QuoteAttributeValue(attribute.value);
            out += u'"';
        }
    }
    out += tag.selfClosing ? u" />" : u">";
}

// True when only white space stands between html[from] and the cell's end tag, read as the
// tag itself is read ("</td>", "</TD >", "</td/>").
bool CellIsEmpty(const QString& html, qsizetype from, const QString& cellName) {
    qsizetype i = from;
    while (i < html.size() && IsSpace(html[i])) {
        ++i;
    }
    if (i >= html.size() || html[i] != u'<') {
        return false;
    }
    Tag end;
    return ParseTag(html, i, end) >= 0 && end.closing && end.name == cellName;
}

void AddStyle(Tag& tag, const QString& declarations) {
    Attribute* style = tag.Find(u"style");
    if (!style || style->value.trimmed().isEmpty()) {
        tag.Set(QStringLiteral("style"), declarations);
        return;
    }
    QString value = style->value.trimmed();
    if (!value.endsWith(u';')) {
        value += u';';
    }
    style->value = value + u' ' + declarations;
}

// Raw-text elements whose content is not markup.
bool IsRawTextElement(const QString& name) {
    return name == u"style" || name == u"script";
}

}  // namespace

QString NormalisePageHtml(const QString& html) {
    QString out;
    out.reserve(html.size() + html.size() / 4);
    std::vector<RowContext> tables;  // one per open <table>
    const qsizetype n = html.size();
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype lt = html.indexOf(u'<', pos);
        if (lt < 0) {
            out += QStringView(html).mid(pos);
            break;
        }
        out += QStringView(html).mid(pos, lt - pos);
        pos = lt;

        if (QStringView(html).mid(pos).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", pos + 4);
            const qsizetype next = end < 0 ? n : end + 3;
            out += QStringView(html).mid(pos, next - pos);
            pos = next;
            continue;
        }
        if (pos + 1 < n && (html[pos + 1] == u'!' || html[pos + 1] == u'?')) {
            const qsizetype end = html.indexOf(u'>', pos);
            const qsizetype next = end < 0 ? n : end + 1;
            out += QStringView(html).mid(pos, next - pos);
            pos = next;
            continue;
        }

        Tag tag;
        const qsizetype next = ParseTag(html, pos, tag);
        if (next < 0) {
            out += u'<';
            ++pos;
            continue;
        }
        pos = next;

        for (Attribute& attribute : tag.attributes) {
            if (attribute.hasValue && IsPixelLengthAttribute(attribute.name)) {
                attribute.value = DropPixelUnit(attribute.value);
            }
        }

        if (tag.name == u"table") {
            if (tag.closing) {
                if (!tables.empty()) {
                    tables.pop_back();
                }
            } else {
                tables.emplace_back();
            }
        } else if (tag.name == u"tr") {
            if (tables.empty()) {
                tables.emplace_back();
            }
            RowContext& row = tables.back();
            row = RowContext{};
            if (!tag.closing) {
                if (const Attribute* a = tag.Find(u"class"); a && IsCarriedValue(a->value)) {
                    row.cssClass = a->value;
                }
                if (const Attribute* a = tag.Find(u"align"); a && IsCarriedValue(a->value)) {
                    row.align = a->value;
                }
            }
        } else if ((tag.name == u"td" || tag.name == u"th") && !tag.closing) {
            if (!tables.empty()) {
                const RowContext& row = tables.back();
                if (!row.cssClass.isEmpty() && !tag.Find(u"class")) {
                    tag.Set(QStringLiteral("class"), row.cssClass);
                }
                if (!row.align.isEmpty() && !tag.Find(u"align")) {
                    tag.Set(QStringLiteral("align"), row.align);
                }
            }
            const Attribute* height = tag.Find(u"height");
            const Attribute* style = tag.Find(u"style");
            const bool styled = style && style->value.contains(u"-qt-line-height-type");
            if (height && height->hasValue && !styled && CellIsEmpty(html, pos, tag.name)) {
                bool ok = false;
                const int pixels = height->value.trimmed().toInt(&ok);
                if (ok && pixels >= 0) {
                    AddStyle(tag, QStringLiteral("padding:0px; line-height:%1px; "
                                                 "-qt-line-height-type:fixed;")
                                      .arg(pixels));
                }
            }
        }

        AppendTag(out, tag);

        if (!tag.closing && !tag.selfClosing && IsRawTextElement(tag.name)) {
            // Copy the content as it stands up to the element's end tag.
            const QString endTag = QStringLiteral("</") + tag.name;
            qsizetype end = html.indexOf(endTag, pos, Qt::CaseInsensitive);
            if (end < 0) {
                end = n;
            }
            out += QStringView(html).mid(pos, end - pos);
            pos = end;
        }
    }
    return out;
}

int PageBodyMargin(const QString& html) {
    int margin = -1;
    qsizetype pos = 0;
    while (true) {
        const qsizetype open = html.indexOf(QStringLiteral("<style"), pos, Qt::CaseInsensitive);
        if (open < 0) {
            break;
        }
        const qsizetype contentStart = html.indexOf(u'>', open);
        if (contentStart < 0) {
            break;
        }
        qsizetype contentEnd =
            html.indexOf(QStringLiteral("</style"), contentStart, Qt::CaseInsensitive);
        if (contentEnd < 0) {
            contentEnd = html.size();
        }
        QString sheet = html.mid(contentStart + 1, contentEnd - contentStart - 1);
        pos = contentEnd;

        // Comments out, then rule by rule; a later declaration overrides an earlier one.
        for (qsizetype c = sheet.indexOf(u"/*"); c >= 0; c = sheet.indexOf(u"/*", c)) {
            const qsizetype end = sheet.indexOf(u"*/", c + 2);
            sheet.remove(c, end < 0 ? sheet.size() - c : end + 2 - c);
        }
        qsizetype at = 0;
        while (true) {
            const qsizetype brace = sheet.indexOf(u'{', at);
            if (brace < 0) {
                break;
            }
            qsizetype close = sheet.indexOf(u'}', brace);
            if (close < 0) {
                close = sheet.size();
            }
            const QString selectors = sheet.mid(at, brace - at);
            const QString block = sheet.mid(brace + 1, close - brace - 1);
            at = close + 1;
            bool forBody = false;
            for (const QString& selector : selectors.split(u',')) {
                forBody = forBody || selector.trimmed().compare(u"body", Qt::CaseInsensitive) == 0;
            }
            if (!forBody) {
                continue;
            }
            for (const QString& declaration : block.split(u';')) {
                const qsizetype colon = declaration.indexOf(u':');
                if (colon < 0 || declaration.left(colon).trimmed().compare(
                                     u"margin", Qt::CaseInsensitive) != 0) {
                    continue;
                }
                QString value = declaration.mid(colon + 1).trimmed().section(u' ', 0, 0);
                if (value.endsWith(u"px", Qt::CaseInsensitive)) {
                    value.chop(2);
                }
                bool ok = false;
                const double pixels = value.toDouble(&ok);
                if (ok && pixels >= 0 && pixels < 10000) {
                    margin = qRound(pixels);
                }
            }
        }
    }
    return margin;
}

}  // namespace vemo
