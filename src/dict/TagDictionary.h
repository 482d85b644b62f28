#pragma once

// dict: the tag dictionary and its dialog and command.
// May include print, find, doc, io and res.

#include <QString>
#include <QStringView>

#include <span>

// The tag dictionary: six tag and attribute names with their tag forms and
// short descriptions, and the lookup of a selected text in it.
namespace dict {

struct Entry {
    const char16_t* name;        // lower-case ASCII
    const char16_t* tag;         // the tag form shown for a match
    const char16_t* description; // lines separated by a bare "\n"
};

// The entries in lookup order.
std::span<const Entry> Entries();

// `text` lowered as code page 932 lowers it: ASCII A-Z become a-z and the
// full-width Latin capitals Ａ-Ｚ (0x8260-0x8279) become ａ-ｚ
// (0x8281-0x829A). Every other character stays as it is.
QString ToLowerCodePage(QStringView text);

struct Lookup {
    QString tag;         // empty unless an entry matched
    QString description; // the entry's description, or the message shown instead
};

// Looks `selection` up: the whole text, lowered, must equal an entry name
// exactly (nothing is trimmed or stripped). An empty selection and a miss
// each give their message as the description.
Lookup LookUp(const QString& selection);

} // namespace dict
