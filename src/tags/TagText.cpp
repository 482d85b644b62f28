#include "tags/TagText.h"

using namespace Qt::StringLiterals;

namespace tags {
namespace {

// ` NAME="value"`
QString Attribute(QStringView name, const QString& value) {
    QString text;
    text += u' ';
    text += name;
    text += u"=\"";
    text += value;
    text += u'"';
    return text;
}

constexpr QStringView kPageHead =
    u"<HTML>\r\n\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY";
constexpr QStringView kPageTail = u"\r\n\r\n</BODY>\r\n\r\n</HTML>";

} // namespace

QString BuildPageSkeleton(const PageSkeleton& page) {
    QString text;
    if (page.useDoctype)
        text += page.doctype + u"\r\n\r\n"_s;
    text += kPageHead;
    text += Attribute(page.useImage ? u"BACKGROUND" : u"BGCOLOR", page.background);
    text += Attribute(u"TEXT", page.text);
    text += Attribute(u"LINK", page.link);
    text += Attribute(u"ALINK", page.alink);
    text += Attribute(u"VLINK", page.vlink);
    text += u'>';
    text += kPageTail;
    return text;
}

QString BuildFontTag(const FontAttributes& font, const QString& content) {
    QString text = u"<FONT"_s;
    if (font.useColor)
        text += Attribute(u"COLOR", font.color);
    if (font.useSize)
        text += Attribute(u"SIZE", font.size);
    if (font.useFace)
        text += Attribute(u"FACE", font.face);
    return text + u">"_s + content + u"</FONT>"_s;
}

QString BuildLinkTag(const QString& location, const QString& text, const QString& target,
                     bool useTarget) {
    QString tag = u"<A"_s + Attribute(u"HREF", location);
    if (useTarget)
        tag += Attribute(u"TARGET", target);
    return tag + u">"_s + text + u"</A>"_s;
}

QString BuildMailTag(const QString& address, const QString& text) {
    return u"<A"_s + Attribute(u"HREF", u"mailto:"_s + address) + u">"_s + text + u"</A>"_s;
}

QString BuildImageTag(const ImageAttributes& image) {
    QString tag = u"<IMG"_s + Attribute(u"SRC", image.location);
    if (image.useSize)
        tag += Attribute(u"HEIGHT", image.height) + Attribute(u"WIDTH", image.width);
    if (image.useBorder)
        tag += Attribute(u"BORDER", image.border);
    return tag + u">"_s;
}

QString BuildHrTag(const QString& size, const QString& width, bool useWidth) {
    QString tag = u"<HR"_s + Attribute(u"SIZE", size);
    if (useWidth)
        tag += Attribute(u"WIDTH", width);
    return tag + u">"_s;
}

QString BuildTableTag(const TableAttributes& table) {
    QString text = u"<TABLE"_s;
    if (table.useWidth)
        text += Attribute(u"WIDTH", table.width);
    if (table.useBorder)
        text += Attribute(u"BORDER", table.border);
    if (table.useCellSpacing)
        text += Attribute(u"CELLSPACING", table.cellSpacing);
    if (table.useCellPadding)
        text += Attribute(u"CELLPADDING", table.cellPadding);
    if (table.useBorderColor)
        text += Attribute(u"BORDERCOLOR", table.borderColor);
    return text + u">\n<TR><TD>\n\n</TD></TR>\n</TABLE>"_s;
}

} // namespace tags
