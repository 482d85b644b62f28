#include "tags/SingleLineText.h"

using namespace Qt::StringLiterals;

namespace tags {
namespace {

// RETURN SYMBOL first: the Japanese faces have a glyph for it.
constexpr char16_t kMarks[] = {u'\u23CE', u'\u21B5', u'\u2424', u'\u21A9'};

} // namespace

SingleLineText ToSingleLine(const QString& value) {
    if (!value.contains(u"\r\n"))
        return {value, QChar()};
    for (const char16_t mark : kMarks) {
        if (!value.contains(QChar(mark))) {
            QString shown = value;
            shown.replace(u"\r\n"_s, QString(QChar(mark)));
            return {shown, QChar(mark)};
        }
    }
    // Every mark is taken: the line breaks stay as they are. The field
    // keeps them, it only shows them as blanks.
    return {value, QChar()};
}

QString FromSingleLine(const QString& shown, QChar mark) {
    if (mark.isNull())
        return shown;
    QString value = shown;
    value.replace(mark, u"\r\n"_s);
    return value;
}

} // namespace tags
