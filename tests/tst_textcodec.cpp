#include "io/EncodingDetect.h"
#include "io/TextCodec.h"

#include <QTest>

#include <unicode/ucnv.h>

using namespace Qt::StringLiterals;
using io::Encoding;

Q_DECLARE_METATYPE(io::Encoding)

namespace {

// 日本語 in each encoding.
const QByteArray kNihongoSjis = "\x93\xfa\x96\x7b\x8c\xea";
const QByteArray kNihongoEuc = "\xc6\xfc\xcb\xdc\xb8\xec";
const QByteArray kNihongoJis = "\x1b$BF|K\\8l\x1b(B";
const QByteArray kNihongoUtf8 = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";

// The character ICU's own converter `name` reads `bytes` as; 0 if none.
char16_t IcuChar(const char* name, const QByteArray& bytes) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open(name, &err);
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    UChar out[4];
    const int32_t n = ucnv_toUChars(conv, out, 4, bytes.constData(), int32_t(bytes.size()), &err);
    ucnv_close(conv);
    return U_SUCCESS(err) && n == 1 ? out[0] : 0;
}

} // namespace

// Encodings other than code page 932: reading, writing back byte for byte,
// what cannot be written, and which encoding a file is in.
class TestTextCodec : public QObject {
    Q_OBJECT

private slots:
    void unchangedTextWritesTheSameBytes_data() {
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << Encoding::Utf8 << kNihongoUtf8 + "\r\nx" << u"日本語\r\nx"_s;
        QTest::newRow("utf-8 raw bytes, cut sequence at the end")
            << Encoding::Utf8 << QByteArray("a\xff\xc3(\xe6\x97") << u"a\xdcff\xdcc3(\xdce6\xdc97"_s;
        QTest::newRow("utf-8 encoded surrogate stays raw")
            << Encoding::Utf8 << QByteArray("\xed\xa0\x80") << u"\xdced\xdca0\xdc80"_s;
        QTest::newRow("utf-8 bom, lf") << Encoding::Utf8Bom << "\xef\xbb\xbf" + kNihongoUtf8 + "\n"
                                       << u"日本語\n"_s;
        QTest::newRow("euc-jp, half-width kana, raw byte")
            << Encoding::EucJp << kNihongoEuc + "\x8e\xb1\xa1\r\n" << u"日本語ｱ\xdca1\r\n"_s;
        QTest::newRow("euc-jp nec row 13 form kept")
            << Encoding::EucJp << QByteArray("\xad\xfa" "a") << u"∵a"_s;
        QTest::newRow("euc-jp jis x 0212 kept raw")
            << Encoding::EucJp << QByteArray("\x8f\xb0\xa1") << u"\xdc8f\xdcb0\xdca1"_s;
        QTest::newRow("iso-2022-jp") << Encoding::Iso2022Jp << "<p>" + kNihongoJis + "</p>\r\n"
                                     << u"<p>日本語</p>\r\n"_s;
        QTest::newRow("iso-2022-jp old selector, kana, roman")
            << Encoding::Iso2022Jp << QByteArray("\x1b$@F|\x1b(I1\x1b(J\\a\x1b(B")
            << u"日ｱ¥a"_s;
        QTest::newRow("utf-16le") << Encoding::Utf16Le << QByteArray("\xff\xfe\xe5\x65\x0d\x00\x0a\x00", 8)
                                  << u"日\r\n"_s;
        QTest::newRow("utf-16be lone surrogate, odd last byte")
            << Encoding::Utf16Be << QByteArray("\xfe\xff\xd8\x00\x00\x41\x7a", 7) << u"\xd800" "A"_s;
    }
    void unchangedTextWritesTheSameBytes() {
        QFETCH(Encoding, encoding);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const std::optional<codec::Decoded> d = codec::Decode(bytes, encoding);
        QVERIFY(d);
        QCOMPARE(d->text, text);
        QVERIFY(d->exact);
        QCOMPARE(codec::Encode(d->text, d->format), bytes);
        // Written in pieces, as a save writes them.
        codec::Encoder encoder(d->format);
        QByteArray pieces;
        for (qsizetype i = 0; i < d->text.size(); i += 2)
            pieces += encoder.Encode(QStringView(d->text).sliced(i, qMin<qsizetype>(2, d->text.size() - i)));
        pieces += encoder.Finish();
        QCOMPARE(pieces, bytes);
        // A stray byte joined with its neighbour by an edit is found.
        QVERIFY(!codec::FirstRoundTripDifference(d->text, d->format));
    }

