// The HTML tokenizer's states, as far as colour needs them: a character at
// a time, no look-ahead (a decision that needs the next characters waits
// in the state and colours what it decided backwards, within the piece).

#include "pane/HtmlLexer.h"

#include <algorithm>
#include <array>

namespace pane {
namespace {

enum Mode : std::uint8_t {
    Data,
    TagOpen,         // after '<'
    EndTagOpen,      // after "</"
    TagName,
    BeforeAttrName,
    AttrName,
    AfterAttrName,
    BeforeAttrValue,
    ValueDq,
    ValueSq,
    ValueUnquoted,
    AfterValueQuoted,
    SelfClosing,     // after '/' in a tag
    MarkupDecl,      // after "<!"
    Comment,
    BogusComment,
    Doctype,
    CData,
    Raw,             // the text of script, style, textarea, title
    CharRef,         // after '&'
};

// The raw-text elements, by `LexState::raw`.
enum RawKind : std::uint8_t { NoRaw, Script, Style, Textarea, Title };

// `LexState::sub` inside script and style.
enum Inner : std::uint8_t { Code, Dq, Sq, Template, LineComment, BlockComment };
// `LexState::sub` after "<!".
enum Decl : std::uint8_t { DeclOpen, DeclDash, DeclDoctype, DeclCData };

// `LexState::flags`
constexpr std::uint8_t kEndTag = 1;  // the tag being read is an end tag
constexpr std::uint8_t kEscape = 2;  // a backslash in a script or style string
constexpr std::uint8_t kSlash = 4;   // a '/' in script or style code
constexpr std::uint8_t kStar = 8;    // a '*' in a block comment
constexpr std::uint8_t kBang = 16;   // "--!" in a comment
constexpr std::uint8_t kWord = 32;   // inside a word of script code

constexpr std::uint8_t kMaxName = 8;

bool IsSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAlpha(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char16_t c) { return IsAlpha(c) || IsDigit(c); }
char16_t Lower(char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; }
bool IsWordChar(char16_t c) { return IsAlnum(c) || c == '_' || c == '$'; }

constexpr std::uint64_t Packed(const char* name) {
    std::uint64_t packed = 0;
    for (int i = 0; name[i]; ++i)
        packed |= std::uint64_t(std::uint8_t(name[i])) << (8 * i);
    return packed;
}

struct RawName {
    std::uint64_t packed;
    const char* text;
    std::uint8_t length;
};
constexpr std::array<RawName, 5> kRawNames{{{0, "", 0},
                                            {Packed("script"), "script", 6},
                                            {Packed("style"), "style", 5},
                                            {Packed("textarea"), "textarea", 8},
                                            {Packed("title"), "title", 5}}};

std::uint8_t RawKindOf(const LexState& s) {
    for (std::uint8_t k = Script; k <= Title; ++k)
        if (s.nameLength == kRawNames[k].length && s.name == kRawNames[k].packed)
            return k;
    return NoRaw;
}

constexpr std::array<std::u16string_view, 41> kKeywords{
    u"async", u"await", u"break", u"case", u"catch", u"class", u"const", u"continue",
    u"debugger", u"default", u"delete", u"do", u"else", u"export", u"extends", u"false",
    u"finally", u"for", u"function", u"if", u"import", u"in", u"instanceof", u"let",
    u"new", u"null", u"of", u"return", u"static", u"super", u"switch", u"this",
    u"throw", u"true", u"try", u"typeof", u"undefined", u"var", u"void", u"while",
    u"yield"};

bool IsKeyword(QStringView word) {
    if (word.size() < 2 || word.size() > 10)
        return false;
    for (std::u16string_view k : kKeywords)
        if (word == QStringView(k.data(), qsizetype(k.size())))
            return true;
    return false;
}

// Collects the spans of one piece: each character gets a class as it is
// read; a decision made later colours earlier characters of the piece again.
class Spans {
public:
    explicit Spans(std::vector<LexSpan>* out) : m_out(out), m_first(out ? out->size() : 0) {}

