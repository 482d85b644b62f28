#include "io/EncodingDetect.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace codec {
namespace {

constexpr qsizetype kPrescanLength = 1024;

constexpr bool IsSpace(unsigned char b) {
    return b == 0x09 || b == 0x0A || b == 0x0C || b == 0x0D || b == 0x20;
}
// The first position at or after `at` in `v` that is not a space.
qsizetype SkipSpaces(QByteArrayView v, qsizetype at) {
    while (at < v.size() && IsSpace(static_cast<unsigned char>(v[at])))
        ++at;
    return at;
}
constexpr bool IsAlpha(unsigned char b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }
constexpr unsigned char Lower(unsigned char b) { return b >= 'A' && b <= 'Z' ? b | 0x20 : b; }

// The prescan over the first bytes of a page.
class Prescan {
public:
    explicit Prescan(QByteArrayView bytes) : m_b(bytes.first(qMin(bytes.size(), kPrescanLength))) {}

    std::optional<Declaration> Run() {
        if (std::optional<Declaration> xml = XmlDeclaration())
            return xml;
        for (m_pos = 0; m_pos < m_b.size(); ++m_pos) {
            if (At(u8"<!--")) {
                const qsizetype close = m_b.indexOf("-->", m_pos + 2);
                if (close < 0)
                    return std::nullopt;
                m_pos = close + 2;
            } else if (At(u8"<meta") && m_pos + 5 < m_b.size() &&
                       (IsSpace(Byte(m_pos + 5)) || Byte(m_pos + 5) == '/')) {
                m_pos += 5;
                if (std::optional<Declaration> found = Meta())
                    return found;
            } else if (Byte(m_pos) == '<' && m_pos + 1 < m_b.size() &&
                       (IsAlpha(Byte(m_pos + 1)) ||
                        (Byte(m_pos + 1) == '/' && m_pos + 2 < m_b.size() && IsAlpha(Byte(m_pos + 2))))) {
                while (m_pos < m_b.size() && !IsSpace(Byte(m_pos)) && Byte(m_pos) != '>')
                    ++m_pos;
                while (Attribute()) {
                }
            } else if (At(u8"<!") || At(u8"</") || At(u8"<?")) {
                const qsizetype close = m_b.indexOf('>', m_pos);
                if (close < 0)
                    return std::nullopt;
                m_pos = close;
            }
        }
        return std::nullopt;
    }

private:
    struct Attr {
        QByteArray name;
        QByteArray value;
        qsizetype valueAt = 0;
    };

    unsigned char Byte(qsizetype i) const { return static_cast<unsigned char>(m_b[i]); }
    // Whether `s` (lower case) stands at the position, ASCII case ignored.
    bool At(const char8_t* s) const {
        qsizetype i = m_pos;
        for (; *s; ++s, ++i)
            if (i >= m_b.size() || Lower(Byte(i)) != *s)
                return false;
        return true;
    }

