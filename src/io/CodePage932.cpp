#include "io/CodePage932.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <QHash>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace cp932 {
namespace {

constexpr bool IsLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsTrailByte(unsigned b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

struct Tables {
    std::array<char16_t, 256> single{};   // 0: no single-byte character (ASCII is handled apart)
    std::vector<char16_t> pair;            // index lead << 8 | trail; 0: not a character
    std::vector<uint16_t> encode;          // per BMP code unit; 0: cannot be written
    std::vector<bool> duplicate;           // per two-byte code
    std::vector<bool> hasDuplicate;        // per BMP code unit: more than one code
};

struct CallbackState {
    bool failed = false;
};

// ICU's own callbacks substitute silently; these only record the failure and
// leave the error set, which stops the conversion.
void FlagToUnicode(const void* context, UConverterToUnicodeArgs*, const char*, int32_t,
                   UConverterCallbackReason reason, UErrorCode*) {
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR)
        static_cast<CallbackState*>(const_cast<void*>(context))->failed = true;
}

void FlagFromUnicode(const void* context, UConverterFromUnicodeArgs*, const UChar*, int32_t,
                     UChar32, UConverterCallbackReason reason, UErrorCode*) {
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR)
        static_cast<CallbackState*>(const_cast<void*>(context))->failed = true;
}

class Converter {
public:
    Converter() {
        UErrorCode err = U_ZERO_ERROR;
        m_conv = ucnv_open("windows-31j", &err);
        if (U_FAILURE(err) || !m_conv)
            qFatal("ICU converter windows-31j is not available: %s", u_errorName(err));
        ucnv_setToUCallBack(m_conv, FlagToUnicode, &m_state, nullptr, nullptr, &err);
        ucnv_setFromUCallBack(m_conv, FlagFromUnicode, &m_state, nullptr, nullptr, &err);
    }
    ~Converter() { ucnv_close(m_conv); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The one BMP character that `bytes` stand for, or 0.
    char16_t ToUnicode(const char* bytes, int length) {
        UChar out[4];
        UErrorCode err = U_ZERO_ERROR;
        m_state.failed = false;
        ucnv_resetToUnicode(m_conv);
        const int32_t n = ucnv_toUChars(m_conv, out, 4, bytes, length, &err);
        if (U_FAILURE(err) || m_state.failed || n != 1)
            return 0;
        return out[0];
    }

    // The code of one character (single byte below 0x100), or 0.
    uint16_t FromUnicode(char16_t c) {
        char out[8];
        UErrorCode err = U_ZERO_ERROR;
        m_state.failed = false;
        ucnv_resetFromUnicode(m_conv);
        const UChar in[1] = {c};
        const int32_t n = ucnv_fromUChars(m_conv, out, sizeof out, in, 1, &err);
        if (U_FAILURE(err) || m_state.failed)
            return 0;
        if (n == 1)
            return uint8_t(out[0]);
        if (n == 2)
            return uint16_t(uint8_t(out[0]) << 8 | uint8_t(out[1]));
        return 0;
    }

private:
    UConverter* m_conv = nullptr;
    CallbackState m_state;
};

Tables Build() {
    Tables t;
    t.pair.assign(0x10000, 0);
    t.encode.assign(0x10000, 0);
    t.duplicate.assign(0x10000, false);
    t.hasDuplicate.assign(0x10000, false);
    Converter conv;

    // What ICU decodes, before checking that it comes back.
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        if (IsLeadByte(b))
            continue;
        const char s[1] = {char(b)};
        t.single[b] = conv.ToUnicode(s, 1);
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(lead))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsTrailByte(trail))
                continue;
            const char s[2] = {char(lead), char(trail)};
            t.pair[lead << 8 | trail] = conv.ToUnicode(s, 2);
        }
    }

    auto decodeCode = [&t](uint16_t code) -> char16_t {
        return code < 0x100 ? t.single[code] : t.pair[code];
    };

    // Standard code of every decoded character.
    auto learn = [&](char16_t c) {
        if (c >= 0x80 && t.encode[c] == 0)
            t.encode[c] = conv.FromUnicode(c);
    };
    for (unsigned b = 0x80; b <= 0xFF; ++b)
        if (t.single[b])
            learn(t.single[b]);
    for (unsigned code = 0x8100; code < 0x10000; ++code)
        if (t.pair[code])
            learn(t.pair[code]);

    // A decoding is kept only if its character is written back as a code that
    // decodes to the same character; anything else stays raw bytes.
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const char16_t c = t.single[b];
        if (c && (c < 0x80 || t.encode[c] != b))
            t.single[b] = 0;
    }
    for (unsigned code = 0x8100; code < 0x10000; ++code) {
        const char16_t c = t.pair[code];
        if (!c)
            continue;
        const uint16_t standard = c < 0x80 ? 0 : t.encode[c];
        if (standard == 0 || standard < 0x100 || decodeCode(standard) != c)
            t.pair[code] = 0;
        else if (standard != code)
            t.duplicate[code] = true;
    }
    for (unsigned c = 0x80; c < 0x10000; ++c) {
        const uint16_t code = t.encode[c];
        if (code && decodeCode(code) != c)
            t.encode[c] = 0;
    }
    for (unsigned code = 0x8100; code < 0x10000; ++code)
        if (t.duplicate[code])
            t.hasDuplicate[t.pair[code]] = true;
    return t;
}

