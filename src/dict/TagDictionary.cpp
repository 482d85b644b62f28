#include "dict/TagDictionary.h"

#include "res/StringTable.h"

namespace dict {
namespace {

// "～" is U+FF5E, which code page 932 holds as 0x81 0x60.
// clang-format off
constexpr Entry kEntries[] = {
    {u"html", u"<HTML>～</HTML>",
     u"HTML文書だと証明するようなタグ。\nHTML文書には必ず、最初と最後につきます。"},
    {u"b", u"<B>～</B>", u"太字。"},
    {u"br", u"<BR>", u"改行。"},
    {u"blink", u"<BLINK>～</BLINK>", u"点滅文字。\nNetscapeのみ。"},
    {u"bgcolor", u"<BODY BGCOLOR=\"*****\">", u"背景色。"},
    {u"background", u"<BODY BACKGROUND=\"*****\">", u"背景画像。"},
};
// clang-format on

constexpr char16_t kFullWidthCapitalA = 0xFF21;
constexpr char16_t kFullWidthCapitalZ = 0xFF3A;
constexpr char16_t kFullWidthCaseOffset = 0xFF41 - 0xFF21;

} // namespace

std::span<const Entry> Entries() { return kEntries; }

QString ToLowerCodePage(QStringView text) {
    QString lowered = text.toString();
    for (QChar& c : lowered) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(char16_t(u + (u'a' - u'A')));
        else if (u >= kFullWidthCapitalA && u <= kFullWidthCapitalZ)
            c = QChar(char16_t(u + kFullWidthCaseOffset));
    }
    return lowered;
}

Lookup LookUp(const QString& selection) {
    const QString lowered = ToLowerCodePage(selection);
    if (lowered.isEmpty())
        return {QString(), res::LoadString(res::IDS_DICT_NOTHING_SELECTED)};
    for (const Entry& entry : kEntries) {
        if (lowered == QStringView(entry.name))
            return {QString::fromUtf16(entry.tag), QString::fromUtf16(entry.description)};
    }
    return {QString(), res::LoadString(res::IDS_DICT_NOT_FOUND) +
                           res::LoadString(res::IDS_DICT_CONTACT)};
}

} // namespace dict