    std::optional<Declaration> XmlDeclaration() const {
        if (!m_b.startsWith("<?xml"))
            return std::nullopt;
        const qsizetype end = m_b.indexOf("?>");
        const QByteArrayView decl = m_b.first(end < 0 ? m_b.size() : end);
        qsizetype at = decl.indexOf("encoding");
        if (at < 0)
            return std::nullopt;
        at += 8;
        at = SkipSpaces(decl, at);
        if (at >= decl.size() || decl[at] != '=')
            return std::nullopt;
        ++at;
        at = SkipSpaces(decl, at);
        if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\''))
            return std::nullopt;
        const qsizetype close = decl.indexOf(decl[at], at + 1);
        if (close < 0)
            return std::nullopt;
        return Declaration{decl.sliced(at + 1, close - at - 1).toByteArray(), at + 1, close - at - 1};
    }

    // One attribute from the position on; nothing at '>' or the end.
    std::optional<Attr> Attribute() {
        while (m_pos < m_b.size() && (IsSpace(Byte(m_pos)) || Byte(m_pos) == '/'))
            ++m_pos;
        if (m_pos >= m_b.size() || Byte(m_pos) == '>')
            return std::nullopt;
        Attr a;
        for (;; ++m_pos) {
            if (m_pos >= m_b.size())
                return std::nullopt;
            const unsigned char b = Byte(m_pos);
            if (b == '=' && !a.name.isEmpty()) {
                ++m_pos;
                break;
            }
            if (IsSpace(b)) {
                while (m_pos < m_b.size() && IsSpace(Byte(m_pos)))
                    ++m_pos;
                if (m_pos >= m_b.size() || Byte(m_pos) != '=')
                    return a;
                ++m_pos;
                break;
            }
            if (b == '/' || b == '>')
                return a;
            a.name += char(Lower(b));
        }
        while (m_pos < m_b.size() && IsSpace(Byte(m_pos)))
            ++m_pos;
        if (m_pos >= m_b.size())
            return std::nullopt;
        const unsigned char q = Byte(m_pos);
        if (q == '"' || q == '\'') {
            a.valueAt = ++m_pos;
            for (; m_pos < m_b.size(); ++m_pos) {
                if (Byte(m_pos) == q) {
                    ++m_pos;
                    return a;
                }
                a.value += char(Lower(Byte(m_pos)));
            }
            return std::nullopt;
        }
        if (q == '>')
            return a;
        a.valueAt = m_pos;
        for (; m_pos < m_b.size() && !IsSpace(Byte(m_pos)) && Byte(m_pos) != '>'; ++m_pos)
            a.value += char(Lower(Byte(m_pos)));
        return a;
    }

    // The charset in a meta element's content ("text/html; charset=x"),
    // as an offset and length within it.
    static std::optional<std::pair<qsizetype, qsizetype>> CharsetInContent(QByteArrayView v) {
        for (qsizetype at = 0;;) {
            at = v.indexOf("charset", at);
            if (at < 0)
                return std::nullopt;
            at += 7;
            at = SkipSpaces(v, at);
            if (at >= v.size() || v[at] != '=')
                continue;
            ++at;
            at = SkipSpaces(v, at);
            if (at >= v.size())
                return std::nullopt;
            if (v[at] == '"' || v[at] == '\'') {
                const qsizetype close = v.indexOf(v[at], at + 1);
                if (close < 0)
                    return std::nullopt;
                return std::pair{at + 1, close - at - 1};
            }
            qsizetype end = at;
            while (end < v.size() && !IsSpace(static_cast<unsigned char>(v[end])) && v[end] != ';')
                ++end;
            return std::pair{at, end - at};
        }
    }

    std::optional<Declaration> Meta() {
        std::vector<QByteArray> seen;
        bool gotPragma = false;
        std::optional<bool> needPragma;
        std::optional<Declaration> charset;
        while (std::optional<Attr> a = Attribute()) {
            if (std::find(seen.begin(), seen.end(), a->name) != seen.end())
                continue;
            seen.push_back(a->name);
            if (a->name == "http-equiv") {
                gotPragma = gotPragma || a->value == "content-type";
            } else if (a->name == "content" && !charset) {
                if (const auto in = CharsetInContent(a->value)) {
                    const qsizetype at = a->valueAt + in->first;
                    charset = Declaration{m_b.sliced(at, in->second).toByteArray(), at, in->second};
                    needPragma = true;
                }
            } else if (a->name == "charset") {
                charset = Declaration{m_b.sliced(a->valueAt, a->value.size()).toByteArray(),
                                      a->valueAt, a->value.size()};
                needPragma = false;
            }
        }
        if (!needPragma || (*needPragma && !gotPragma) || !charset)
            return std::nullopt;
        return charset;
    }

    QByteArrayView m_b;
    qsizetype m_pos = 0;
};

// Characters of Japanese prose (kana and punctuation) and all non-ASCII ones.
std::pair<qsizetype, qsizetype> KanaShare(QStringView text) {
    qsizetype kana = 0, nonAscii = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            ++nonAscii;
            if (u >= 0x3000 && u <= 0x30FF)
                ++kana;
        }
    }
    return {kana, nonAscii};
}

bool HasIso2022JpEscape(QByteArrayView bytes) {
    for (qsizetype at = bytes.indexOf('\x1B'); at >= 0 && at + 2 < bytes.size();
         at = bytes.indexOf('\x1B', at + 1)) {
        const QByteArrayView seq = bytes.sliced(at + 1, 2);
        if (seq == "$B" || seq == "$@" || seq == "(J" || seq == "(I")
            return true;
    }
    return false;
}

} // namespace

std::optional<Declaration> FindDeclaration(QByteArrayView bytes) { return Prescan(bytes).Run(); }