const Tables& T() {
    static const Tables tables = Build();
    return tables;
}

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Writability of the character at i; sets `length` to its code units.
inline bool Writable(const Tables& t, QStringView text, qsizetype i, qsizetype& length,
                     char32_t& codePoint) {
    const char16_t c = text[i].unicode();
    length = 1;
    codePoint = c;
    if (c < 0x80 || c == 0x2029 || IsRawByte(c))
        return true;
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1].unicode())) {
        length = 2;
        codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
        return false;
    }
    return t.encode[c] != 0;
}

} // namespace


std::optional<QString> Decode(QByteArrayView bytes, io::TextFormat* format,
                              const std::function<bool(qsizetype done)>& keepGoing) {
    const Tables& t = T();
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    char16_t* d = begin;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    // Characters with duplicate codes seen so far, in whichever form.
    QHash<char16_t, quint16> firstForms;
    const auto* const start = p;
    while (p < end) {
        // Each step ends after a whole character.
        const auto* const stepEnd = end - p > kDecodeStep ? p + kDecodeStep : end;
        while (p < stepEnd) {
            const qsizetype ascii = CopyAscii(p, end, d);
            p += ascii;
            d += ascii;
            if (p == end)
                break;
            const unsigned b = *p;
            if (b < 0x80) {
                *d++ = char16_t(b);
                ++p;
                continue;
            }
            if (IsLeadByte(b) && p + 1 < end) {
                const unsigned code = b << 8 | p[1];
                if (const char16_t c = t.pair[code]) {
                    if (format && t.hasDuplicate[c] && !firstForms.contains(c))
                        firstForms.insert(c, quint16(code));
                    *d++ = c;
                    p += 2;
                    continue;
                }
            }
            // An invalid lead byte is kept alone; the byte after it is read afresh.
            const char16_t c = t.single[b];
            *d++ = c ? c : RawByteChar(static_cast<unsigned char>(b));
            ++p;
        }
        if (keepGoing && !keepGoing(p - start))
            return std::nullopt;
    }
    out.truncate(d - begin);
    if (format) {
        io::TextFormat seen;
        seen.lineEnd = io::DetectLineEnd(bytes);
        for (auto it = firstForms.cbegin(); it != firstForms.cend(); ++it)
            if (it.value() != t.encode[it.key()])
                seen.duplicateForms.insert(it.key(), it.value());
        *format = std::move(seen);
    }
    return out;
}

QString Decode(QByteArrayView bytes, io::TextFormat* format) {
    return *Decode(bytes, format, {});
}

char16_t CharOfCode(quint16 code) { return code < 0x100 ? T().single[code] : T().pair[code]; }

quint16 CodeOfChar(char16_t c) { return c < 0x80 ? c : T().encode[c]; }

bool IsDuplicateCode(unsigned char lead, unsigned char trail) {
    return T().duplicate[unsigned(lead) << 8 | trail];
}

std::optional<Unencodable> FindUnencodable(QStringView text, qsizetype from) {
    const Tables& t = T();
    for (qsizetype i = qMax<qsizetype>(from, 0); i < text.size();) {
        qsizetype length;
        char32_t codePoint;
        if (!Writable(t, text, i, length, codePoint))
            return Unencodable{i, length, codePoint};
        i += length;
    }
    return std::nullopt;
}

qsizetype CountUnencodable(QStringView text) {
    const Tables& t = T();
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length;
        char32_t codePoint;
        if (!Writable(t, text, i, length, codePoint))
            ++count;
        i += length;
    }
    return count;
}

namespace {

// Writes "&#" + the decimal code point + ";" at `d`; gives the end.
char* WriteReference(char* d, char32_t codePoint) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = char('0' + codePoint % 10);
        codePoint /= 10;
    } while (codePoint);
    *d++ = '&';
    *d++ = '#';
    while (count)
        *d++ = digits[--count];
    *d++ = ';';
    return d;
}

} // namespace

