#pragma once

// check: the HTML check of the page while it is edited. May include doc, io
// and res.

#include "io/ParagraphWalk.h"

#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace check {

// One mistake in the page.
struct Problem {
    qsizetype line = 0;     // 0-based file line
    qsizetype column = 0;   // 0-based, in UTF-16 units of the line
    qsizetype position = 0; // in the text, every line break one character
    qsizetype length = 0;   // to the end of the token there, or of the line
    QString key;            // the checking library's message key
    QString message;        // in Japanese
};

enum class Outcome { Checked, TooLarge, Cancelled };

// At most this many problems are kept, the first ones in the text.
constexpr qsizetype kMaxProblems = 1000;

struct Result {
    Outcome outcome = Outcome::Checked;
    std::vector<Problem> problems; // in the order of the text
    qsizetype total = 0;           // problems found, those not kept too
    // Messages of the library that show nothing, by key: those not in the
    // message table (or not for this page's doctype) and the repair
    // narration folded into the mistake it follows.
    std::map<std::string, int> unshown;
};

// The page as the check reads it: UTF-8, a line feed for every line break,
// every lone surrogate (a preserved raw byte among them) as U+FFFD.
struct Page {
    std::string utf8;
    std::vector<qsizetype> lineStarts; // text position of each line's start
    std::vector<size_t> lineBytes;     // offset in utf8 of each line's start
};

// What checking a page costs at most: each byte of the page and each tag
// the library builds a node for take memory.
constexpr qint64 kBytesPerByte = 4;
constexpr qint64 kBytesPerTag = 200;
// The check's memory limit; a larger page is not checked.
constexpr qint64 kMaxCheckMemory = 64ll * 1024 * 1024;

// Estimated memory of checking text of `utf8Bytes` bytes holding `tags`
// '<' characters.
inline qint64 CheckMemory(qint64 utf8Bytes, qint64 tags) {
    return utf8Bytes * kBytesPerByte + tags * kBytesPerTag;
}
// Whether the text (runs of lines as the pane hands them out) is too large
// to check; looks at every character, touches no widget.
bool TooLargeToCheck(const io::ParagraphBatches& lines);

Page PageOf(const io::ParagraphBatches& lines, const io::TextSplits& splits = {});
// `text` with lines separated by "\n", "\r\n" or U+2029.
Page PageOf(QStringView text);

// Checks the page. Runs one check at a time in the whole process (the
// library keeps state of its own across a parse); when `cancelled` returns
// true while it runs (it is asked every few kilobytes), it ends early with
// Outcome::Cancelled.
Result CheckPage(const Page& page, const std::function<bool()>& cancelled = {});

// Whether the page declares the HTML5 doctype (<!DOCTYPE html>).
bool DeclaresHtml5(const std::string& utf8);

} // namespace check
