#include "pane/TagMatch.h"

#include <QString>

#include <array>
#include <vector>

namespace pane {
namespace {

bool IsAlpha(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsNameChar(QChar c) {
    return IsAlpha(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u':' || c == u'_' || c == u'.';
}

constexpr std::array<std::u16string_view, 14> kVoid{
    u"area", u"base", u"br", u"col", u"embed", u"hr", u"img",
    u"input", u"link", u"meta", u"param", u"source", u"track", u"wbr"};

bool IsVoid(QStringView name) {
    for (std::u16string_view v : kVoid)
        if (name.compare(QStringView(v.data(), qsizetype(v.size())), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

struct Tag {
    qsizetype name, length;
    bool end;
    bool selfClosing;
};

// Where the tag whose name ends at `i` ends (after its '>'), quoted
// attribute values skipped; sets `selfClosing`; -1 when it does not end.
qsizetype TagEnd(QStringView text, qsizetype i, bool& selfClosing) {
    QChar quote;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            selfClosing = i > 0 && text[i - 1] == u'/';
            return i + 1;
        } else if (c == u'<') {
            return i; // a tag left open
        }
    }
    return -1;
}

// Calls `onTag` with each tag in `text` from `from`, comments and the
// content of script and style stepped over; stops when it returns false.
template <typename F>
void ScanTags(QStringView text, qsizetype from, F&& onTag) {
    qsizetype i = from;
    const qsizetype n = text.size();
    while (i < n) {
        i = text.indexOf(u'<', i);
        if (i < 0 || i + 1 >= n)
            return;
        if (text.mid(i, 4) == u"<!--") {
            const qsizetype close = text.indexOf(u"-->", i + 4);
            if (close < 0)
                return;
            i = close + 3;
            continue;
        }
        const bool end = text[i + 1] == u'/';
        qsizetype name = i + (end ? 2 : 1);
        if (name >= n || !IsAlpha(text[name])) {
            ++i;
            continue;
        }
        qsizetype j = name;
        while (j < n && IsNameChar(text[j]))
            ++j;
        bool selfClosing = false;
        const qsizetype after = TagEnd(text, j, selfClosing);
        if (!onTag(Tag{name, j - name, end, selfClosing}))
            return;
        if (after < 0)
            return;
        i = after;
        const QStringView tagName = text.mid(name, j - name);
        if (!end && (tagName.compare(u"script", Qt::CaseInsensitive) == 0 ||
                     tagName.compare(u"style", Qt::CaseInsensitive) == 0)) {
            const QString close = QStringLiteral("</") + tagName.toString();
            const qsizetype k = text.indexOf(close, i, Qt::CaseInsensitive);
            if (k < 0)
                return;
            i = k;
        }
    }
}

} // namespace

std::optional<std::pair<qsizetype, qsizetype>> FindTagName(QStringView text, qsizetype caret) {
    if (caret < 0 || caret > text.size())
        return std::nullopt;
    qsizetype start = caret, stop = caret;
    while (start > 0 && IsNameChar(text[start - 1]))
        --start;
    while (stop < text.size() && IsNameChar(text[stop]))
        ++stop;
    if (start == stop || start == 0 || !IsAlpha(text[start]))
        return std::nullopt;
    const qsizetype open = text[start - 1] == u'/' ? start - 2 : start - 1;
    if (open < 0 || text[open] != u'<')
        return std::nullopt;
    return std::pair{start, stop - start};
}

std::optional<TagNames> FindMatchingTag(QStringView text, qsizetype caret) {
    const auto at = FindTagName(text, caret);
    if (!at)
        return std::nullopt;
    const qsizetype start = at->first, stop = at->first + at->second;
    const bool end = text[start - 1] == u'/';
    const QStringView name = text.mid(start, stop - start);
    if (IsVoid(name))
        return std::nullopt;
    const auto same = [&](const Tag& tag) {
        return tag.length == name.size() &&
               text.mid(tag.name, tag.length).compare(name, Qt::CaseInsensitive) == 0;
    };
    TagNames found{start, stop - start, -1, 0};
    if (!end) {
        bool selfClosing = false;
        const qsizetype after = TagEnd(text, stop, selfClosing);
        if (after < 0 || selfClosing)
            return std::nullopt;
        int depth = 1;
        ScanTags(text, after, [&](const Tag& tag) {
            if (!same(tag) || tag.selfClosing)
                return true;
            depth += tag.end ? -1 : 1;
            if (depth > 0)
                return true;
            found.partner = tag.name;
            found.partnerLength = tag.length;
            return false;
        });
    } else {
        // The start tags of this name still open when the end tag comes.
        std::vector<qsizetype> open;
        ScanTags(text, 0, [&](const Tag& tag) {
            if (tag.name >= start)
                return false;
            if (same(tag) && !tag.selfClosing) {
                if (!tag.end)
                    open.push_back(tag.name);
                else if (!open.empty())
                    open.pop_back();
            }
            return true;
        });
        if (!open.empty()) {
            found.partner = open.back();
            found.partnerLength = name.size();
        }
    }
    if (found.partner < 0)
        return std::nullopt;
    return found;
}

} // namespace pane