    void Put(int i, HtmlClass cls) {
        if (!m_out || cls == HtmlClass::Text)
            return;
        if (m_out->size() > m_first) {
            LexSpan& last = m_out->back();
            if (last.cls == cls && last.start + last.length == i) {
                ++last.length;
                return;
            }
        }
        m_out->push_back({i, 1, cls});
    }
    // Colours [from, to) anew; only the characters of this piece.
    void Recolour(int from, int to, HtmlClass cls) {
        if (!m_out)
            return;
        from = std::max(from, 0);
        while (m_out->size() > m_first && m_out->back().start >= from)
            m_out->pop_back();
        if (m_out->size() > m_first) {
            LexSpan& last = m_out->back();
            if (last.start + last.length > from)
                last.length = from - last.start;
        }
        for (int i = from; i < to; ++i)
            Put(i, cls);
    }

private:
    std::vector<LexSpan>* m_out;
    std::size_t m_first;
};

class Lexer {
public:
    Lexer(QStringView piece, LexState& s, Spans& spans) : m_piece(piece), m_s(s), m_spans(spans) {}

    void Step(char16_t c, int i);
    // The word of script code that ends before `i`, coloured when a keyword.
    void EndWord(int i);

private:
    void CloseTag(int i);
    void ToData();
    void AddNameChar(char16_t c);
    void Reconsume(char16_t c, int i, std::uint8_t mode) {
        m_s.mode = mode;
        Step(c, i);
    }
    bool RawEnd(char16_t c, int i);
    void ScriptChar(char16_t c, int i);
    void StyleChar(char16_t c, int i);
    void StringChar(char16_t c, int i, HtmlClass cls);
    void BlockCommentChar(char16_t c, int i, HtmlClass cls);
    void ToBogusComment(char16_t c, int i, int opened);
    void Put(int i, HtmlClass cls) { m_spans.Put(i, cls); }

