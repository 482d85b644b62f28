#include "tags/WrapText.h"

#include "res/CommandIds.h"

#include <algorithm>

namespace tags {
namespace {

// The table wrappers use a bare line feed, the line-break tag CR LF.
const WrapTags kWrapCommands[] = {
    {ID_BOLD, u"<B>", u"</B>"},
    {ID_ITALIC, u"<I>", u"</I>"},
    {ID_UNDERLINE, u"<U>", u"</U>"},
    {ID_CENTER, u"<CENTER>", u"</CENTER>"},
    {ID_TABLE_ROW, u"<TR>\n", u"\n</TR>"},
    {ID_TABLE_DATA, u"<TD>\n", u"\n</TD>"},
    {ID_TABLE_HEADER, u"<TH>\n", u"\n</TH>"},
};

const char16_t kLineBreak[] = u"<BR>\r\n";

} // namespace

std::span<const WrapTags> WrapCommands() {
    return kWrapCommands;
}

const WrapTags* FindWrapTags(int id) {
    const auto it = std::find_if(std::begin(kWrapCommands), std::end(kWrapCommands),
                                 [id](const WrapTags& t) { return t.id == id; });
    return it == std::end(kWrapCommands) ? nullptr : &*it;
}

QString WrapText(const WrapTags& tags, const QString& selection) {
    return QString::fromUtf16(tags.opening) + selection + QString::fromUtf16(tags.closing);
}

QString WrapText(int id, const QString& selection) {
    const WrapTags* tags = FindWrapTags(id);
    return tags ? WrapText(*tags, selection) : QString();
}

QString LineBreakText() {
    return QString::fromUtf16(kLineBreak);
}

} // namespace tags
