#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include <QString>

// The texts that the tag dialog commands put in place of the selection.
// Values go in exactly as given: nothing is trimmed, checked or escaped, and
// an attribute that is switched on is written even with an empty value.
namespace tags {

// The page skeleton: optional DOCTYPE line, HTML, HEAD, TITLE and a BODY
// start tag with its five colour attributes. Line ends are CR LF.
struct PageSkeleton {
    QString doctype;
    QString background; // colour, or image name when useImage is set
    QString text;
    QString link;
    QString alink;
    QString vlink;
    bool useDoctype = false;
    bool useImage = false;
};
QString BuildPageSkeleton(const PageSkeleton& page);

// A FONT element around `content`; attributes in the order COLOR, SIZE, FACE.
struct FontAttributes {
    QString color;
    QString size;
    QString face;
    bool useColor = false;
    bool useSize = false;
    bool useFace = false;
};
QString BuildFontTag(const FontAttributes& font, const QString& content);

// An anchor to `location` around `text`, with TARGET when `useTarget`.
QString BuildLinkTag(const QString& location, const QString& text, const QString& target,
                     bool useTarget);

// A mailto anchor to `address` around `text`.
QString BuildMailTag(const QString& address, const QString& text);

// An IMG tag; HEIGHT and WIDTH come together under `useSize`.
struct ImageAttributes {
    QString location;
    QString height;
    QString width;
    QString border;
    bool useSize = false;
    bool useBorder = false;
};
QString BuildImageTag(const ImageAttributes& image);

// An HR tag; SIZE is always written.
QString BuildHrTag(const QString& size, const QString& width, bool useWidth);

// A table with one row of one empty cell; line ends are a bare LF.
// Attributes in the order WIDTH, BORDER, CELLSPACING, CELLPADDING, BORDERCOLOR.
struct TableAttributes {
    QString width;
    QString border;
    QString cellSpacing;
    QString cellPadding;
    QString borderColor;
    bool useWidth = false;
    bool useBorder = false;
    bool useCellSpacing = false;
    bool useCellPadding = false;
    bool useBorderColor = false;
};
QString BuildTableTag(const TableAttributes& table);

} // namespace tags