    QStringView m_piece;
    LexState& m_s;
    Spans& m_spans;
    int m_wordStart = -1; // where the word of script code began in this piece
};

void Lexer::AddNameChar(char16_t c) {
    if (m_s.nameLength < kMaxName && c < 0x80) {
        m_s.name |= std::uint64_t(Lower(c)) << (8 * m_s.nameLength);
        ++m_s.nameLength;
    } else {
        m_s.nameLength = kMaxName + 1; // no name that matters
    }
}

void Lexer::CloseTag(int i) {
    Put(i, HtmlClass::Tag);
    const std::uint8_t kind = (m_s.flags & kEndTag) ? std::uint8_t(NoRaw) : RawKindOf(m_s);
    ToData();
    m_s.raw = kind;
    m_s.mode = kind == NoRaw ? Data : Raw;
}

// Back in text: nothing of the tag or comment left in the state, so that
// two lines ending in text end in the same state.
void Lexer::ToData() {
    LexState fresh;
    fresh.column = m_s.column;
    m_s = fresh;
}

// "<!" or "</" not followed by what makes them a tag, comment or doctype:
// a comment up to the next '>'; `opened` characters of it came before `i`.
void Lexer::ToBogusComment(char16_t c, int i, int opened) {
    m_spans.Recolour(i - opened, i, HtmlClass::Comment);
    m_s.mode = BogusComment;
    Step(c, i);
}

void Lexer::EndWord(int i) {
    if ((m_s.flags & kWord) && m_wordStart >= 0 && IsKeyword(m_piece.mid(m_wordStart, i - m_wordStart)))
        m_spans.Recolour(m_wordStart, i, HtmlClass::ScriptKeyword);
    m_s.flags &= ~kWord;
    m_wordStart = -1;
}

// The end tag of the raw-text element, matched a character at a time in
// `match` ('<', '/', the name); true when `c` completes it.
bool Lexer::RawEnd(char16_t c, int i) {
    const RawName& name = kRawNames[m_s.raw];
    if (m_s.match == 0) {
        m_s.match = c == '<' ? 1 : 0;
        return false;
    }
    if (m_s.match == 1) {
        m_s.match = c == '/' ? 2 : (c == '<' ? 1 : 0);
        return false;
    }
    const int matched = m_s.match - 2;
    if (matched < name.length) {
        m_s.match = Lower(c) == name.text[matched] ? m_s.match + 1 : (c == '<' ? 1 : 0);
        return false;
    }
    if (!(IsSpace(c) || c == '/' || c == '>')) {
        m_s.match = c == '<' ? 1 : 0;
        return false;
    }
    m_s.flags &= ~kWord;
    m_wordStart = -1;
    m_spans.Recolour(i - m_s.match, i, HtmlClass::Tag);
    m_s.flags = kEndTag;
    m_s.name = name.packed;
    m_s.nameLength = name.length;
    m_s.match = 0;
    m_s.sub = Code;
    m_s.raw = NoRaw;
    Reconsume(c, i, TagName);
    return true;
}

// A character of a string in script or style text: a backslash escapes the
// next one; the string ends at its own quote, or with its line unless it is
// a template.
void Lexer::StringChar(char16_t c, int i, HtmlClass cls) {
    Put(i, cls);
    if (m_s.flags & kEscape)
        m_s.flags &= ~kEscape;
    else if (c == '\\')
        m_s.flags |= kEscape;
    else if ((c == '"' && m_s.sub == Dq) || (c == '\'' && m_s.sub == Sq) || (c == '`' && m_s.sub == Template))
        m_s.sub = Code;
    else if (c == '\n' && m_s.sub != Template)
        m_s.sub = Code; // an unterminated string ends with its line
}

// A character of a /* */ comment in script or style text.
void Lexer::BlockCommentChar(char16_t c, int i, HtmlClass cls) {
    Put(i, cls);
    if ((m_s.flags & kStar) && c == '/')
        m_s.sub = Code;
    m_s.flags = std::uint8_t((m_s.flags & ~kStar) | (c == '*' ? kStar : 0));
}

void Lexer::ScriptChar(char16_t c, int i) {
    switch (m_s.sub) {
    case Code:
        if (m_s.flags & kSlash) {
            m_s.flags &= ~kSlash;
            if (c == '/' || c == '*') {
                m_s.sub = c == '/' ? LineComment : BlockComment;
                m_spans.Recolour(i - 1, i, HtmlClass::ScriptComment);
                Put(i, HtmlClass::ScriptComment);
                return;
            }
        }
        if (IsWordChar(c) || c >= 0x80) {
            if (!(m_s.flags & kWord)) {
                m_s.flags |= kWord;
                m_wordStart = i;
            }
            return;
        }
        EndWord(i);
        if (c == '/')
            m_s.flags |= kSlash;
        else if (c == '"' || c == '\'' || c == '`') {
            m_s.sub = c == '"' ? Dq : (c == '\'' ? Sq : Template);
            Put(i, HtmlClass::ScriptString);
        }
        return;
    case Dq:
    case Sq:
    case Template:
        StringChar(c, i, HtmlClass::ScriptString);
        return;
    case LineComment:
        Put(i, HtmlClass::ScriptComment);
        if (c == '\n')
            m_s.sub = Code;
        return;
    case BlockComment:
        BlockCommentChar(c, i, HtmlClass::ScriptComment);
        return;
    default:
        m_s.sub = Code;
    }
}

void Lexer::StyleChar(char16_t c, int i) {
    switch (m_s.sub) {
    case Code:
        if ((m_s.flags & kSlash) && c == '*') {
            m_s.flags &= ~kSlash;
            m_s.sub = BlockComment;
            m_spans.Recolour(i - 1, i, HtmlClass::StyleComment);
            Put(i, HtmlClass::StyleComment);
            return;
        }
        m_s.flags = std::uint8_t((m_s.flags & ~kSlash) | (c == '/' ? kSlash : 0));
        if (c == '"' || c == '\'') {
            m_s.sub = c == '"' ? Dq : Sq;
            Put(i, HtmlClass::StyleString);
        }
        return;
    case Dq:
    case Sq:
        StringChar(c, i, HtmlClass::StyleString);
        return;
    case BlockComment:
        BlockCommentChar(c, i, HtmlClass::StyleComment);
        return;
    default:
        m_s.sub = Code;
    }
}

void Lexer::Step(char16_t c, int i) {
    switch (m_s.mode) {
    case Data:
        if (c == '<')
            m_s.mode = TagOpen;
        else if (c == '&') {
            m_s.back = Data;
            m_s.match = 0;
            m_s.mode = CharRef;
        }
        return;
    case TagOpen:
        if (IsAlpha(c)) {
            m_spans.Recolour(i - 1, i, HtmlClass::Tag);
            m_s.flags = 0;
            m_s.name = 0;
            m_s.nameLength = 0;
            Reconsume(c, i, TagName);
        } else if (c == '/') {
            m_s.mode = EndTagOpen;
        } else if (c == '!') {
            m_s.mode = MarkupDecl;
            m_s.sub = DeclOpen;
            m_s.match = 0;
        } else if (c == '?') {
            ToBogusComment(c, i, 1);
        } else {
            Reconsume(c, i, Data);
        }
        return;
    case EndTagOpen:
        if (IsAlpha(c)) {
            m_spans.Recolour(i - 2, i, HtmlClass::Tag);
            m_s.flags = kEndTag;
            m_s.name = 0;
            m_s.nameLength = 0;
            Reconsume(c, i, TagName);
        } else if (c == '>') {
            ToData(); // "</>" is nothing
        } else {
            ToBogusComment(c, i, 2);
        }
        return;
    case TagName:
        if (IsSpace(c)) {
            m_s.mode = BeforeAttrName;
        } else if (c == '/') {
            Put(i, HtmlClass::Tag);
            m_s.mode = SelfClosing;
        } else if (c == '>') {
            CloseTag(i);
        } else {
            AddNameChar(c);
            Put(i, HtmlClass::Tag);
        }
        return;
    case BeforeAttrName:
    case AfterAttrName:
    case AfterValueQuoted:
        if (IsSpace(c)) {
            m_s.mode = m_s.mode == AfterAttrName ? AfterAttrName : BeforeAttrName;
        } else if (c == '/') {
            Put(i, HtmlClass::Tag);
            m_s.mode = SelfClosing;
        } else if (c == '>') {
            CloseTag(i);
        } else if (c == '=' && m_s.mode == AfterAttrName) {
            m_s.mode = BeforeAttrValue;
        } else {
            Put(i, HtmlClass::AttrName);
            m_s.mode = AttrName;
        }
        return;
    case AttrName:
        if (IsSpace(c))
            m_s.mode = AfterAttrName;
        else if (c == '=')
            m_s.mode = BeforeAttrValue;
        else if (c == '/' || c == '>')
            Reconsume(c, i, BeforeAttrName);
        else
            Put(i, HtmlClass::AttrName);
        return;
    case BeforeAttrValue:
        if (IsSpace(c))
            return;
        if (c == '>') {
            CloseTag(i);
        } else if (c == '"' || c == '\'') {
            Put(i, HtmlClass::AttrValue);
            m_s.mode = c == '"' ? ValueDq : ValueSq;
        } else {
            Reconsume(c, i, ValueUnquoted);
        }
        return;
    case ValueDq:
    case ValueSq:
        Put(i, HtmlClass::AttrValue);
        if (c == (m_s.mode == ValueDq ? '"' : '\'')) {
            m_s.mode = AfterValueQuoted;
        } else if (c == '&') {
            m_s.back = m_s.mode;
            m_s.match = 0;
            m_s.mode = CharRef;
        }
        return;
    case ValueUnquoted:
        if (IsSpace(c)) {
            m_s.mode = BeforeAttrName;
        } else if (c == '>') {
            CloseTag(i);
        } else {
            Put(i, HtmlClass::AttrValue);
            if (c == '&') {
                m_s.back = ValueUnquoted;
                m_s.match = 0;
                m_s.mode = CharRef;
            }
        }
        return;
    case SelfClosing:
        if (c == '>')
            CloseTag(i);
        else
            Reconsume(c, i, BeforeAttrName);
        return;
    case MarkupDecl:
        switch (m_s.sub) {
        case DeclOpen:
            if (c == '-') {
                m_s.sub = DeclDash;
            } else if (c == 'D' || c == 'd') {
                m_s.sub = DeclDoctype;
                m_s.match = 1;
            } else if (c == '[') {
                m_s.sub = DeclCData;
                m_s.match = 1;
            } else {
                ToBogusComment(c, i, 2);
            }
            return;
        case DeclDash:
            if (c == '-') {
                m_spans.Recolour(i - 3, i + 1, HtmlClass::Comment);
                m_s.mode = Comment;
                m_s.dashes = 2; // "<!-->" and "<!--->" end at once
                m_s.flags = 0;
            } else {
                ToBogusComment(c, i, 3);
            }
            return;
        case DeclDoctype:
        case DeclCData: {
            static constexpr char kDoctype[] = "doctype";
            static constexpr char kCData[] = "[CDATA[";
            const bool doctype = m_s.sub == DeclDoctype;
            const char want = doctype ? kDoctype[m_s.match] : kCData[m_s.match];
            if ((doctype ? Lower(c) : c) != want) {
                ToBogusComment(c, i, 2 + m_s.match);
                return;
            }
            if (++m_s.match < 7)
                return;
            const HtmlClass cls = doctype ? HtmlClass::Doctype : HtmlClass::CData;
            m_spans.Recolour(i - 8, i + 1, cls);
            m_s.mode = doctype ? Doctype : CData;
            m_s.match = 0;
            m_s.dashes = 0;
            return;
        }
        default:
            ToBogusComment(c, i, 2);
        }
        return;
    case Comment:
        Put(i, HtmlClass::Comment);
        if (c == '>' && m_s.dashes >= 2) {
            ToData();
        } else if (c == '-') {
            m_s.dashes = std::uint8_t(std::min(m_s.dashes + 1, 3));
            m_s.flags &= ~kBang;
        } else if (c == '!' && m_s.dashes >= 2 && !(m_s.flags & kBang)) {
            m_s.flags |= kBang;
        } else {
            m_s.dashes = 0;
            m_s.flags &= ~kBang;
        }
        return;
    case BogusComment:
        Put(i, HtmlClass::Comment);
        if (c == '>')
            ToData();
        return;
    case Doctype:
        Put(i, HtmlClass::Doctype);
        if (c == '>')
            ToData();
        return;
    case CData:
        Put(i, HtmlClass::CData);
        if (c == '>' && m_s.dashes >= 2)
            ToData();
        else
            m_s.dashes = c == ']' ? std::uint8_t(std::min(m_s.dashes + 1, 2)) : 0;
        return;
    case Raw:
        if (RawEnd(c, i))
            return;
        if (m_s.raw == Script) {
            ScriptChar(c, i);
        } else if (m_s.raw == Style) {
            StyleChar(c, i);
        } else if (c == '&') {
            m_s.back = Raw;
            m_s.mode = CharRef;
        }
        return;
    case CharRef:
        // '&' then a name or '#' and digits, up to ';' or the first other character.
        if (IsAlnum(c) || (c == '#' && m_s.match == 0)) {
            if (m_s.match == 0)
                m_spans.Recolour(i - 1, i, HtmlClass::CharRef);
            if (m_s.match < 255)
                ++m_s.match;
            Put(i, HtmlClass::CharRef);
            return;
        }
        if (c == ';' && m_s.match > 0) {
            Put(i, HtmlClass::CharRef);
            m_s.mode = m_s.back;
            m_s.match = 0;
            return;
        }
        m_s.match = 0;
        Reconsume(c, i, m_s.back);
        return;
    default:
        Reconsume(c, i, Data);
    }
}

} // namespace

LexState LexPiece(QStringView piece, LexState state, std::vector<LexSpan>* out) {
    Spans spans(out);
    Lexer lexer(piece, state, spans);
    const qsizetype n = piece.size();
    const qsizetype room = state.column >= kLexCap ? 0 : kLexCap - state.column;
    const int lexed = int(std::min<qsizetype>(n, room));
    for (int i = 0; i < lexed; ++i)
        lexer.Step(piece[i].unicode(), i);
    lexer.EndWord(lexed);
    const std::uint64_t column = std::uint64_t(state.column) + std::uint64_t(n);
    state.column = std::uint32_t(std::min<std::uint64_t>(column, UINT32_MAX));
    return state;
}

LexState AtLineBreak(LexState state) {
    Spans none(nullptr);
    Lexer lexer(QStringView(), state, none);
    lexer.Step(u'\n', 0);
    state.column = 0;
    return state;
}

} // namespace pane