    // Every JIS X 0208 character (rows 1 to 94, the NEC and NEC-selected
    // IBM rows among them) reads the same in Shift_JIS, EUC-JP and
    // ISO-2022-JP, and as ICU's own EUC-JP converter reads it, but for the
    // known differences between the Microsoft and the JIS mappings.
    void jisX0208ReadsAlikeInEveryJapaneseEncoding() {
        const QHash<char16_t, char16_t> microsoftForJis = {
            {u'〜', u'～'}, {u'‖', u'∥'}, {u'−', u'－'}, {u'¢', u'￠'}, {u'£', u'￡'}, {u'¬', u'￢'}};
        int characters = 0, checkedByIcu = 0;
        io::TextFormat eucFormat, jisFormat;
        eucFormat.encoding = Encoding::EucJp;
        jisFormat.encoding = Encoding::Iso2022Jp;
        for (int row = 1; row <= 94; ++row) {
            for (int cell = 1; cell <= 94; ++cell) {
                // Shift_JIS from row and cell, computed here on its own.
                const int lead = row <= 62 ? 0x81 + (row - 1) / 2 : 0xE0 + (row - 63) / 2;
                const int trail = row % 2 ? 0x40 + cell - 1 + (cell >= 64 ? 1 : 0) : 0x9F + cell - 1;
                const QByteArray sjis = QByteArray().append(char(lead)).append(char(trail));
                const QByteArray euc = QByteArray().append(char(row + 0xA0)).append(char(cell + 0xA0));
                const QByteArray jis = QByteArray("\x1b$B").append(char(row + 0x20)).append(char(cell + 0x20)) + "\x1b(B";
                const QString fromSjis = codec::Decode(sjis, Encoding::ShiftJis)->text;
                const codec::Decoded eucDecoded = *codec::Decode(euc, Encoding::EucJp);
                const QString& fromEuc = eucDecoded.text;
                const QString fromJis = codec::Decode(jis, Encoding::Iso2022Jp)->text;
                const bool defined = fromSjis.size() == 1;
                QVERIFY2(fromEuc == (defined ? fromSjis : u"%1%2"_s.arg(QChar(0xDC00 + row + 0xA0), QChar(0xDC00 + cell + 0xA0))),
                         qPrintable(u"row %1 cell %2"_s.arg(row).arg(cell)));
                if (!defined)
                    continue;
                ++characters;
                QCOMPARE(fromJis, fromSjis);
                const char16_t c = fromSjis[0].unicode();
                QVERIFY(!codec::FindUnencodable(fromSjis, Encoding::EucJp));
                // The form read is the form written, whichever of a
                // duplicate's codes it is.
                QCOMPARE(codec::Encode(fromEuc, eucDecoded.format), euc);
                QCOMPARE(codec::Decode(codec::Encode(fromSjis, eucFormat), Encoding::EucJp)->text, fromSjis);
                QCOMPARE(codec::Decode(codec::Encode(fromSjis, jisFormat), Encoding::Iso2022Jp)->text, fromSjis);
                if (const char16_t icu = IcuChar("EUC-JP", euc)) {
                    ++checkedByIcu;
                    QVERIFY2(icu == c || microsoftForJis.value(icu) == c,
                             qPrintable(u"row %1 cell %2: %3 against ICU %4"_s.arg(row).arg(cell).arg(uint(c), 0, 16).arg(uint(icu), 0, 16)));
                }
            }
        }
        // JIS X 0208 has 6879 characters; the NEC row and IBM rows add more.
        QVERIFY(characters > 6879);
        QVERIFY(checkedByIcu >= 6879);
    }

    void charactersAnEncodingCannotHold_data() {
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("emoji in euc-jp") << Encoding::EucJp << u"a😀①\xdc80"_s << 1;
        QTest::newRow("hangul in iso-2022-jp") << Encoding::Iso2022Jp << u"한ｱ¥"_s << 1;
        QTest::newRow("everything in utf-8") << Encoding::Utf8 << u"한😀\xdc80"_s << 0;
        QTest::newRow("lone surrogate in utf-8") << Encoding::Utf8 << u"a\xd800" "b"_s << 1;
        QTest::newRow("lone surrogate in utf-16") << Encoding::Utf16Le << u"a\xd800"_s << 0;
        QTest::newRow("hangul in shift_jis") << Encoding::ShiftJis << u"한국"_s << 2;
    }
    void charactersAnEncodingCannotHold() {
        QFETCH(Encoding, encoding);
        QFETCH(QString, text);
        QFETCH(int, count);
        QCOMPARE(codec::CountUnencodable(text, encoding), count);
        // Written as references, and read back as those.
        io::TextFormat format;
        format.encoding = encoding;
        QVERIFY(!codec::FirstRoundTripDifference(text, format));
    }