std::optional<Declaration> FindDeclaration(QStringView text) {
    QByteArray bytes(qMin(text.size(), kPrescanLength), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = text[i].unicode() < 0x80 ? char(text[i].unicode())
                   : text[i].unicode() == 0x2028 || text[i].unicode() == 0x2029 ? '\n'
                                                                               : char(0x80);
    return FindDeclaration(QByteArrayView(bytes));
}

std::optional<Encoding> EncodingOfLabel(QByteArrayView label) {
    const QByteArray l = label.trimmed().toByteArray().toLower();
    static const std::array<std::pair<const char*, Encoding>, 27> kLabels = {{
        {"csshiftjis", Encoding::ShiftJis}, {"ms932", Encoding::ShiftJis},
        {"ms_kanji", Encoding::ShiftJis}, {"shift-jis", Encoding::ShiftJis},
        {"shift_jis", Encoding::ShiftJis}, {"sjis", Encoding::ShiftJis},
        {"windows-31j", Encoding::ShiftJis}, {"x-sjis", Encoding::ShiftJis},
        {"cseucpkdfmtjapanese", Encoding::EucJp}, {"euc-jp", Encoding::EucJp},
        {"x-euc-jp", Encoding::EucJp}, {"csiso2022jp", Encoding::Iso2022Jp},
        {"iso-2022-jp", Encoding::Iso2022Jp}, {"unicode-1-1-utf-8", Encoding::Utf8},
        {"unicode11utf8", Encoding::Utf8}, {"unicode20utf8", Encoding::Utf8},
        {"utf-8", Encoding::Utf8}, {"utf8", Encoding::Utf8}, {"x-unicode20utf8", Encoding::Utf8},
        // A page cannot declare UTF-16 and be read: browsers read it as UTF-8.
        {"utf-16", Encoding::Utf8}, {"utf-16le", Encoding::Utf8}, {"utf-16be", Encoding::Utf8},
        {"unicode", Encoding::Utf8}, {"unicodefeff", Encoding::Utf8},
        {"unicodefffe", Encoding::Utf8}, {"ucs-2", Encoding::Utf8}, {"csunicode", Encoding::Utf8},
    }};
    for (const auto& [name, encoding] : kLabels)
        if (l == name)
            return encoding;
    return std::nullopt;
}

bool DeclarationDiffers(const QString& declared, std::optional<Encoding> declaredEncoding,
                        Encoding used) {
    if (declared.isEmpty())
        return false;
    if (!declaredEncoding)
        return true;
    // Browsers read a page that declares UTF-16 as UTF-8 unless its mark
    // says UTF-16: for a UTF-16 file the declaration is right.
    if ((used == Encoding::Utf16Le || used == Encoding::Utf16Be) &&
        declared.startsWith(u"utf-16"_s, Qt::CaseInsensitive))
        return false;
    const auto family = [](Encoding e) { return e == Encoding::Utf8Bom ? Encoding::Utf8 : e; };
    return family(*declaredEncoding) != family(used);
}

std::optional<Detected> DetectAndDecode(QByteArrayView bytes, const KeepGoing& keepGoing,
                                        std::optional<Encoding> given) {
    Detected found;
    if (const std::optional<Declaration> declaration = FindDeclaration(bytes)) {
        found.declaredEncoding = EncodingOfLabel(declaration->label);
        found.declared = found.declaredEncoding ? DeclarationName(*found.declaredEncoding)
                                                : QString::fromLatin1(declaration->label.trimmed());
    }
    bool stopped = false;
    const KeepGoing going = [&](qsizetype done) {
        stopped = stopped || (keepGoing && !keepGoing(done));
        return !stopped;
    };
    const auto take = [&](std::optional<Decoded>&& d, int step) -> std::optional<Detected> {
        found.decoded = std::move(*d);
        found.step = step;
        return std::move(found);
    };
    // Given, or marked.
    std::optional<Encoding> sure = given;
    int step = 0;
    if (!sure) {
        step = 1;
        if (bytes.startsWith("\xEF\xBB\xBF"))
            sure = Encoding::Utf8Bom;
        else if (bytes.startsWith("\xFF\xFE"))
            sure = Encoding::Utf16Le;
        else if (bytes.startsWith("\xFE\xFF"))
            sure = Encoding::Utf16Be;
    }
    if (sure) {
        std::optional<Decoded> d = Decode(bytes, *sure, going);
        return d ? take(std::move(d), step) : std::nullopt;
    }
    // Valid UTF-8 throughout: UTF-8 with a multi-byte sequence, ASCII without.
    std::optional<Decoded> utf8 = Decode(bytes, Encoding::Utf8, going, true);
    if (stopped)
        return std::nullopt;
    if (utf8 && utf8->nonAscii)
        return take(std::move(utf8), 2);
    const bool ascii = utf8.has_value();
    const auto asAscii = [&](Encoding encoding, int step) {
        utf8->format.encoding = encoding; // ASCII reads the same in each
        return take(std::move(utf8), step);
    };
    if (const std::optional<Encoding> declared = found.declaredEncoding) {
        if (ascii && *declared != Encoding::Iso2022Jp)
            return asAscii(*declared, 3);
        std::optional<Decoded> d = Decode(bytes, *declared, going, true);
        if (stopped)
            return std::nullopt;
        if (d)
            return take(std::move(d), 3);
    }
    if (ascii) {
        if (HasIso2022JpEscape(bytes)) {
            std::optional<Decoded> d = Decode(bytes, Encoding::Iso2022Jp, going);
            return d ? take(std::move(d), 4) : std::nullopt;
        }
        return asAscii(Encoding::ShiftJis, 6);
    }
    utf8.reset();
    std::optional<Decoded> euc = Decode(bytes, Encoding::EucJp, going, true);
    if (stopped)
        return std::nullopt;
    std::optional<Decoded> sjis = Decode(bytes, Encoding::ShiftJis, going);
    if (!sjis)
        return std::nullopt;
    const bool sjisClean = sjis->rawBytes == 0;
    if (euc && !sjisClean)
        return take(std::move(euc), 5);
    if (euc) {
        // Both read cleanly. Japanese prose is mostly kana, which the
        // Shift_JIS reading of EUC-JP bytes never has (no byte 0x81..0x84
        // in EUC-JP): EUC-JP when its reading has more of them, and enough.
        const auto [eucKana, eucAll] = KanaShare(euc->text);
        const auto [sjisKana, sjisAll] = KanaShare(sjis->text);
        Q_UNUSED(sjisAll);
        if (eucKana > sjisKana && 5 * eucKana >= eucAll)
            return take(std::move(euc), 5);
    }
    return take(std::move(sjis), sjisClean ? 5 : 6);
}

} // namespace codec
