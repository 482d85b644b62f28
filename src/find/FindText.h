#pragma once

// find: plain-string search and the find/replace dialogs and commands.
// May include doc, io and res.

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Plain string search over the pane's raw text, where a line break is the one
// character U+2029 and preserved raw bytes are lone surrogates. Nothing here
// uses regular expressions: they match nothing in text that holds a lone
// surrogate.
namespace find {

struct FindOptions {
    QString what;           // as typed; "\r\n", "\r" and "\n" each stand for one line break
    bool matchCase = false; // off: letters that have case match either case
    bool wholeWord = false;
    bool down = true;
};

struct Match {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const Match&) const = default;
};

// The search string as it stands in the pane's text: each line break of it,
// whichever form it was typed in, becomes U+2029.
QString ToPaneText(const QString& typed);

// The classes of characters that make up words. Japanese has no spaces between
// words, so a word is a run of characters of one class: kanji, hiragana,
// katakana (full or half width), or letters and digits of the other scripts
// with the underscore. The long vowel mark and the sound marks belong to
// whichever kana they follow or precede. Everything else (spaces, line breaks,
// punctuation, symbols, tags' brackets, raw bytes) separates words.
enum class CharClass { Separator, Kanji, Hiragana, Katakana, KanaMark, Alphanumeric };

CharClass ClassOf(char32_t codePoint);

// Whether a word boundary lies between the characters before and after
// position `pos` of `text` (the start and the end of the text are
// boundaries).
bool IsWordBoundary(QStringView text, qsizetype pos);

// Whether `text` holds the (pane-form) needle at `start` under `options`,
// exactly: the case rule, a word boundary at both ends for whole words, and
// neither end inside a surrogate pair.
bool MatchesAt(QStringView text, qsizetype start, QStringView needle, const FindOptions& options);

// The first match that starts at or after `from`.
std::optional<Match> FindForward(QStringView text, QStringView needle, const FindOptions& options,
                                 qsizetype from);
// The last match that ends at or before `to`.
std::optional<Match> FindBackward(QStringView text, QStringView needle, const FindOptions& options,
                                  qsizetype to);

// Find next with the selection (selStart, selEnd): downwards the search begins
// at the end of the selection, upwards it takes the last match that ends at
// or before the start of the selection. When the end (or the start) of the
// text is reached without a match, the search wraps around to the other end
// and goes on to where it began, so the only match in the text is found
// again from anywhere. Nothing when the text holds no match at all.
std::optional<Match> FindNext(QStringView text, const FindOptions& options, qsizetype selStart,
                              qsizetype selEnd);

// Every match from the start of the text, left to right, none overlapping.
QList<Match> FindAll(QStringView text, const FindOptions& options);

// `text` with every match in `matches` (sorted, not overlapping) replaced by
// `replacement` (pane form), from matches.first().start to matches.last().end().
QString ReplaceSpan(QStringView text, const QList<Match>& matches, QStringView replacement);

} // namespace find
