#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include <QByteArray>
#include <QString>

// File names as the file system has them. A name is a string of bytes; the
// program holds it as a QString in which UTF-8 reads as text and every byte
// that is not part of valid UTF-8 stands as U+DC00 + byte (U+DC80..U+DCFF),
// as the code page's raw bytes do, so that the name goes back to the same
// bytes. QFile::encodeName and decodeName are not used for such names: they
// turn those bytes into U+FFFD for good.
namespace io {

// The bytes of a name held so.
QByteArray EncodeName(const QString& name);
// A name's bytes as the program holds them.
QString DecodeName(const QByteArray& bytes);
// `name` made absolute against the current folder (by its bytes) and
// cleaned; QFileInfo::absoluteFilePath loses such bytes on the way.
QString AbsolutePath(const QString& name);
// A name for people to read: a part (between slashes) that is not UTF-8 is
// read as Shift-JIS when that gives clean text, otherwise its stray bytes
// show as U+FFFD.
QString DisplayName(const QString& name);

} // namespace io
