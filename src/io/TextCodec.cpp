#include "io/TextCodec.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace codec {
namespace {

using cp932::IsRawByte;
using cp932::RawByteChar;

constexpr char16_t kLineSeparator = 0x2029;
constexpr char16_t kHalfKanaFirst = 0xFF61; // U+FF61..U+FF9F: 0xA1..0xDF in Shift_JIS
constexpr char16_t kHalfKanaLast = 0xFF9F;

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// JIS X 0208 rows 1..94, as code page 932 maps them, indexed by EUC-JP code.
struct JisTables {
    std::vector<char16_t> toChar;    // (lead - 0xA1) * 94 + (trail - 0xA1); 0: none
    std::vector<quint16> fromChar;   // per BMP unit: EUC-JP code, 0: none
    std::vector<bool> hasDuplicate;  // per BMP unit: more than one code
};

// The Shift_JIS code of JIS X 0208 row and cell (1..94 each).
constexpr quint16 ShiftJisOf(int row, int cell) {
    const int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
    const int trail = row % 2 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
    return quint16(lead << 8 | trail);
}

const JisTables& Jis() {
    static const JisTables tables = [] {
        JisTables t;
        t.toChar.assign(94 * 94, 0);
        t.fromChar.assign(0x10000, 0);
        t.hasDuplicate.assign(0x10000, false);
        for (int row = 1; row <= 94; ++row) {
            for (int cell = 1; cell <= 94; ++cell) {
                const char16_t c = cp932::CharOfCode(ShiftJisOf(row, cell));
                if (!c)
                    continue;
                t.toChar[(row - 1) * 94 + cell - 1] = c;
                // The first code in table order is the standard one.
                if (t.fromChar[c])
                    t.hasDuplicate[c] = true;
                else
                    t.fromChar[c] = quint16((row + 0xA0) << 8 | (cell + 0xA0));
            }
        }
        return t;
    }();
    return tables;
}

inline char16_t JisChar(unsigned lead, unsigned trail) { // EUC-JP bytes 0xA1..0xFE
    return Jis().toChar[(lead - 0xA1) * 94 + (trail - 0xA1)];
}

// The output of a decoder: text written at `d` into a string grown as needed.
class TextOut {
public:
    explicit TextOut(qsizetype capacity) : m_text(capacity + 1, Qt::Uninitialized) {
        m_d = Begin();
    }
    char16_t* Begin() { return reinterpret_cast<char16_t*>(m_text.data()); }
    char16_t*& d() { return m_d; }
    QString Take() {
        m_text.truncate(m_d - Begin());
        return std::move(m_text);
    }

private:
    QString m_text;
    char16_t* m_d;
};

// Runs `step(p, stepEnd)` over the bytes in steps of about kDecodeStep,
// asking `keepGoing` between them; `step` returns where it stopped
// (nullptr: stop decoding).
template <typename Step>
bool InSteps(const unsigned char* p, const unsigned char* end, const KeepGoing& keepGoing, Step step) {
    const unsigned char* const start = p;
    while (p < end) {
        const unsigned char* stepEnd = end - p > cp932::kDecodeStep ? p + cp932::kDecodeStep : end;
        p = step(p, stepEnd);
        if (!p)
            return false;
        if (keepGoing && !keepGoing(p - start))
            return false;
    }
    return true;
}

// Decodes bytes where ASCII stands for itself: `other(p, d)` reads the
// character at a byte above 0x7F into `d` and gives the bytes it took, 0
// when the byte starts none (kept raw, or, when `strict`, the end).
template <typename Other>
bool DecodeBytes(const unsigned char* p, const unsigned char* end, const KeepGoing& keepGoing,
                 bool strict, Decoded& out, Other other) {
    TextOut text(end - p);
    bool ok = InSteps(p, end, keepGoing, [&](const unsigned char* p, const unsigned char* stepEnd) {
        char16_t*& d = text.d();
        while (p < stepEnd) {
            const qsizetype ascii = cp932::CopyAscii(p, end, d);
            p += ascii;
            d += ascii;
            if (p >= end)
                break;
            if (*p < 0x80) {
                *d++ = char16_t(*p++);
                continue;
            }
            out.nonAscii = true;
            if (const int length = other(p, d)) {
                p += length;
                continue;
            }
            if (strict)
                return static_cast<const unsigned char*>(nullptr);
            *d++ = RawByteChar(*p++);
            ++out.rawBytes;
        }
        return p;
    });
    if (ok)
        out.text = text.Take();
    return ok;
}

bool DecodeUtf8(const unsigned char* p, const unsigned char* end, const KeepGoing& keepGoing,
                bool strict, Decoded& out) {
    return DecodeBytes(p, end, keepGoing, strict, out, [end](const unsigned char* p, char16_t*& d) {
        const unsigned b = *p;
        int length = 0;
        unsigned lo = 0x80, hi = 0xBF; // the second byte's range
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            lo = b == 0xE0 ? 0xA0 : 0x80;
            hi = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            lo = b == 0xF0 ? 0x90 : 0x80;
            hi = b == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length > 0 && end - p >= length && p[1] >= lo && p[1] <= hi;
        for (int k = 2; valid && k < length; ++k)
            valid = (p[k] & 0xC0) == 0x80;
        if (!valid)
            return 0;
        char32_t c = b & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            c = c << 6 | (p[k] & 0x3F);
        if (c >= 0x10000) {
            *d++ = QChar::highSurrogate(c);
            *d++ = QChar::lowSurrogate(c);
        } else {
            *d++ = char16_t(c);
        }
        return length;
    });
}

// Records the first code a character with several codes was read in.
inline void NoteForm(QHash<char16_t, quint16>& firstForms, char16_t c, quint16 code) {
    if (Jis().hasDuplicate[c] && !firstForms.contains(c))
        firstForms.insert(c, code);
}

void KeepNonstandardForms(const QHash<char16_t, quint16>& firstForms, io::TextFormat& format) {
    for (auto it = firstForms.cbegin(); it != firstForms.cend(); ++it)
        if (it.value() != Jis().fromChar[it.key()])
            format.duplicateForms.insert(it.key(), it.value());
}

bool DecodeEucJp(const unsigned char* p, const unsigned char* end, const KeepGoing& keepGoing,
                 bool strict, Decoded& out) {
    QHash<char16_t, quint16> firstForms;
    const bool ok = DecodeBytes(p, end, keepGoing, strict, out, [&](const unsigned char* p, char16_t*& d) {
        const unsigned b = *p;
        const unsigned b2 = end - p >= 2 ? p[1] : 0;
        if (b >= 0xA1 && b <= 0xFE && b2 >= 0xA1 && b2 <= 0xFE) {
            const char16_t c = JisChar(b, b2);
            if (!c)
                return 0;
            NoteForm(firstForms, c, quint16(b << 8 | b2));
            *d++ = c;
            return 2;
        }
        if (b == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
            *d++ = char16_t(kHalfKanaFirst + (b2 - 0xA1));
            return 2;
        }
        if (b == 0x8F && !strict && end - p >= 3 && b2 >= 0xA1 && b2 <= 0xFE && p[2] >= 0xA1 &&
            p[2] <= 0xFE) {
            // JIS X 0212, kept whole as its three bytes.
            for (int k = 0; k < 3; ++k)
                *d++ = RawByteChar(p[k]);
            out.rawBytes += 3;
            return 3;
        }
        return 0;
    });
    if (ok)
        KeepNonstandardForms(firstForms, out.format);
    return ok;
}

// ISO-2022-JP's character sets, as its escapes select them.
enum JisMode { kAscii, kRoman, kKana, kJis0208 };

bool DecodeIso2022Jp(const unsigned char* p, const unsigned char* end, const KeepGoing& keepGoing,
                     bool strict, Decoded& out) {
    TextOut text(end - p);
    QHash<char16_t, quint16> firstForms;
    int mode = kAscii;
    bool finalSeen = false;
    bool ok = InSteps(p, end, keepGoing, [&](const unsigned char* p, const unsigned char* stepEnd) {
        char16_t*& d = text.d();
        while (p < stepEnd) {
            const unsigned b = *p;
            if (b == 0x1B && end - p >= 3) {
                const char a = char(p[1]), f = char(p[2]);
                int next = -1;
                if (a == '(')
                    next = f == 'B' ? kAscii : f == 'J' ? kRoman : f == 'I' ? kKana : -1;
                else if (a == '$' && (f == 'B' || f == '@'))
                    next = kJis0208;
                if (next >= 0) {
                    if (next == kJis0208 && !std::exchange(finalSeen, true))
                        out.format.jisFinal = f;
                    mode = next;
                    p += 3;
                    continue;
                }
            }
            if (b >= 0x80) {
                if (strict)
                    return static_cast<const unsigned char*>(nullptr);
                out.nonAscii = true;
                *d++ = RawByteChar(static_cast<unsigned char>(b));
                ++out.rawBytes;
                ++p;
                continue;
            }
            if (mode == kJis0208 && b >= 0x21 && b <= 0x7E) {
                const unsigned b2 = end - p >= 2 ? p[1] : 0;
                const char16_t c = b2 >= 0x21 && b2 <= 0x7E ? JisChar(b + 0x80, b2 + 0x80) : 0;
                if (c) {
                    NoteForm(firstForms, c, quint16((b + 0x80) << 8 | (b2 + 0x80)));
                    *d++ = c;
                    p += 2;
                    continue;
                }
                if (strict)
                    return static_cast<const unsigned char*>(nullptr);
                // Read as ASCII; the save writes it so (not exact).
            }
            if (mode == kKana && b >= 0x21 && b <= 0x5F)
                *d++ = char16_t(kHalfKanaFirst + (b - 0x21));
            else if (mode == kRoman && (b == 0x5C || b == 0x7E))
                *d++ = b == 0x5C ? char16_t(0x00A5) : char16_t(0x203E);
            else
                *d++ = char16_t(b);
            ++p;
        }
        return p;
    });
    if (!ok)
        return false;
    out.text = text.Take();
    KeepNonstandardForms(firstForms, out.format);
    return true;
}

bool DecodeUtf16(const unsigned char* p, const unsigned char* end, bool bigEndian,
                 const KeepGoing& keepGoing, bool strict, Decoded& out) {
    const qsizetype units = (end - p) / 2;
    TextOut text(units);
    const unsigned char* const whole = p + units * 2;
    bool ok = InSteps(p, whole, keepGoing, [&](const unsigned char* p, const unsigned char* stepEnd) {
        char16_t*& d = text.d();
        for (; p < stepEnd; p += 2) {
            const char16_t c = bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
            if (c >= 0x80)
                out.nonAscii = true;
            if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
                // A pair goes whole; a lone half is kept as itself.
                const bool pairStart = IsHighSurrogate(c) && whole - p >= 4 &&
                                       IsLowSurrogate(bigEndian ? char16_t(p[2] << 8 | p[3])
                                                                : char16_t(p[3] << 8 | p[2]));
                if (pairStart) {
                    *d++ = c;
                    p += 2;
                    *d++ = bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
                    continue;
                }
                if (strict)
                    return static_cast<const unsigned char*>(nullptr);
                ++out.rawBytes;
            }
            *d++ = c;
        }
        return p;
    });
    if (!ok)
        return false;
    if (whole < end) {
        if (strict)
            return false;
        out.format.tail = QByteArray(reinterpret_cast<const char*>(whole), end - whole);
        ++out.rawBytes;
    }
    out.text = text.Take();
    out.format.lineEnd = io::DetectLineEnd(QStringView(out.text));
    return true;
}

