#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include <QChar>
#include <QString>

// How a value with line breaks stands in a one-line field: each "\r\n" as
// one visible mark. The mark is chosen so that the value does not already
// contain it, so reading the field back gives every line break again and
// nothing else changes.
namespace tags {

struct SingleLineText {
    QString shown;
    QChar mark; // null when nothing was replaced
};

SingleLineText ToSingleLine(const QString& value);

// The value back from a field's `shown` text: each `mark` becomes "\r\n".
// A null mark leaves the text as it is.
QString FromSingleLine(const QString& shown, QChar mark);

} // namespace tags
