#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include <QStringView>

#include <cstdint>
#include <vector>

namespace pane {

// What a stretch of HTML source is, for its colour.
enum class HtmlClass : std::uint8_t {
    Text,          // plain: data, raw text without colour, the beyond of the cap
    Tag,           // '<', the name, '/', '>' of a start or end tag
    AttrName,
    AttrValue,     // with its quotes
    Comment,       // also "<?...>" and "<!...>" read as comments
    CharRef,       // "&amp;", "&#160;", "&#x3042;"
    Doctype,
    CData,
    ScriptKeyword,
    ScriptString,
    ScriptComment,
    StyleString,
    StyleComment,
    Count
};

// Where the tokenizer stands between two characters. It is all a file
// line's end has to tell the next line, and all a paragraph's end has to
// tell the next paragraph of the same line: a line lexed in pieces, each
// piece started from the state the one before ended in, gets the spans the
// whole line would get.
struct LexState {
    std::uint8_t mode = 0;   // the tokenizer state
    std::uint8_t raw = 0;    // the raw-text element: entered, or named by the tag being read
    std::uint8_t sub = 0;    // inside script or style: string, comment; after "<!": which one
    std::uint8_t flags = 0;
    std::uint8_t match = 0;  // characters of "</name", "DOCTYPE" or "[CDATA[" matched so far
    std::uint8_t dashes = 0; // '-' before a comment's '>', ']' before a CDATA section's '>'
    std::uint8_t back = 0;   // the state a character reference returns to
    std::uint8_t nameLength = 0;
    std::uint64_t name = 0;  // the tag name read so far, lower case, ASCII, up to 8 characters
    std::uint32_t column = 0; // characters of the file line before this point

    bool operator==(const LexState&) const = default;
};

struct LexSpan {
    int start = 0;
    int length = 0;
    HtmlClass cls = HtmlClass::Text;
};

// Characters of a file line that are coloured; the rest of a longer line is
// drawn plain, and the state at the cap goes on to the next line.
constexpr std::uint32_t kLexCap = 10000;

// Lexes `piece`, which follows `state` in a file line, appending its
// coloured spans (start relative to the piece, ascending, no plain spans)
// to `spans` when given; returns the state after it.
LexState LexPiece(QStringView piece, LexState state, std::vector<LexSpan>* spans);

// The state at the start of the next file line, after a line ending in `state`.
LexState AtLineBreak(LexState state);

} // namespace pane
