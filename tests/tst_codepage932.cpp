#include "io/CodePage932.h"
#include "io/MemoryRoom.h"

#include <QTest>

// Conversion between Shift-JIS file bytes and the editor's text.
class TestCodePage932 : public QObject {
    Q_OBJECT

    static QByteArray Bytes(std::initializer_list<int> values) {
        QByteArray b;
        for (int v : values)
            b.append(char(v));
        return b;
    }

private slots:
    void asciiAndControlCodesMapToThemselves() {
        QByteArray all;
        for (int b = 0; b < 0x80; ++b)
            all.append(char(b));
        const QString text = cp932::Decode(all);
        QCOMPARE(text.size(), 0x80);
        for (int b = 0; b < 0x80; ++b)
            QCOMPARE(text[b].unicode(), char16_t(b));
        QCOMPARE(cp932::Encode(text), all);
        // The IBM control code swaps of some tables are not applied.
        QCOMPARE(cp932::Encode(u"\x1A\x1C\x7F"), Bytes({0x1A, 0x1C, 0x7F}));
    }

    void everySingleByteRoundTrips() {
        for (int b = 0; b < 0x100; ++b) {
            const QByteArray one = Bytes({b});
            const QString text = cp932::Decode(one);
            QCOMPARE(text.size(), 1);
            QCOMPARE(cp932::Encode(text), one);
        }
        // Half-width katakana are characters; 0x80, 0xA0, 0xFD..0xFF are kept raw.
        QCOMPARE(cp932::Decode(Bytes({0xB1})), QString(QChar(0xFF71)));
        QCOMPARE(cp932::Decode(Bytes({0x80})), QString(QChar(0xDC80)));
        QCOMPARE(cp932::Decode(Bytes({0xA0})), QString(QChar(0xDCA0)));
        QCOMPARE(cp932::Decode(Bytes({0xFF})), QString(QChar(0xDCFF)));
    }

    void everyTwoByteSequenceComesBackOrIsADuplicate() {
        int roundTrips = 0, raw = 0, duplicates = 0;
        for (int lead = 0x80; lead < 0x100; ++lead) {
            for (int trail = 0; trail < 0x100; ++trail) {
                const QByteArray two = Bytes({lead, trail});
                const QString text = cp932::Decode(two);
                const QByteArray back = cp932::Encode(text);
                if (back == two) {
                    if (text.size() == 1)
                        ++roundTrips;
                    else
                        ++raw;
                    QVERIFY(!cp932::IsDuplicateCode(uchar(lead), uchar(trail)));
                    continue;
                }
                // The only change allowed: a duplicate code written in the
                // standard form of its character, which reads back the same.
                QVERIFY2(cp932::IsDuplicateCode(uchar(lead), uchar(trail)),
                         qPrintable(QString::number(lead * 256 + trail, 16)));
                QCOMPARE(text.size(), 1);
                QCOMPARE(back.size(), 2);
                QCOMPARE(cp932::Decode(back), text);
                QVERIFY(lead == 0x87 || lead == 0xED || lead == 0xEE || lead >= 0xFA);
                ++duplicates;
            }
        }
        QVERIFY(roundTrips > 9000); // JIS X 0208 with the extensions
        QVERIFY(raw > 0);
        QCOMPARE(duplicates, 398);   // the NEC and IBM extension duplicates
    }

    void knownCharacters() {
        // The face name of the font dialog, byte for byte.
        const QByteArray face = Bytes({0x82, 0x6C, 0x82, 0x72, 0x20, 0x82, 0x6F, 0x83, 0x53, 0x83,
                                       0x56, 0x83, 0x62, 0x83, 0x4E});
        QCOMPARE(cp932::Decode(face), QStringLiteral(u"ＭＳ Ｐゴシック"));
        QCOMPARE(cp932::Encode(u"ＭＳ Ｐゴシック"), face);
        QCOMPARE(cp932::Decode(Bytes({0x81, 0x60})), QString(QChar(0xFF5E))); // ～
        QCOMPARE(cp932::Encode(u"\\~"), QByteArray("\\~"));
        // NEC row 13 and IBM extension duplicates go out in Windows' form.
        QCOMPARE(cp932::Encode(QString(QChar(0x2252))), Bytes({0x81, 0xE0})); // ≒
        QCOMPARE(cp932::Encode(QString(QChar(0x2160))), Bytes({0x87, 0x54})); // Ⅰ
        QCOMPARE(cp932::Encode(QString(QChar(0x2170))), Bytes({0xFA, 0x40})); // ⅰ
        QCOMPARE(cp932::Encode(QString(QChar(0xFFE2))), Bytes({0x81, 0xCA})); // ￢
    }