    void declarationIsFoundAsBrowsersFindIt_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("label");
        QTest::newRow("meta charset") << QByteArray("<html><meta charset=\"Shift_JIS\">") << QByteArray("Shift_JIS");
        QTest::newRow("http-equiv") << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=euc-jp\">")
                                    << QByteArray("euc-jp");
        QTest::newRow("content without http-equiv") << QByteArray("<meta content=\"text/html; charset=euc-jp\">") << QByteArray();
        QTest::newRow("in a comment") << QByteArray("<!-- <meta charset=utf-8> --><meta charset=sjis>") << QByteArray("sjis");
        QTest::newRow("in an attribute of another tag")
            << QByteArray("<a title='<meta charset=utf-8>'><meta charset='x-sjis'>") << QByteArray("x-sjis");
        QTest::newRow("xml declaration") << QByteArray("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>") << QByteArray("EUC-JP");
        QTest::newRow("after 1024 bytes") << QByteArray(1024, ' ') + "<meta charset=utf-8>" << QByteArray();
    }
    void declarationIsFoundAsBrowsersFindIt() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, label);
        const std::optional<codec::Declaration> d = codec::FindDeclaration(QByteArrayView(bytes));
        QCOMPARE(d ? d->label : QByteArray(), label);
        if (d)
            QCOMPARE(bytes.mid(d->offset, d->length), label);
    }

    void detectionOrder_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("pane");
        const QByteArray sjisMeta = "<meta charset=\"Shift_JIS\">";
        QTest::newRow("1 utf-8 mark") << "\xef\xbb\xbf" + kNihongoUtf8 << Encoding::Utf8Bom << 1 << u"UTF-8 BOM"_s;
        QTest::newRow("1 utf-16le mark") << QByteArray("\xff\xfe<\0", 4) << Encoding::Utf16Le << 1 << u"UTF-16LE"_s;
        QTest::newRow("2 utf-8 over a shift_jis declaration")
            << sjisMeta + kNihongoUtf8 << Encoding::Utf8 << 2 << u"UTF-8 (宣言: Shift_JIS)"_s;
        QTest::newRow("2 french utf-8") << QByteArray("<p>caf\xc3\xa9 cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e</p>")
                                        << Encoding::Utf8 << 2 << u"UTF-8"_s;
        QTest::newRow("3 declared euc-jp") << "<meta charset=euc-jp>" + kNihongoEuc << Encoding::EucJp << 3 << u"EUC-JP"_s;
        QTest::newRow("3 ascii page takes its declaration")
            << QByteArray("<meta charset=utf-8><p>a</p>") << Encoding::Utf8 << 3 << u"UTF-8"_s;
        QTest::newRow("3 declared but not clean: later steps")
            << "<meta charset=euc-jp>" + kNihongoSjis << Encoding::ShiftJis << 5 << u"Shift_JIS (宣言: EUC-JP)"_s;
        QTest::newRow("unknown declaration is shown")
            << "<meta charset=windows-1252>" + kNihongoSjis << Encoding::ShiftJis << 5
            << u"Shift_JIS (宣言: windows-1252)"_s;
        QTest::newRow("4 iso-2022-jp escapes") << "<p>" + kNihongoJis << Encoding::Iso2022Jp << 4 << u"ISO-2022-JP"_s;
        QTest::newRow("5 only euc-jp clean")
            << kNihongoEuc + "\xa4\xc7\xa4\xb9" << Encoding::EucJp << 5 << u"EUC-JP"_s;
        QTest::newRow("5 only shift_jis clean") << kNihongoSjis << Encoding::ShiftJis << 5 << u"Shift_JIS"_s;
        // ｱｲｳｴｵｶｷｸ｡ reads cleanly as EUC-JP too, as kanji without kana.
        QTest::newRow("5 tie: half-width katakana shift_jis")
            << QByteArray("<p>\xb1\xb2\xb3\xb4\xb5\xb6\xb7\xb8</p>") << Encoding::ShiftJis << 5 << u"Shift_JIS"_s;
        // これはテストです: mostly kana in EUC-JP, which Shift_JIS also reads.
        QTest::newRow("5 tie: euc-jp prose")
            << QByteArray("\xa4\xb3\xa4\xec\xa4\xcf\xa5\xc6\xa5\xb9\xa5\xc8\xa4\xc7\xa4\xb9")
            << Encoding::EucJp << 5 << u"EUC-JP"_s;
        QTest::newRow("6 ascii without declaration") << QByteArray("<p>a</p>") << Encoding::ShiftJis << 6 << u"Shift_JIS"_s;
        QTest::newRow("6 binary") << QByteArray("\x00\x80\xff\xfd\x81", 5) << Encoding::ShiftJis << 6 << u"Shift_JIS"_s;
        QTest::newRow("6 utf-16 without a mark")
            << QByteArray("<\0p\0>\0", 6) << Encoding::ShiftJis << 6 << u"Shift_JIS"_s;
    }
    void detectionOrder() {
        QFETCH(QByteArray, bytes);
        QFETCH(Encoding, encoding);
        QFETCH(int, step);
        QFETCH(QString, pane);
        const std::optional<codec::Detected> d = codec::DetectAndDecode(bytes);
        QVERIFY(d);
        QCOMPARE(d->decoded.format.encoding, encoding);
        QCOMPARE(d->step, step);
        const QString shown = codec::DeclarationDiffers(d->declared, d->declaredEncoding, encoding)
                                  ? u"%1 (宣言: %2)"_s.arg(codec::EncodingName(encoding), d->declared)
                                  : codec::EncodingName(encoding);
        QCOMPARE(shown, pane);
        // Whatever was decided, the bytes come back.
        QCOMPARE(codec::Encode(d->decoded.text, d->decoded.format), bytes);
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