QByteArray CharacterReference(char32_t codePoint) {
    char reference[16];
    return QByteArray(reference, WriteReference(reference, codePoint) - reference);
}

QByteArray Encode(QStringView text, const io::TextFormat& format) {
    const Tables& t = T();
    const QByteArrayView lineBreak = format.lineEnd == io::LineEnd::Lf   ? QByteArrayView("\n")
                                     : format.lineEnd == io::LineEnd::Cr ? QByteArrayView("\r")
                                                                         : QByteArrayView("\r\n");
    const bool keepForms = !format.duplicateForms.isEmpty();
    const qsizetype n = text.size();
    const char16_t* s = reinterpret_cast<const char16_t*>(text.data());
    // Every character takes at most two bytes, but for numeric character
    // references (at most twelve bytes; the buffer grows for them).
    constexpr qsizetype kLongest = 12;
    QByteArray out(2 * n + kLongest, Qt::Uninitialized);
    char* d = out.data();
    char* limit = d + out.size();
    qsizetype i = 0;
    while (i < n) {
        i += AppendAscii(s + i, n - i, d);
        if (i == n)
            break;
        if (limit - d < kLongest) {
            const qsizetype done = d - out.data();
            out.resize(out.size() + qMax(out.size() / 2, 4 * kLongest));
            d = out.data() + done;
            limit = out.data() + out.size();
        }
        const char16_t c = s[i++];
        if (c < 0x80) {
            *d++ = char(c);
        } else if (c == 0x2029) {
            for (char b : lineBreak)
                *d++ = b;
        } else if (IsRawByte(c)) {
            *d++ = char(c - 0xDC00);
        } else if (IsHighSurrogate(c) && i < n && IsLowSurrogate(s[i])) {
            d = WriteReference(d, QChar::surrogateToUcs4(c, s[i]));
            ++i;
        } else if (uint16_t code = t.encode[c]) {
            if (keepForms && t.hasDuplicate[c])
                code = format.duplicateForms.value(c, code);
            if (code >= 0x100)
                *d++ = char(code >> 8);
            *d++ = char(code & 0xFF);
        } else {
            d = WriteReference(d, c);
        }
    }
    out.truncate(d - out.data());
    return out;
}

} // namespace cp932

namespace cp932 {
namespace {

// Whether a line break starts at `i`; `length` receives its code units.
inline bool LineBreakAt(QStringView s, qsizetype i, qsizetype& length) {
    const char16_t c = s[i].unicode();
    length = 1;
    if (c == 0x2029 || c == u'\n')
        return true;
    if (c != u'\r')
        return false;
    if (i + 1 < s.size() && s[i + 1] == u'\n')
        length = 2;
    return true;
}

} // namespace

std::optional<qsizetype> FirstRoundTripDifference(QStringView text, QByteArrayView bytes) {
    const Tables& t = T();
    const QString back = Decode(bytes);
    return FirstReadBackDifference(text, back, [&](qsizetype i) -> std::optional<Unencodable> {
        qsizetype length;
        char32_t codePoint;
        if (Writable(t, text, i, length, codePoint))
            return std::nullopt;
        return Unencodable{i, length, codePoint};
    });
}

std::optional<qsizetype> FirstReadBackDifference(
    QStringView text, QStringView read,
    const std::function<std::optional<Unencodable>(qsizetype i)>& unencodable) {
    const char16_t* const s = reinterpret_cast<const char16_t*>(text.data());
    const char16_t* const r = reinterpret_cast<const char16_t*>(read.data());
    qsizetype i = 0, j = 0;
    while (i < text.size() && j < read.size()) {
        // Equal runs go in one step; only where they part is anything decided.
        const qsizetype run = qMin(text.size() - i, read.size() - j);
        const auto [si, rj] = std::mismatch(s + i, s + i + run, r + j);
        i = si - s;
        j = rj - r;
        if (i == text.size() || j == read.size())
            break;
        if (const std::optional<Unencodable> u = unencodable(i)) {
            // Written as its numeric character reference.
            const QString reference = QString::fromLatin1(CharacterReference(u->codePoint));
            if (!read.sliced(j).startsWith(reference))
                return i;
            i += u->length;
            j += reference.size();
            continue;
        }
        qsizetype textLength, readLength;
        if (!LineBreakAt(text, i, textLength) || !LineBreakAt(read, j, readLength))
            return i;
        i += textLength;
        j += readLength;
    }
    if (i < text.size() || j < read.size())
        return i;
    return std::nullopt;
}

} // namespace cp932