QByteArrayView Bom(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF";
    case Encoding::Utf16Le:
        return "\xFF\xFE";
    case Encoding::Utf16Be:
        return "\xFE\xFF";
    default:
        return {};
    }
}

} // namespace

QString EncodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::ShiftJis:
        return u"Shift_JIS"_s;
    case Encoding::Utf8:
        return u"UTF-8"_s;
    case Encoding::Utf8Bom:
        return u"UTF-8 BOM"_s;
    case Encoding::EucJp:
        return u"EUC-JP"_s;
    case Encoding::Iso2022Jp:
        return u"ISO-2022-JP"_s;
    case Encoding::Utf16Le:
        return u"UTF-16LE"_s;
    case Encoding::Utf16Be:
        return u"UTF-16BE"_s;
    }
    return QString();
}

QString DeclarationName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        return u"UTF-8"_s;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return u"UTF-16"_s;
    default:
        return EncodingName(encoding);
    }
}

std::optional<Decoded> Decode(QByteArrayView bytes, Encoding encoding, const KeepGoing& keepGoing,
                              bool strict) {
    Decoded out;
    out.format.encoding = encoding;
    if (encoding == Encoding::ShiftJis) {
        std::optional<QString> text = cp932::Decode(bytes, &out.format, keepGoing);
        if (!text)
            return std::nullopt;
        char16_t any = 0; // every character or'ed: above 0x7F when one is
        for (QChar c : *text) {
            any |= c.unicode();
            out.rawBytes += IsRawByte(c.unicode());
        }
        if (strict && out.rawBytes)
            return std::nullopt;
        out.nonAscii = any >= 0x80;
        out.text = std::move(*text);
        out.format.encoding = encoding;
        return out;
    }
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto end = p + bytes.size();
    const QByteArrayView bom = Bom(encoding);
    if (!bom.isEmpty()) {
        if (bytes.startsWith(bom))
            p += bom.size();
        else
            out.exact = false; // the save will write the mark
    }
    bool ok = false;
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        ok = DecodeUtf8(p, end, keepGoing, strict, out);
        break;
    case Encoding::EucJp:
        ok = DecodeEucJp(p, end, keepGoing, strict, out);
        break;
    case Encoding::Iso2022Jp:
        ok = DecodeIso2022Jp(p, end, keepGoing, strict, out);
        break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return DecodeUtf16(p, end, encoding == Encoding::Utf16Be, keepGoing, strict, out)
                   ? std::optional<Decoded>(std::move(out))
                   : std::nullopt;
    case Encoding::ShiftJis:
        break;
    }
    if (!ok)
        return std::nullopt;
    out.format.lineEnd = io::DetectLineEnd(bytes);
    if (encoding == Encoding::Iso2022Jp)
        out.exact = codec::Encode(out.text, out.format) == bytes;
    return out;
}

