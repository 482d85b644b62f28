#include "doc/CEditorView.h"
#include "doc/PaneColouring.h"
#include "pane/HtmlLexer.h"
#include "pane/HtmlTheme.h"
#include "pane/LexStore.h"
#include "pane/TagMatch.h"

#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <climits>

using namespace Qt::StringLiterals;
using pane::HtmlClass;

namespace {

// One letter per character: '.' plain, t tag, a attribute name, v value,
// c comment, r character reference, d doctype, x CDATA, k/s/m script
// keyword/string/comment, S/M style string/comment.
constexpr char kLetters[] = ".tavcrdxksmSM";

QString Classes(const QString& line, const std::vector<pane::LexSpan>& spans) {
    QString out(line.size(), u'.');
    for (const pane::LexSpan& span : spans)
        for (int i = span.start; i < span.start + span.length; ++i)
            out[i] = QChar::fromLatin1(kLetters[int(span.cls)]);
    return out;
}

// The classes of each line of `text`, lines lexed whole, or when
// `piecewise` in pieces cut after each space and '>', as the pane cuts
// long lines.
QString LexLines(const QString& text, bool piecewise) {
    QStringList out;
    pane::LexState state;
    for (const QString& line : text.split(u'\n')) {
        std::vector<pane::LexSpan> spans;
        if (!piecewise) {
            state = pane::LexPiece(line, state, &spans);
        } else {
            for (int i = 0; i < line.size();) {
                int end = i + 1;
                while (end < line.size() && !QStringView(u" >").contains(line[end - 1]))
                    ++end;
                std::vector<pane::LexSpan> one;
                state = pane::LexPiece(QStringView(line).mid(i, end - i), state, &one);
                for (pane::LexSpan s : one)
                    spans.push_back({s.start + i, s.length, s.cls});
                i = end;
            }
        }
        out << Classes(line, spans);
        state = pane::AtLineBreak(state);
    }
    return out.join(u'\n');
}

// Lexes paragraphs from the store's mark to the end, as the pane does;
// how many it lexed.
int CatchUp(pane::CLexStore& store, const QStringList& lines, int most = INT_MAX) {
    int lexed = 0;
    while (store.ColouredUpTo() < store.Count() && lexed < most) {
        const int n = store.ColouredUpTo();
        store.Store(pane::AtLineBreak(pane::LexPiece(lines[n], store.StartOf(n), nullptr)));
        ++lexed;
    }
    return lexed;
}

// The first paragraph whose start state in `store` is not what a full pass
// over `lines` gives, or 0 when all agree.
int FirstDisagreement(const pane::CLexStore& store, const QStringList& lines) {
    pane::CLexStore fresh;
    fresh.Reset(int(lines.size()));
    CatchUp(fresh, lines);
    for (int i = 1; i <= int(lines.size()); ++i)
        if (!(store.StartOf(i) == fresh.StartOf(i)))
            return i;
    return 0;
}

} // namespace