    void invalidBytesAreKeptWithoutSwallowingTheNext() {
        // An unassigned pair keeps its lead raw and reads the trail afresh.
        QCOMPARE(cp932::Decode(Bytes({0x85, 0x41})), QString(QChar(0xDC85)) + u'A');
        // A lead byte before a line break or at the end.
        QCOMPARE(cp932::Decode(Bytes({0x82, 0x0D, 0x0A})), QString(QChar(0xDC82)) + QStringLiteral(u"\r\n"));
        QCOMPARE(cp932::Decode(Bytes({'a', 0x82})), u"a"_qs + QChar(0xDC82));
        // A raw lead followed by a valid character.
        QCOMPARE(cp932::Decode(Bytes({0x85, 0x82, 0xA0})), QString(QChar(0xDC85)) + u"あ"_qs);
        const QByteArray mixed = Bytes({0x85, 0x41, 0x82, 0x0A, 0x80, 0xFF, 0x82, 0xA0, 0x82});
        QCOMPARE(cp932::Encode(cp932::Decode(mixed)), mixed);
    }

    void lineBreaksOfThePane() {
        // U+2029 separates the pane's lines and goes out as CR LF; CR and LF
        // in text are written as they are.
        QCOMPARE(cp932::Encode(u"a\u2029b"), QByteArray("a\r\nb"));
        QCOMPARE(cp932::Encode(u"a\r\nb\nc"), QByteArray("a\r\nb\nc"));
        QCOMPARE(cp932::Decode("a\r\nb"), u"a\r\nb"_qs);
    }

    void charactersShiftJisCannotHold() {
        const QString text = u"aあ€b😀c\u2029d"_qs;
        const auto first = cp932::FindUnencodable(text);
        QVERIFY(first);
        QCOMPARE(first->index, 2);
        QCOMPARE(first->length, 1);
        QCOMPARE(first->codePoint, char32_t(0x20AC));
        const auto second = cp932::FindUnencodable(text, first->index + first->length);
        QVERIFY(second);
        QCOMPARE(second->index, 4);
        QCOMPARE(second->length, 2);
        QCOMPARE(second->codePoint, char32_t(0x1F600));
        QCOMPARE(cp932::CountUnencodable(text), 2);
        QVERIFY(!cp932::FindUnencodable(text, 7));
        // Written as numeric character references, nothing dropped.
        QCOMPARE(cp932::Encode(text), QByteArray("a\x82\xa0&#8364;b&#128512;c\r\nd"));
        // A raw byte and a writable text have nothing to report.
        QVERIFY(!cp932::FindUnencodable(cp932::Decode(Bytes({0x80, 0x82, 0xA0, 0xFD}))));
        // ¥ has no code of its own: it is reported, not written as a backslash.
        QVERIFY(cp932::FindUnencodable(QString(QChar(0x00A5))));
    }

    void surrogatesAroundRawBytes() {
        // A pair whose low half lies in the raw-byte range is one character.
        const QString pile = QString::fromUcs4(U"\U0001F4A9");
        QCOMPARE(pile[1].unicode(), char16_t(0xDCA9));
        QCOMPARE(cp932::Encode(pile), QByteArray("&#128169;"));
        // A raw byte after a complete pair stays a raw byte.
        QCOMPARE(cp932::Encode(pile + QChar(0xDC85)), QByteArray("&#128169;\x85"));
        // A lone low surrogate outside the raw-byte range cannot be written.
        QVERIFY(cp932::FindUnencodable(QString(QChar(0xDC10))));
    }

