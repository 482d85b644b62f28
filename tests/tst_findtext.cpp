#include "find/FindText.h"

#include <QTest>

using namespace Qt::StringLiterals;
using find::FindOptions;
using find::Match;

namespace {

const QChar kBreak = QChar::ParagraphSeparator;

FindOptions Options(const QString& what, bool matchCase = false, bool wholeWord = false,
                    bool down = true) {
    FindOptions o;
    o.what = what;
    o.matchCase = matchCase;
    o.wholeWord = wholeWord;
    o.down = down;
    return o;
}

// Where the first match from the start lies; -1 without one.
qsizetype FirstAt(const QString& text, const FindOptions& options) {
    const auto m = find::FindForward(text, find::ToPaneText(options.what), options, 0);
    return m ? m->start : -1;
}

} // namespace

// The search engine over the pane's raw text: case and word rules, line
// breaks, direction and wrapping, raw bytes.
class TestFindText : public QObject {
    Q_OBJECT

private slots:
    void caseMattersOnlyForLettersThatHaveCase() {
        QCOMPARE(FirstAt(u"x <table>"_s, Options(u"TABLE"_s)), 3);
        QCOMPARE(FirstAt(u"x <table>"_s, Options(u"TABLE"_s, true)), -1);
        QCOMPARE(FirstAt(u"x <TABLE>"_s, Options(u"TABLE"_s, true)), 3);
        // Full-width and Greek letters have case too.
        QCOMPARE(FirstAt(u"――ａｂｃ"_s, Options(u"ＡＢＣ"_s)), 2);
        QCOMPARE(FirstAt(u"――ａｂｃ"_s, Options(u"ＡＢＣ"_s, true)), -1);
        QCOMPARE(FirstAt(u"λόγος ΣΟΦΙΑ"_s, Options(u"σοφια"_s)), 6);
        // Kana have no case: hiragana, katakana and half-width katakana
        // never stand for one another, and neither do the two widths of a
        // letter.
        QCOMPARE(FirstAt(u"アイウ"_s, Options(u"あいう"_s)), -1);
        QCOMPARE(FirstAt(u"ｱｲｳ"_s, Options(u"アイウ"_s)), -1);
        QCOMPARE(FirstAt(u"ABC"_s, Options(u"ＡＢＣ"_s)), -1);
    }

    void wholeWordsInJapaneseAndHtml() {
        const auto whole = [](const QString& text, const QString& what) {
            return FirstAt(text, Options(what, false, true));
        };
        // Tags' brackets, spaces and line breaks separate words.
        QCOMPARE(whole(u"<TABLE><TD>"_s, u"td"_s), 8);
        QCOMPARE(whole(u"<TDX> <TD>"_s, u"TD"_s), 7);
        QCOMPARE(whole(u"a_TD TD"_s, u"TD"_s), 5); // the underscore joins
        QCOMPARE(whole(u"abc"_s + kBreak + u"TD"_s, u"TD"_s), 4);
        // A word is a run of one kind of character.
        QCOMPARE(whole(u"漢字かな"_s, u"漢字"_s), 0);
        QCOMPARE(whole(u"漢字かな"_s, u"漢"_s), -1);
        QCOMPARE(whole(u"ひらがなかな"_s, u"かな"_s), -1);
        QCOMPARE(whole(u"カードを"_s, u"カード"_s), 0);
        QCOMPARE(whole(u"ﾃｽﾄ。"_s, u"ﾃｽﾄ"_s), 0);
        QCOMPARE(whole(u"ABCテスト"_s, u"abc"_s), 0);
        // The long vowel mark belongs to the kana around it.
        QCOMPARE(whole(u"カード"_s, u"カ"_s), -1);
        QCOMPARE(whole(u"ｶｰﾄﾞ"_s, u"ｶｰ"_s), -1);
        QCOMPARE(whole(u"すーぱー"_s, u"す"_s), -1);
        // Kanji beyond the basic plane are kanji too.
        QCOMPARE(whole(u"𠮷野家"_s, u"野家"_s), -1);
        QCOMPARE(whole(u"𠮷のや"_s, u"𠮷"_s), 0);
    }

    void lineBreaksAreOneCharacterWhicheverWayTyped() {
        const QString text = u"<TR>"_s + kBreak + u"<TD>"_s + kBreak + u"x"_s;
        for (const QString& typed : {u"</TR>\r\n<TD>"_s, u"<TR>\n<TD>"_s, u"<TR>\r<TD>"_s}) {
            const QString what = QString(typed).remove(u'/');
            QCOMPARE(FirstAt(text, Options(what)), 0);
        }
        // A line break alone matches the whole break, never half of it.
        for (const QString& typed : {u"\r"_s, u"\n"_s, u"\r\n"_s}) {
            const auto m = find::FindForward(text, find::ToPaneText(typed), Options(typed), 0);
            QVERIFY(m);
            QCOMPARE(*m, (Match{4, 1}));
        }
    }