class TestColouring : public QObject {
    Q_OBJECT

private slots:
    void lexer_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("classes");
        QTest::newRow("upper and lower case tags")
            << u"<DIV Class=\"a\">x</div>"_s << u"tttt.aaaaa.vvvt.tttttt"_s;
        QTest::newRow("unquoted values") << u"<p id=x1 b>"_s << u"tt.aa.vv.at"_s;
        QTest::newRow("unterminated comment colours on")
            << u"a<!-- b\nc -> d\ne --> f"_s << u".cccccc\ncccccc\nccccc.."_s;
        QTest::newRow("abrupt comment end") << u"<!-->x"_s << u"ccccc."_s;
        QTest::newRow("script with </ inside a string")
            << u"<script>var s=\"</b>\";</script>"_s << u"ttttttttkkk...ssssss.ttttttttt"_s;
        QTest::newRow("script line comment ends with its line")
            << u"<script>x // y\nif (a) {}\n</SCRIPT>"_s << u"tttttttt..mmmm\nkk.......\nttttttttt"_s;
        QTest::newRow("character references")
            << u"a&amp;b&#169;c & d"_s << u".rrrrr.rrrrrr....."_s;
        QTest::newRow("reference in a value")
            << u"<a href=\"?a=1&amp;b\">"_s << u"tt.aaaa.vvvvvrrrrrvvt"_s;
        QTest::newRow("doctype") << u"<!DOCTYPE html>x"_s << u"ddddddddddddddd."_s;
        QTest::newRow("CDATA") << u"<![CDATA[x<y]]>z"_s << u"xxxxxxxxxxxxxxx."_s;
        QTest::newRow("style with CSS comment and string")
            << u"<style>/* c */ a{b:\"q\"}</style>"_s << u"tttttttMMMMMMM.....SSS.tttttttt"_s;
        QTest::newRow("title is text with references")
            << u"<title>a<b>&lt;</TITLE>"_s << u"ttttttt....rrrrtttttttt"_s;
        QTest::newRow("processing instruction") << u"<?xml v?>"_s << u"ccccccccc"_s;
        QTest::newRow("raw byte and lone surrogate")
            << u"<b>\xDC80\xFFFD</b>"_s << u"ttt..tttt"_s;
        QTest::newRow("less-than not a tag") << u"a < b <3"_s << u"........"_s;
    }
    void lexer() {
        QFETCH(QString, text);
        QFETCH(QString, classes);
        QCOMPARE(LexLines(text, false), classes);
        QCOMPARE(LexLines(text, true), classes); // a line split anywhere lexes alike
    }

    void longLineIsCappedAndPiecesAgree() {
        const QString line = u"<b x=\"1\">"_s.repeated(3000); // 27,000 characters
        std::vector<pane::LexSpan> whole, first, second;
        pane::LexState end = pane::LexPiece(line, {}, &whole);
        QVERIFY(!whole.empty());
        const int colouredTo = whole.back().start + whole.back().length;
        QVERIFY(colouredTo <= int(pane::kLexCap) && colouredTo > int(pane::kLexCap) - 9);
        const pane::LexState mid = pane::LexPiece(QStringView(line).left(12000), {}, &first);
        QCOMPARE(pane::LexPiece(QStringView(line).mid(12000), mid, &second), end);
        QVERIFY(second.empty());
        QCOMPARE(first.size(), whole.size());
        QCOMPARE(pane::AtLineBreak(end).column, 0u);
    }

    void storeConverges_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("removed");
        QTest::addColumn<QStringList>("replacement");
        QTest::addColumn<int>("expectLexed");
        QTest::newRow("a key in the middle") << 500 << 1 << QStringList{u"<p>b</p>"_s} << 1;
        QTest::newRow("a line broken in three")
            << 500 << 1 << QStringList{u"<p"_s, u"class=x>"_s, u"b</p>"_s} << 3;
        QTest::newRow("comment opened, closed 20 lines on")
            << 0 << 1 << QStringList{u"<!--"_s} << 21;
        QTest::newRow("comment opened, never closed") << 30 << 1 << QStringList{u"<!--"_s} << 970;
        QTest::newRow("lines joined") << 700 << 2 << QStringList{u"<p>a</p>"_s} << 1;
    }
    void storeConverges() {
        QFETCH(int, line);
        QFETCH(int, removed);
        QFETCH(QStringList, replacement);
        QFETCH(int, expectLexed);
        QStringList lines(1000, u"<p>a</p>"_s);
        lines[20] = u"-->"_s;
        pane::CLexStore store;
        store.Reset(int(lines.size()));
        QCOMPARE(CatchUp(store, lines), 1000);
        for (int i = 0; i < removed; ++i)
            lines.removeAt(line);
        for (int i = 0; i < replacement.size(); ++i)
            lines.insert(line + i, replacement[i]);
        store.Replace(line, removed, int(replacement.size()));
        QCOMPARE(store.Count(), int(lines.size()));
        QCOMPARE(CatchUp(store, lines), expectLexed);
        QCOMPARE(FirstDisagreement(store, lines), 0); // the ends are those a full pass makes
    }

    // A key typed behind a cascade still going on (after a load, or after
    // "<!--"): the cascade goes on from where it was, and every end comes
    // out as a full pass makes it.
    void storeEditBehindCascade_data() {
        QTest::addColumn<int>("opened"); // where "<!--" was typed, or -1: just loaded
        QTest::addColumn<int>("lexedBefore");
        QTest::addColumn<int>("expectLexed");
        QTest::newRow("while a load is lexed") << -1 << 600 << 401;
        QTest::newRow("while a comment cascades") << 10 << 200 << 791;
    }
    void storeEditBehindCascade() {
        QFETCH(int, opened);
        QFETCH(int, lexedBefore);
        QFETCH(int, expectLexed);
        QStringList lines(1000, u"<p>a</p>"_s);
        pane::CLexStore store;
        if (opened >= 0) {
            store.Reset(int(lines.size()));
            CatchUp(store, lines);
            lines[opened] = u"<!--"_s;
            store.Replace(opened, 1, 1);
        } else { // as a load appends to the first paragraph
            store.Reset(1);
            store.Store(pane::LexState{});
            store.Replace(0, 1, int(lines.size()));
        }
        QCOMPARE(CatchUp(store, lines, lexedBefore), lexedBefore);
        const int key = store.ColouredUpTo() / 2;
        lines[key] = u"<p>b</p>"_s;
        store.Replace(key, 1, 1);
        QCOMPARE(CatchUp(store, lines), expectLexed);
        QCOMPARE(FirstDisagreement(store, lines), 0);
    }

    // Colours go on the layouts of the paragraphs painted, never into the
    // text: no change is signalled, nothing becomes modified or undoable.
    void paneColoursOnlyTheScreen() {
        CEditorView view;
        view.resize(400, 200);
        QStringList lines(2000, u"<p class=\"a\">x &amp; y</p>"_s);
        view.SetWholeText(lines.join(u'\n'));
        QSignalSpy changes(view.document(), &QTextDocument::contentsChange);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.grab();
        QCOMPARE(changes.count(), 0);
        QVERIFY(!view.document()->isModified());
        QVERIFY(!view.document()->isUndoAvailable());
        QVERIFY(!view.document()->firstBlock().layout()->formats().isEmpty());
        QVERIFY(view.document()->lastBlock().layout()->formats().isEmpty()); // never shown
        QVERIFY(view.Colouring()->LexedParagraphs() < 200);
        view.Colouring()->SetEnabled(false);
        view.grab();
        QVERIFY(view.document()->firstBlock().layout()->formats().isEmpty());
        QCOMPARE(changes.count(), 0);
    }

    void themeReadsOnTheBackground() {
        QSet<QRgb> seen;
        for (int i = 1; i < int(HtmlClass::Count); ++i) {
            const QColor colour = pane::ThemeColour(HtmlClass(i));
            QVERIFY2(pane::ContrastRatio(colour, pane::ThemeBackground()) >= 4.5, qPrintable(colour.name()));
            seen.insert(colour.rgb());
        }
        QCOMPARE(seen.size(), int(HtmlClass::Count) - 1);
        QCOMPARE(pane::ContrastRatio(Qt::black, Qt::white), 21.0);
    }

    void matchingTag_data() {
        QTest::addColumn<QString>("text"); // '|' is the caret
        QTest::addColumn<int>("partner"); // -1: none
        QTest::newRow("end tag, nested") << u"<div><div>x</div></d|iv>"_s << 1;
        QTest::newRow("start tag, nested") << u"<d|iv><div>x</div></div>"_s << 19;
        QTest::newRow("caret after the name") << u"<div|><div>x</div></div>"_s << 19;
        QTest::newRow("upper and lower case") << u"<DIV>x</d|iv>"_s << 1;
        QTest::newRow("comment and void skipped")
            << u"<ul><li>a<br>b</li><!-- </ul> --></u|l>"_s << 1;
        QTest::newRow("script text skipped") << u"<p|><script>'</p>'</script></p>"_s << 28;
        QTest::newRow("void element") << u"<IM|G src=x>"_s << -1;
        QTest::newRow("no partner") << u"<p|>a"_s << -1;
        QTest::newRow("not in a tag") << u"<p>a|b</p>"_s << -1;
        QTest::newRow("attribute, not name") << u"<p cla|ss=x></p>"_s << -1;
    }
    void matchingTag() {
        QFETCH(QString, text);
        QFETCH(int, partner);
        const qsizetype caret = text.indexOf(u'|');
        text.remove(caret, 1);
        const auto found = pane::FindMatchingTag(text, caret);
        QCOMPARE(found ? int(found->partner) : -1, partner);
        if (found)
            QCOMPARE(text.mid(found->partner, found->partnerLength).toLower(),
                     text.mid(found->at, found->atLength).toLower());
    }

    // A partner beyond the text looked at on each key is found all the same,
    // once the caret rests; one further than the reach is not.
    void matchingTagFarAway_data() {
        QTest::addColumn<int>("between");
        QTest::addColumn<int>("marks");
        QTest::newRow("near") << 100 << 2;
        QTest::newRow("far") << 100 * 1000 << 2;
        QTest::newRow("out of reach") << int(2 * pane::kTagMatchReach) << 0;
    }
    void matchingTagFarAway() {
        QFETCH(int, between);
        QFETCH(int, marks);
        CEditorView view;
        view.SetWholeText(u"<div>\n"_s + QStringList(between / 10, u"<p>a</p>x"_s).join(u'\n') +
                          u"\n</div>"_s);
        QTextCursor caret(view.document());
        caret.setPosition(2);
        view.setTextCursor(caret);
        if (marks == 0)
            QTest::qWait(100);
        QTRY_COMPARE(view.extraSelections().size(), marks);
        if (marks)
            QCOMPARE(view.extraSelections().last().cursor.selectedText(), u"div"_s);
    }

    // Text being composed keeps the input method's marks, the colours go
    // around it, and they come back whole when the composition is dropped.
    void inputMethodTextKeepsItsMarks() {
        CEditorView view;
        view.resize(400, 200);
        view.SetWholeText(u"<p class=\"a\">x &amp; y</p>"_s);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTextCursor caret(view.document());
        caret.setPosition(16); // in "&amp;", at 15
        view.setTextCursor(caret);
        view.grab();
        const QTextLayout* layout = view.document()->firstBlock().layout();
        const auto formats = layout->formats();
        const auto at = [&](int position) {
            for (const QTextLayout::FormatRange& r : layout->formats())
                if (r.start <= position && position < r.start + r.length && r.format.hasProperty(QTextFormat::ForegroundBrush))
                    return r.format.foreground().color();
            return QColor();
        };
        const QColor reference = at(15), tag = at(1);
        QVERIFY(reference.isValid() && reference != tag);

        QTextCharFormat underline;
        underline.setFontUnderline(true);
        QInputMethodEvent composing(u"かな"_s, {{QInputMethodEvent::TextFormat, 0, 2, underline}});
        QCoreApplication::sendEvent(&view, &composing);
        view.grab();
        bool marked = false;
        for (const QTextLayout::FormatRange& r : layout->formats())
            marked |= r.start == 16 && r.length == 2 && r.format.fontUnderline();
        QVERIFY(marked);
        QCOMPARE(at(15), reference);
        QCOMPARE(at(19), reference); // "amp;" after the two composed characters
        QCOMPARE(at(25), tag);       // "</p>"

        QInputMethodEvent dropped;
        QCoreApplication::sendEvent(&view, &dropped);
        view.grab();
        QCOMPARE(layout->formats(), formats);
        QVERIFY(!view.document()->isModified());
    }
};

QTEST_MAIN(TestColouring)
#include "tst_colouring.moc"