// Encoding ------------------------------------------------------------------

namespace {

QByteArrayView LineBreak(io::LineEnd lineEnd) {
    return lineEnd == io::LineEnd::Lf   ? QByteArrayView("\n")
           : lineEnd == io::LineEnd::Cr ? QByteArrayView("\r")
                                        : QByteArrayView("\r\n");
}

// Byte output with room made ahead for the longest form of one character.
class ByteOut {
public:
    static constexpr qsizetype kRoom = 16;
    explicit ByteOut(qsizetype capacity) : m_out(capacity + kRoom, Qt::Uninitialized) {
        m_d = m_out.data();
    }
    char*& d() { return m_d; }
    void MakeRoom(qsizetype more = kRoom) {
        if (m_out.data() + m_out.size() - m_d >= more)
            return;
        const qsizetype done = m_d - m_out.data();
        m_out.resize(m_out.size() + qMax(m_out.size() / 2, more));
        m_d = m_out.data() + done;
    }
    void Put(QByteArrayView bytes) {
        MakeRoom(bytes.size() + kRoom);
        std::memcpy(m_d, bytes.data(), size_t(bytes.size()));
        m_d += bytes.size();
    }
    QByteArray Take() {
        m_out.truncate(m_d - m_out.data());
        return std::move(m_out);
    }

private:
    QByteArray m_out;
    char* m_d;
};

// The code of `c` in JIS X 0208 (EUC-JP form), in the form the file used.
inline quint16 JisCode(char16_t c, const io::TextFormat& format) {
    const quint16 code = Jis().fromChar[c];
    if (code && Jis().hasDuplicate[c] && !format.duplicateForms.isEmpty())
        return format.duplicateForms.value(c, code);
    return code;
}

// EUC-JP and ISO-2022-JP; `mode` carries ISO-2022-JP's character set from
// one piece to the next.
QByteArray EncodeBytes(QStringView text, const io::TextFormat& format, int& mode) {
    const bool iso = format.encoding == Encoding::Iso2022Jp;
    const QByteArrayView lineBreak = LineBreak(format.lineEnd);
    const char16_t* s = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    ByteOut out(2 * n);
    const auto select = [&](int next) {
        if (mode == next)
            return;
        mode = next;
        out.Put(next == kAscii ? "\x1B(B" : next == kRoman ? "\x1B(J" : next == kKana ? "\x1B(I"
                : format.jisFinal == '@' ? "\x1B$@" : "\x1B$B");
    };
    const auto reference = [&](char32_t codePoint) {
        if (iso)
            select(kAscii);
        out.Put(cp932::CharacterReference(codePoint));
    };
    for (qsizetype i = 0; i < n;) {
        if (mode == kAscii) {
            out.MakeRoom(n - i + ByteOut::kRoom);
            i += cp932::AppendAscii(s + i, n - i, out.d());
        }
        if (i == n)
            break;
        out.MakeRoom();
        char*& d = out.d();
        const char16_t c = s[i++];
        if (c < 0x80 || c == kLineSeparator) {
            if (iso && !(mode == kRoman && c != 0x5C && c != 0x7E && c != kLineSeparator))
                select(kAscii);
            if (c == kLineSeparator)
                out.Put(lineBreak);
            else
                *d++ = char(c);
        } else if (IsRawByte(c)) {
            *d++ = char(c - 0xDC00);
        } else if (IsHighSurrogate(c) && i < n && IsLowSurrogate(s[i])) {
            reference(QChar::surrogateToUcs4(c, s[i++]));
        } else if (c >= kHalfKanaFirst && c <= kHalfKanaLast) {
            if (iso) {
                select(kKana);
                out.d()[0] = char(c - kHalfKanaFirst + 0x21);
                ++out.d();
            } else {
                *d++ = char(0x8E);
                *d++ = char(c - kHalfKanaFirst + 0xA1);
            }
        } else if (iso && (c == 0x00A5 || c == 0x203E)) {
            select(kRoman);
            *out.d()++ = c == 0x00A5 ? '\x5C' : '\x7E';
        } else if (const quint16 code = JisCode(c, format)) {
            const char mask = iso ? char(0x7F) : char(0xFF);
            if (iso)
                select(kJis0208);
            *out.d()++ = char(code >> 8) & mask;
            *out.d()++ = char(code & 0xFF) & mask;
        } else {
            reference(c);
        }
    }
    return out.Take();
}

QByteArray EncodeUtf8(QStringView text, const io::TextFormat& format) {
    const QByteArrayView lineBreak = LineBreak(format.lineEnd);
    const char16_t* s = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    // At most three bytes a unit, but for references (which need room).
    ByteOut out(3 * n);
    char* d = out.d();
    for (qsizetype i = 0; i < n;) {
        i += cp932::AppendAscii(s + i, n - i, d);
        while (i < n) {
            const char16_t c = s[i];
            if (c < 0x80) {
                break; // back to the fast path
            } else if (c < 0x800) {
                *d++ = char(0xC0 | c >> 6);
                *d++ = char(0x80 | (c & 0x3F));
                ++i;
            } else if ((c & 0xF800) != 0xD800 && c != kLineSeparator) {
                *d++ = char(0xE0 | c >> 12);
                *d++ = char(0x80 | (c >> 6 & 0x3F));
                *d++ = char(0x80 | (c & 0x3F));
                ++i;
            } else {
                break;
            }
        }
        if (i == n)
            break;
        const char16_t c = s[i++];
        if (c < 0x80) {
            *d++ = char(c);
            continue;
        }
        out.d() = d;
        if (c == kLineSeparator) {
            out.Put(lineBreak);
        } else if (IsRawByte(c)) {
            *out.d()++ = char(c - 0xDC00);
        } else if (IsHighSurrogate(c) && i < n && IsLowSurrogate(s[i])) {
            const char32_t u = QChar::surrogateToUcs4(c, s[i++]);
            char* e = out.d();
            *e++ = char(0xF0 | u >> 18);
            *e++ = char(0x80 | (u >> 12 & 0x3F));
            *e++ = char(0x80 | (u >> 6 & 0x3F));
            *e++ = char(0x80 | (u & 0x3F));
            out.d() = e;
        } else {
            out.Put(cp932::CharacterReference(c));
        }
        out.MakeRoom(3 * (n - i) + ByteOut::kRoom);
        d = out.d();
    }
    out.d() = d;
    return out.Take();
}

QByteArray EncodeUtf16(QStringView text, const io::TextFormat& format) {
    const bool big = format.encoding == Encoding::Utf16Be;
    const QStringView lineBreak = format.lineEnd == io::LineEnd::Lf   ? u"\n"
                                  : format.lineEnd == io::LineEnd::Cr ? u"\r"
                                                                      : u"\r\n";
    // A line break takes at most two units for its one.
    ByteOut out(4 * text.size());
    char* d = out.d();
    const auto put = [&d, big](QStringView run) {
        if (!big && QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            std::memcpy(d, run.utf16(), size_t(run.size()) * 2);
            d += run.size() * 2;
            return;
        }
        for (QChar c : run) {
            const char16_t u = c.unicode();
            *d++ = char(big ? u >> 8 : u & 0xFF);
            *d++ = char(big ? u & 0xFF : u >> 8);
        }
    };
    for (qsizetype i = 0; i <= text.size();) {
        qsizetype at = text.indexOf(QChar(kLineSeparator), i);
        if (at < 0)
            at = text.size();
        put(text.sliced(i, at - i));
        if (at < text.size())
            put(lineBreak);
        i = at + 1;
    }
    out.d() = d;
    return out.Take();
}

// The character at `i` when `encoding` cannot hold it.
std::optional<cp932::Unencodable> UnencodableAt(QStringView text, qsizetype i, Encoding encoding) {
    const char16_t c = text[i].unicode();
    if (c < 0x80 || c == kLineSeparator || IsRawByte(c))
        return std::nullopt;
    const bool pair = IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1].unicode());
    switch (encoding) {
    case Encoding::ShiftJis: {
        const std::optional<cp932::Unencodable> u =
            cp932::FindUnencodable(text.first(i + (pair ? 2 : 1)), i);
        return u;
    }
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return std::nullopt;
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        if (pair || !(IsHighSurrogate(c) || IsLowSurrogate(c)))
            return std::nullopt;
        break;
    case Encoding::Iso2022Jp:
        if (c == 0x00A5 || c == 0x203E)
            return std::nullopt;
        [[fallthrough]];
    case Encoding::EucJp:
        if (pair)
            return cp932::Unencodable{i, 2, QChar::surrogateToUcs4(c, text[i + 1].unicode())};
        if ((c >= kHalfKanaFirst && c <= kHalfKanaLast) || Jis().fromChar[c])
            return std::nullopt;
        break;
    }
    return cp932::Unencodable{i, 1, c};
}

} // namespace