    void directionAndWrapAround() {
        // one two one two one
        const QString text = u"one two one two one"_s;
        const FindOptions down = Options(u"one"_s);
        const FindOptions up = Options(u"one"_s, false, false, false);
        // Down starts after the selection, up ends before it.
        QCOMPARE(find::FindNext(text, down, 0, 3), (Match{8, 3}));
        QCOMPARE(find::FindNext(text, down, 9, 9), (Match{16, 3}));
        QCOMPARE(find::FindNext(text, up, 8, 11), (Match{0, 3}));
        QCOMPARE(find::FindNext(text, up, 18, 18), (Match{8, 3}));
        // Past the end (or the start) the search wraps around.
        QCOMPARE(find::FindNext(text, down, 16, 19), (Match{0, 3}));
        QCOMPARE(find::FindNext(text, up, 0, 3), (Match{16, 3}));
        // The only match is found again from anywhere, itself included.
        const QString once = u"a <B> b"_s;
        QCOMPARE(find::FindNext(once, Options(u"<b>"_s), 2, 5), (Match{2, 3}));
        QCOMPARE(find::FindNext(once, Options(u"<b>"_s, false, false, false), 2, 5), (Match{2, 3}));
        // Nothing anywhere: nothing.
        QVERIFY(!find::FindNext(text, Options(u"three"_s), 0, 0));
        QVERIFY(!find::FindNext(text, Options(u""_s), 0, 0));
        QVERIFY(!find::FindNext(QString(), down, 0, 0));
    }

    void backwardSearchSkipsWordsThatAreNotWhole() {
        const QString text = u"TD TDX TD TDX"_s;
        const FindOptions up = Options(u"TD"_s, true, true, false);
        QCOMPARE(find::FindNext(text, up, 13, 13), (Match{7, 2}));
        QCOMPARE(find::FindNext(text, up, 7, 9), (Match{0, 2}));
    }

    void rawBytesDoNotStopTheSearch() {
        // A preserved raw byte 0x81 stands in the text as a lone surrogate.
        const QString text = u"<P>"_s + QChar(0xDC81) + u"abc</P>"_s + kBreak + u"</HTML>"_s;
        QCOMPARE(FirstAt(text, Options(u"</html>"_s)), 12);
        QCOMPARE(FirstAt(text, Options(u"ABC"_s, false, true)), 4); // the byte separates words
        // The raw byte itself can be searched for.
        QCOMPARE(FirstAt(text, Options(QString(QChar(0xDC81)) + u"a"_s, true)), 3);
        QCOMPARE(find::FindAll(text, Options(u"/"_s)).size(), 2);
        const QList<Match> backward = {
            *find::FindBackward(text, u"P"_s, Options(u"P"_s), text.size())};
        QCOMPARE(backward.first().start, 9);
    }

    void neverHalfOfASurrogatePair() {
        const QString text = u"x𠮷y"_s; // U+20BB7 is two UTF-16 units
        const QString low(text[2]);
        QCOMPARE(FirstAt(text, Options(low, true)), -1);
        QCOMPARE(FirstAt(text, Options(u"𠮷"_s)), 1);
    }

    void findAllAndReplaceSpan() {
        const QString text = u"aaaa <td>セル</td><TD>セル</TD>"_s;
        const QList<Match> pairs = find::FindAll(text, Options(u"aa"_s));
        QCOMPARE(pairs, (QList<Match>{{0, 2}, {2, 2}})); // none overlapping
        const QList<Match> cells = find::FindAll(text, Options(u"セル"_s));
        QCOMPARE(cells.size(), 2);
        QCOMPARE(find::ReplaceSpan(text, cells, u"項目"_s), u"項目</td><TD>項目"_s);
        const QList<Match> tags = find::FindAll(text, Options(u"td"_s, true));
        QCOMPARE(tags.size(), 2);
        QCOMPARE(find::ReplaceSpan(text, tags, u"TH"_s), u"TH>セル</TH"_s);
        QCOMPARE(find::ReplaceSpan(text, {}, u"x"_s), QString());
    }

    void characterClasses() {
        QCOMPARE(find::ClassOf(U'漢'), find::CharClass::Kanji);
        QCOMPARE(find::ClassOf(U'々'), find::CharClass::Kanji);
        QCOMPARE(find::ClassOf(U'か'), find::CharClass::Hiragana);
        QCOMPARE(find::ClassOf(U'カ'), find::CharClass::Katakana);
        QCOMPARE(find::ClassOf(U'ｶ'), find::CharClass::Katakana);
        QCOMPARE(find::ClassOf(U'ー'), find::CharClass::KanaMark);
        QCOMPARE(find::ClassOf(U'ﾞ'), find::CharClass::KanaMark);
        QCOMPARE(find::ClassOf(U'Ａ'), find::CharClass::Alphanumeric);
        QCOMPARE(find::ClassOf(U'7'), find::CharClass::Alphanumeric);
        QCOMPARE(find::ClassOf(U'é'), find::CharClass::Alphanumeric);
        QCOMPARE(find::ClassOf(U'、'), find::CharClass::Separator);
        QCOMPARE(find::ClassOf(U'<'), find::CharClass::Separator);
        QCOMPARE(find::ClassOf(0xDC81), find::CharClass::Separator);
        QVERIFY(find::IsWordBoundary(u"ab"_s, 0));
        QVERIFY(find::IsWordBoundary(u"ab"_s, 2));
        QVERIFY(!find::IsWordBoundary(u"ab"_s, 1));
        QVERIFY(find::IsWordBoundary(u"漢か"_s, 1));
    }
};

QTEST_APPLESS_MAIN(TestFindText)
#include "tst_findtext.moc"