    void largeMixedTextRoundTrips() {
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i)
            bytes += QByteArray("<P>") + Bytes({0x82, 0xA0, 0x93, 0xFA, 0x96, 0x7B, 0xB1}) +
                     (i % 97 == 0 ? Bytes({0x80}) : QByteArray()) + "</P>\r\n";
        QCOMPARE(cp932::Encode(cp932::Decode(bytes)), bytes);
    }

    // Round trip: the form each duplicate had and the line breaks of the
    // file come back; what would read back as other text is found.
    void duplicateCodesKeepTheFormTheFileUsed() {
        io::TextFormat format;
        // NEC-selected IBM form and NEC row 13 form, each alone in a file.
        const QByteArray ed40 = Bytes({0xED, 0x40});
        QCOMPARE(cp932::Decode(ed40, &format), QString(QChar(0x7E8A)));
        QCOMPARE(format.duplicateForms.value(char16_t(0x7E8A)), quint16(0xED40));
        QCOMPARE(cp932::Encode(cp932::Decode(ed40), format), ed40);
        QCOMPARE(cp932::Encode(cp932::Decode(ed40)), Bytes({0xFA, 0x5C})); // no format: standard
        const QByteArray n8790 = Bytes({0x87, 0x90});
        const QString nearly = cp932::Decode(n8790, &format);
        QCOMPARE(cp932::Encode(nearly, format), n8790);
        // A file that mixes forms keeps the first one per character; a
        // character it never held gets the standard form.
        const QByteArray mixed = Bytes({0x87, 0x90, 0x81, 0xE0, 0xFA, 0x5C, 0xED, 0x40});
        const QString text = cp932::Decode(mixed, &format);
        QCOMPARE(format.duplicateForms.size(), 1); // 纊 came first in its standard form
        QCOMPARE(cp932::Encode(text, format), Bytes({0x87, 0x90, 0x87, 0x90, 0xFA, 0x5C, 0xFA, 0x5C}));
        QCOMPARE(cp932::Encode(text + QChar(0x2160), format).right(2), Bytes({0x87, 0x54}));
        // Every duplicate code, read alone, is written back as it was.
        int kept = 0;
        for (int lead = 0x81; lead < 0x100; ++lead)
            for (int trail = 0x40; trail < 0x100; ++trail) {
                if (!cp932::IsDuplicateCode(uchar(lead), uchar(trail)))
                    continue;
                const QByteArray two = Bytes({lead, trail});
                QCOMPARE(cp932::Encode(cp932::Decode(two, &format), format), two);
                ++kept;
            }
        QCOMPARE(kept, 398);
    }

    void lineBreaksOfTheFileAreSeen() {
        auto lineEnd = [](const QByteArray& bytes) {
            io::TextFormat format;
            format.lineEnd = io::LineEnd::Cr; // overwritten
            cp932::Decode(bytes, &format);
            return format.lineEnd;
        };
        QCOMPARE(lineEnd("a\nb\n"), io::LineEnd::Lf);
        QCOMPARE(lineEnd("a\rb\r"), io::LineEnd::Cr);
        QCOMPARE(lineEnd("a\r"), io::LineEnd::Cr);
        QCOMPARE(lineEnd("a\r\nb\r\n"), io::LineEnd::CrLf);
        QCOMPARE(lineEnd("a\nb\r\n"), io::LineEnd::CrLf);
        QCOMPARE(lineEnd("a\rb\n"), io::LineEnd::CrLf);
        QCOMPARE(lineEnd("no break"), io::LineEnd::CrLf);
        QCOMPARE(lineEnd(""), io::LineEnd::CrLf);
        // A raw lead byte before the break does not hide it.
        QCOMPARE(lineEnd(Bytes({0x82, 0x0A, 'x', 0x0A})), io::LineEnd::Lf);
        io::TextFormat lf;
        lf.lineEnd = io::LineEnd::Lf;
        io::TextFormat cr;
        cr.lineEnd = io::LineEnd::Cr;
        QCOMPARE(cp932::Encode(u"a\u2029b\u2029", lf), QByteArray("a\nb\n"));
        QCOMPARE(cp932::Encode(u"a\u2029b\u2029", cr), QByteArray("a\rb\r"));
        QCOMPARE(cp932::Encode(u"a\u2029b"), QByteArray("a\r\nb"));
    }

    void textThatReadsBackOtherwiseIsFound() {
        // The same text, with line breaks in any form, agrees.
        QVERIFY(!cp932::FirstRoundTripDifference(u"a\u2029b", "a\r\nb"));
        QVERIFY(!cp932::FirstRoundTripDifference(u"a\u2029b", "a\nb"));
        QVERIFY(!cp932::FirstRoundTripDifference(u"a\u2029\u2029b", "a\r\rb"));
        QVERIFY(cp932::FirstRoundTripDifference(u"a\u2029\u2029b", "a\r\nb"));
        // A kept stray lead byte joins the character written after it.
        const QString stray = u"x"_qs + QChar(0xDC81) + u"A"_qs;
        QCOMPARE(cp932::Encode(stray), QByteArray("x\x81" "A"));
        QCOMPARE(cp932::FirstRoundTripDifference(stray, cp932::Encode(stray)).value_or(-1), qsizetype(1));
        const QString numeral = QString(QChar(0xDC81)) + QChar(0x2160); // Ⅰ
        QCOMPARE(cp932::Encode(numeral), Bytes({0x81, 0x87, 0x54}));
        QCOMPARE(cp932::FirstRoundTripDifference(numeral, cp932::Encode(numeral)).value_or(-1), qsizetype(0));
        // Read in the form the file had, it stays apart.
        io::TextFormat format;
        const QByteArray file = Bytes({0x81, 0xFA, 0x4A});
        const QString text = cp932::Decode(file, &format);
        QCOMPARE(text, numeral);
        QCOMPARE(cp932::Encode(text, format), file);
        QVERIFY(!cp932::FirstRoundTripDifference(text, file));
        // Characters written as references read back as those references.
        QVERIFY(!cp932::FirstRoundTripDifference(u"a€😀b", cp932::Encode(u"a€😀b")));
        QCOMPARE(cp932::FirstRoundTripDifference(u"a€b", "a&#8364b").value_or(-1), qsizetype(1));
        // Missing or extra text at the end.
        QCOMPARE(cp932::FirstRoundTripDifference(u"abc", "ab").value_or(-1), qsizetype(2));
        QCOMPARE(cp932::FirstRoundTripDifference(u"ab", "abc").value_or(-1), qsizetype(2));
    }

    void onlyStrayBytesCanReadBackOtherwise() {
        // A save checks the read-back only where a kept stray byte stands:
        // every other character it writes reads back as itself, whatever
        // stands around it.
        int checked = 0;
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if ((c >= 0xD800 && c <= 0xDFFF) || c == 0x2029)
                continue;
            const QString one{QChar(char16_t(c))};
            if (cp932::FindUnencodable(one))
                continue;
            const QString text = one + u"A"_qs + one + one + QChar(0xFF71) + u"@"_qs;
            QVERIFY2(!cp932::FirstRoundTripDifference(text, cp932::Encode(text)),
                     qPrintable(QString::number(uint(c), 16)));
            ++checked;
        }
        QVERIFY(checked > 7000);
        // Characters written as references, many of them in a row.
        const QString references = QString(3000, QChar(0x20AC)) + u"\U0001F600"_qs.repeated(3000);
        QCOMPARE(cp932::Encode(references),
                 QByteArray("&#8364;").repeated(3000) + QByteArray("&#128512;").repeated(3000));
        QVERIFY(!cp932::FirstRoundTripDifference(references, cp932::Encode(references)));
    }

    void linesAreCountedForTheMemoryEstimate() {
        QCOMPARE(io::CountLines(""), qint64(0));
        QCOMPARE(io::CountLines("a"), qint64(1));
        QCOMPARE(io::CountLines("a\r\nb"), qint64(2));
        QCOMPARE(io::CountLines("a\r\nb\r\n"), qint64(2));
        QCOMPARE(io::CountLines("a\rb\nc\r\n\r"), qint64(4));
        QCOMPARE(io::CountLines("\n\n\n"), qint64(3));
    }
};

QTEST_GUILESS_MAIN(TestCodePage932)
#include "tst_codepage932.moc"