void Encoder::Reset() {
    m_started = false;
    m_mode = kAscii;
}

QByteArray Encoder::Encode(QStringView piece) {
    QByteArray out;
    switch (m_format.encoding) {
    case Encoding::ShiftJis:
        out = cp932::Encode(piece, m_format);
        break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        out = EncodeUtf16(piece, m_format);
        break;
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        out = EncodeUtf8(piece, m_format);
        break;
    default:
        out = EncodeBytes(piece, m_format, m_mode);
        break;
    }
    if (!std::exchange(m_started, true) && !Bom(m_format.encoding).isEmpty())
        out.prepend(Bom(m_format.encoding));
    return out;
}

QByteArray Encoder::Finish() {
    QByteArray out;
    if (!std::exchange(m_started, true))
        out = Bom(m_format.encoding).toByteArray();
    if (m_format.encoding == Encoding::Iso2022Jp && m_mode != kAscii)
        out += "\x1B(B";
    else if (m_format.encoding == Encoding::Utf16Le || m_format.encoding == Encoding::Utf16Be)
        out += m_format.tail;
    m_mode = kAscii;
    return out;
}

QByteArray Encode(QStringView text, const io::TextFormat& format) {
    Encoder encoder(format);
    QByteArray out = encoder.Encode(text);
    out += encoder.Finish();
    return out;
}

