#include "find/FindText.h"

#include <QChar>

using namespace Qt::StringLiterals;

namespace find {
namespace {

bool IsHigh(QChar c) {
    return c.isHighSurrogate();
}
bool IsLow(QChar c) {
    return c.isLowSurrogate();
}

bool IsKana(CharClass c) {
    return c == CharClass::Hiragana || c == CharClass::Katakana || c == CharClass::KanaMark;
}

// The code point that ends just before `pos`, or the one that starts at it.
char32_t CodePointBefore(QStringView text, qsizetype pos) {
    const QChar c = text[pos - 1];
    if (IsLow(c) && pos >= 2 && IsHigh(text[pos - 2]))
        return QChar::surrogateToUcs4(text[pos - 2], c);
    return c.unicode();
}

char32_t CodePointAt(QStringView text, qsizetype pos) {
    const QChar c = text[pos];
    if (IsHigh(c) && pos + 1 < text.size() && IsLow(text[pos + 1]))
        return QChar::surrogateToUcs4(c, text[pos + 1]);
    return c.unicode();
}

// Whether `pos` falls between the two halves of a surrogate pair.
bool SplitsPair(QStringView text, qsizetype pos) {
    return pos > 0 && pos < text.size() && IsHigh(text[pos - 1]) && IsLow(text[pos]);
}

Qt::CaseSensitivity Sensitivity(const FindOptions& options) {
    return options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

bool IsAcceptable(QStringView text, qsizetype start, qsizetype length, const FindOptions& options) {
    if (SplitsPair(text, start) || SplitsPair(text, start + length))
        return false;
    if (options.wholeWord &&
        (!IsWordBoundary(text, start) || !IsWordBoundary(text, start + length)))
        return false;
    return true;
}

} // namespace

QString ToPaneText(const QString& typed) {
    QString text = typed;
    text.replace(u"\r\n"_s, QString(QChar::ParagraphSeparator));
    text.replace(u'\r', QChar::ParagraphSeparator);
    text.replace(u'\n', QChar::ParagraphSeparator);
    return text;
}

CharClass ClassOf(char32_t cp) {
    if (cp == u'_')
        return CharClass::Alphanumeric;
    // Long vowel marks and the voiced sound marks, full and half width.
    if (cp == 0x30FC || cp == 0xFF70 || (cp >= 0x3099 && cp <= 0x309C) || cp == 0xFF9E ||
        cp == 0xFF9F)
        return CharClass::KanaMark;
    if (cp >= 0xD800 && cp <= 0xDFFF) // a lone surrogate: a preserved raw byte
        return CharClass::Separator;
    switch (QChar::script(cp)) {
    case QChar::Script_Han:
        return CharClass::Kanji;
    case QChar::Script_Hiragana:
        return CharClass::Hiragana;
    case QChar::Script_Katakana:
        return CharClass::Katakana;
    default:
        break;
    }
    if (QChar::isLetterOrNumber(cp) || QChar::isMark(cp))
        return CharClass::Alphanumeric;
    return CharClass::Separator;
}

bool IsWordBoundary(QStringView text, qsizetype pos) {
    if (pos <= 0 || pos >= text.size())
        return true;
    const CharClass before = ClassOf(CodePointBefore(text, pos));
    const CharClass after = ClassOf(CodePointAt(text, pos));
    if (before == CharClass::Separator || after == CharClass::Separator)
        return true;
    if (before == after)
        return false;
    // A kana mark joins the kana on either side of it.
    if ((before == CharClass::KanaMark && IsKana(after)) ||
        (after == CharClass::KanaMark && IsKana(before)))
        return false;
    return true;
}

bool MatchesAt(QStringView text, qsizetype start, QStringView needle, const FindOptions& options) {
    if (needle.isEmpty() || start < 0 || start + needle.size() > text.size())
        return false;
    if (text.mid(start, needle.size()).compare(needle, Sensitivity(options)) != 0)
        return false;
    return IsAcceptable(text, start, needle.size(), options);
}

std::optional<Match> FindForward(QStringView text, QStringView needle, const FindOptions& options,
                                 qsizetype from) {
    if (needle.isEmpty())
        return std::nullopt;
    const Qt::CaseSensitivity cs = Sensitivity(options);
    for (qsizetype pos = qMax<qsizetype>(from, 0); pos + needle.size() <= text.size();) {
        const qsizetype i = text.indexOf(needle, pos, cs);
        if (i < 0)
            break;
        if (IsAcceptable(text, i, needle.size(), options))
            return Match{i, needle.size()};
        pos = i + 1;
    }
    return std::nullopt;
}

std::optional<Match> FindBackward(QStringView text, QStringView needle, const FindOptions& options,
                                  qsizetype to) {
    if (needle.isEmpty())
        return std::nullopt;
    const Qt::CaseSensitivity cs = Sensitivity(options);
    // lastIndexOf counts a negative start from the end: stop before that.
    for (qsizetype pos = qMin(to, text.size()) - needle.size(); pos >= 0;) {
        const qsizetype i = text.lastIndexOf(needle, pos, cs);
        if (i < 0)
            break;
        if (IsAcceptable(text, i, needle.size(), options))
            return Match{i, needle.size()};
        pos = i - 1;
    }
    return std::nullopt;
}

std::optional<Match> FindNext(QStringView text, const FindOptions& options, qsizetype selStart,
                              qsizetype selEnd) {
    const QString needle = ToPaneText(options.what);
    if (options.down) {
        if (auto m = FindForward(text, needle, options, selEnd))
            return m;
        return FindForward(text, needle, options, 0); // wrapped around
    }
    if (auto m = FindBackward(text, needle, options, selStart))
        return m;
    return FindBackward(text, needle, options, text.size()); // wrapped around
}

QList<Match> FindAll(QStringView text, const FindOptions& options) {
    const QString needle = ToPaneText(options.what);
    QList<Match> matches;
    qsizetype pos = 0;
    while (auto m = FindForward(text, needle, options, pos)) {
        matches << *m;
        pos = m->end();
    }
    return matches;
}

QString ReplaceSpan(QStringView text, const QList<Match>& matches, QStringView replacement) {
    QString result;
    if (matches.isEmpty())
        return result;
    const qsizetype spanStart = matches.first().start;
    const qsizetype spanEnd = matches.last().end();
    result.reserve(spanEnd - spanStart +
                   matches.size() * (replacement.size() - matches.first().length));
    qsizetype at = spanStart;
    for (const Match& m : matches) {
        result += text.mid(at, m.start - at);
        result += replacement;
        at = m.end();
    }
    return result;
}

} // namespace find