std::optional<cp932::Unencodable> FindUnencodable(QStringView text, Encoding encoding,
                                                  qsizetype from) {
    if (encoding == Encoding::ShiftJis)
        return cp932::FindUnencodable(text, from);
    if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be)
        return std::nullopt;
    const bool utf8 = encoding == Encoding::Utf8 || encoding == Encoding::Utf8Bom;
    for (qsizetype i = qMax<qsizetype>(from, 0); i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || (utf8 && (c & 0xF800) != 0xD800))
            continue;
        if (std::optional<cp932::Unencodable> u = UnencodableAt(text, i, encoding))
            return u;
        if (IsHighSurrogate(text[i].unicode()) && i + 1 < text.size() &&
            IsLowSurrogate(text[i + 1].unicode()))
            ++i;
    }
    return std::nullopt;
}

qsizetype CountUnencodable(QStringView text, Encoding encoding) {
    if (encoding == Encoding::ShiftJis)
        return cp932::CountUnencodable(text);
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        std::optional<cp932::Unencodable> u = FindUnencodable(text, encoding, i);
        if (!u)
            break;
        ++count;
        i = u->index + u->length - 1;
    }
    return count;
}

std::optional<qsizetype> FirstRoundTripDifference(QStringView text, const io::TextFormat& format) {
    const std::optional<Decoded> back = Decode(Encode(text, format), format.encoding);
    return cp932::FirstReadBackDifference(text, back ? QStringView(back->text) : QStringView(),
                                          [&](qsizetype i) { return UnencodableAt(text, i, format.encoding); });
}

} // namespace codec
