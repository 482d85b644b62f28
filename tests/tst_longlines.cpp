#include "app/Platform.h"
#include "pane/BlockTextCache.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "doc/PaneColouring.h"
#include "pane/PaneBytes.h"
#include "pane/PaneText.h"
#include "find/FindReplace.h"
#include "io/CodePage932.h"
#include "support/TestSupport.h"
#include "tags/TagCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

using namespace Qt::StringLiterals;
using testing::ReadBytes;
using testing::WriteBytes;

namespace {

constexpr int kSplit = CEditorView::kSplitLength;

// One cell: a number that makes it unique, Japanese, half-width katakana and
// raw bytes (0x80 0x80 0xFD are no Shift-JIS), no space.
QByteArray Cell(int n) {
    return "<TD>n" + QByteArray::number(n).rightJustified(5, '0') +
           "\x93\xfa\x96\x7b\xc3\xbd\x80\x80\xfd</TD>";
}

// A line of some 13,000 characters: cells, a run of one letter and a run of
// raw bytes, neither with anywhere to break.
QByteArray LongLine() {
    QByteArray line;
    for (int n = 0; n < 200; ++n)
        line += Cell(n);
    line += QByteArray(3000, 'a');
    line += QByteArray(2500, '\x80');
    for (int n = 200; n < 300; ++n)
        line += Cell(n);
    return line;
}

QByteArray Page() { return "<HTML>\r\n" + LongLine() + "\r\n<P>end</P>\r\n"; }

// Enough lines for the pane to let short ones share paragraphs, sixteen or
// more to one: tags, Japanese, raw bytes, empty lines, now and then a line
// just short enough to be gathered or too long for it, and a long line
// among them; `lineEnd` after each.
QByteArray SharedPage(const QByteArray& lineEnd = "\r\n") {
    QByteArray page;
    for (int n = 0; n < CEditorView::kGroupFrom + 300; ++n) {
        switch (n % 7) {
        case 0: page += Cell(n); break;
        case 1: break;
        case 2: page += "<P>\x93\xfa\x96\x7b\x8c\xea \xc3\xbd\xc4 " + QByteArray::number(n); break;
        case 3: page += "\x80\xfd\x81"; break;
        case 4: page += n % 70 == 4 ? QByteArray(kSplit / 2 - 1, 'h') : QByteArray("<BR>"); break;
        case 5: page += n % 700 == 5 ? QByteArray(kSplit - 1, 'w') : QByteArray("<HR>"); break;
        default: page += n == 3002 ? LongLine() : QByteArray("</P>"); break;
        }
        page += lineEnd;
    }
    return page;
}

// The text the pane holds for `bytes`: line breaks as U+2029.
QString TextOf(const QByteArray& bytes) {
    return cp932::Decode(bytes).replace(u"\r\n"_s, QString(QChar::ParagraphSeparator));
}

void NoBeep() {}

// Where two texts part, for the failure message.
QString Difference(const QString& actual, const QString& expected) {
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    if (i == actual.size() && i == expected.size())
        return u"same"_s;
    return u"at %1 of %2/%3: ...%4 | %5"_s.arg(i).arg(actual.size()).arg(expected.size())
        .arg(actual.mid(std::max<qsizetype>(0, i - 10), 30), expected.mid(std::max<qsizetype>(0, i - 10), 30));
}

} // namespace

// A line longer than the pane's paragraphs: the text stays exactly what the
// file holds and what the user typed, whatever the pane does inside.
class TestLongLines : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<testing::ScopedSettings> settings;
    std::unique_ptr<testing::FakeUi> ui;
    std::unique_ptr<CEditorDoc> doc;
    std::unique_ptr<CEditorView> view;

    QString Path(const QString& name) const { return dir.filePath(name); }

    CEditorView* View() const { return view.get(); }

    void Open(const QByteArray& bytes) {
        WriteBytes(Path(u"page.html"_s), bytes);
        QVERIFY((testing::Load(*doc, Path(u"page.html"_s)) == CDocumentLoad::Result::Loaded));
    }

    QByteArray Saved() {
        const QString path = Path(u"saved.html"_s);
        if (!doc->OnSaveDocument(path))
            return "(not saved)";
        return ReadBytes(path);
    }

    void CaretAt(qsizetype textPosition) {
        QTextCursor c = view->textCursor();
        c.setPosition(view->PanePosition(textPosition));
        view->setTextCursor(c);
    }
    qsizetype Caret() const { return view->TextPosition(view->textCursor().position()); }

    // Text positions where the pane splits the long line.
    QList<qsizetype> Splits() const {
        QList<qsizetype> splits;
        QTextBlock b = view->document()->begin();
        for (; b.isValid(); b = b.next()) {
            const qsizetype at = view->TextPosition(b.position());
            if (b.position() > 0 && view->TextPosition(b.position() - 1) == at)
                splits << at;
        }
        return splits;
    }

    // Every paragraph of the pane stays short.
    bool ParagraphsShort() const {
        for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next())
            if (b.length() - 1 > CEditorView::kMaxParagraphLength)
                return false;
        return true;
    }

private slots:
    void initTestCase() {
        platform::Initialize();
        find::SetBeep(&NoBeep);
    }

    void init() {
        settings = std::make_unique<testing::ScopedSettings>();
        ui = std::make_unique<testing::FakeUi>();
        doc = std::make_unique<CEditorDoc>();
        view = std::make_unique<CEditorView>();
        view->resize(600, 400);
        doc->SetView(view.get());
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    void cleanup() {
        doc.reset();
        view.reset();
        ui.reset();
        settings.reset();
    }

    void cutsKeepPairsAndPreferBreaks() {
        // A surrogate pair and a pair of raw bytes straddle every natural cut.
        QString line;
        while (line.size() < 5 * kSplit)
            line += u"x\U0001F600\xDC80\xDC81"_s;
        for (const qsizetype cut : LongLineCuts(line)) {
            QVERIFY(!(line[cut - 1].isHighSurrogate() && line[cut].isLowSurrogate()));
            QVERIFY(!(line[cut - 1].isLowSurrogate() && line[cut].isLowSurrogate()));
        }
        // After a tag's '>' when there is one near the end of a piece.
        const QString tags = QString(kSplit - 100, u'a') + u"<B>"_s + QString(kSplit, u'b');
        QCOMPARE(LongLineCuts(tags).front(), qsizetype(kSplit - 100 + 3));
        // Pieces never exceed the length, and the last one is left over.
        const QString plain(3 * kSplit + 1, u'a');
        qsizetype start = 0;
        for (const qsizetype cut : LongLineCuts(plain)) {
            QVERIFY(cut - start <= kSplit && cut > start);
            start = cut;
        }
        QVERIFY(plain.size() - start <= kSplit);
        QVERIFY(LongLineCuts(QString(kSplit, u'a')).empty());
    }

    void onlyLinesLongerThanTheLimitAreSplit() {
        const QByteArray limit(CEditorView::kMaxParagraphLength, 'a');
        Open(limit + "\r\n" + limit + "b");
        QCOMPARE(view->document()->blockCount(), 4);
        QCOMPARE(Splits().size(), 2);
        QCOMPARE(Saved(), limit + "\r\n" + limit + "b");
    }

    void openAndSaveGiveTheSameBytes() {
        Open(Page());
        QVERIFY(Splits().size() >= 5); // the long line is held in pieces
        QVERIFY(ParagraphsShort());
        QCOMPARE(view->GetWholeText(), TextOf(Page()));
        QCOMPARE(Saved(), Page());
        // Select all gives the same text, with the file's line breaks.
        view->selectAll();
        QCOMPARE(view->GetSelectedText(), cp932::Decode(Page()));
    }

    void aSaveInPiecesWritesTheWholeText() {
        // Pieces cut inside the long line (between its paragraphs or not)
        // and between lines give, together, the text and the bytes of the
        // whole; each piece reads back alone as it does within the whole.
        Open(Page() + "<P>\x81 A</P>\r\n");
        // A stray lead byte that the next character joins once the space
        // between them is gone, and a character Shift-JIS cannot hold, both
        // on the long line's last stretch.
        QString expected = TextOf(Page() + "<P>\x81 A</P>\r\n");
        const qsizetype space = expected.lastIndexOf(u"\xDC81 A"_s) + 1;
        CaretAt(space);
        QTest::keyClick(View(), Qt::Key_Delete);
        expected.remove(space, 1);
        const qsizetype lastSplit = Splits().constLast();
        CaretAt(lastSplit + 3);
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, u"\U0001F600"_s);
        QApplication::sendEvent(View(), &typed);
        expected.insert(lastSplit + 3, u"\U0001F600"_s);
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);

        const io::TextFormat format = doc->TextFormat();
        const QByteArray whole = cp932::Encode(expected, format);
        CPaneBytes one(&View()->Model(), format, 1 << 30);
        const SaveCheck wholeCheck = CheckSaveText([&one] { return one.NextText(); }, format);
        QVERIFY(wholeCheck.firstUnencodable && wholeCheck.roundTripDifference);
        QCOMPARE(wholeCheck.unencodableCount, 1);
        QCOMPARE(wholeCheck.roundTripDifference->line, 4);

        for (const qsizetype length : {1, 7, 300, kSplit, 3 * kSplit + 5}) {
            CPaneBytes source(&View()->Model(), format, length);
            QString text;
            int pieces = 0;
            for (QString piece = source.NextText(); !piece.isEmpty(); piece = source.NextText()) {
                // Each piece but the first starts at a line break or after a
                // character below U+0040.
                if (!text.isEmpty())
                    QVERIFY2(piece.front() == QChar::ParagraphSeparator || text.back().unicode() < 0x40,
                             qPrintable(u"piece %1 of length %2"_s.arg(pieces).arg(length)));
                text += piece;
                ++pieces;
            }
            QCOMPARE(Difference(text, expected), u"same"_s);
            QVERIFY2(pieces >= 3, qPrintable(QString::number(length) + u" gives "_s + QString::number(pieces)));
            QByteArray bytes;
            QString readBack;
            source.Rewind();
            for (QByteArrayView piece = source.Next(); !piece.isEmpty(); piece = source.Next()) {
                bytes += piece;
                readBack += cp932::Decode(piece);
            }
            QVERIFY(bytes == whole);
            QCOMPARE(readBack, cp932::Decode(whole));

            source.Rewind();
            const SaveCheck check = CheckSaveText([&source] { return source.NextText(); }, format);
            QCOMPARE(check.unencodableCount, wholeCheck.unencodableCount);
            QCOMPARE(check.firstUnencodable->line, wholeCheck.firstUnencodable->line);
            QCOMPARE(check.firstUnencodable->character, u"\U0001F600"_s);
            QCOMPARE(check.roundTripDifference->line, wholeCheck.roundTripDifference->line);
            QCOMPARE(check.roundTripDifference->column, wholeCheck.roundTripDifference->column);
        }
        // The save asks about both and writes what the pieces gave.
        ui->writeReferences = true;
        ui->writeAnyway = true;
        QCOMPARE(Saved(), whole);
    }

    void typingInsideTheLongLine() {
        Open(Page());
        QString expected = TextOf(Page());
        const qsizetype split = Splits().at(2);
        // Right at a split and just before one.
        for (const qsizetype at : {split, split - 1, qsizetype(100)}) {
            CaretAt(at);
            QTest::keyClicks(View(), u"xy"_s);
            expected.insert(at, u"xy"_s);
            QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        }
        // A long stretch of typing in one piece keeps the pieces short.
        CaretAt(split + 10);
        const QString many(2 * kSplit + 10, u'k');
        QTest::keyClicks(View(), many);
        expected.insert(split + 10, many);
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        QVERIFY(ParagraphsShort());
        QCOMPARE(Saved(), cp932::Encode(expected));
    }

    void enterMakesOneLineBreak() {
        Open(Page());
        QString expected = TextOf(Page());
        const qsizetype split = Splits().at(3);
        for (const qsizetype at : {split + 5, split}) {
            CaretAt(at);
            QTest::keyClick(View(), Qt::Key_Return);
            expected.insert(at, QChar::ParagraphSeparator);
            QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
            QCOMPARE(Caret(), at + 1);
        }
        QTest::keyClicks(View(), u"z"_s);
        expected.insert(split + 1, u'z');
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
    }

    void theSplitIsNoCharacterToTheKeys() {
        Open(Page());
        QString expected = TextOf(Page());
        const qsizetype split = Splits().at(1);
        // The caret moves one character per key across the split.
        CaretAt(split - 1);
        QTest::keyClick(View(), Qt::Key_Right);
        QCOMPARE(Caret(), split);
        QTest::keyClick(View(), Qt::Key_Right);
        QCOMPARE(Caret(), split + 1);
        QTest::keyClick(View(), Qt::Key_Left);
        QTest::keyClick(View(), Qt::Key_Left);
        QCOMPARE(Caret(), split - 1);
        // Shift+Right selects the character after the split.
        CaretAt(split);
        QTest::keyClick(View(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(view->GetSelectedText(), expected.mid(split, 1));
        // Backspace and Delete at the split remove the characters beside it,
        // from either side of the separator inside.
        for (const int side : {0, 1}) {
            const qsizetype at = Splits().at(1);
            QTextCursor c = view->textCursor();
            c.setPosition(view->PanePosition(at) + side);
            view->setTextCursor(c);
            QTest::keyClick(View(), Qt::Key_Backspace);
            expected.remove(at - 1, 1);
            QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
            c.setPosition(view->PanePosition(at - 1) + 1 - side);
            view->setTextCursor(c);
            QTest::keyClick(View(), Qt::Key_Delete);
            expected.remove(at - 1, 1);
            QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        }
        // Overwrite mode at the split replaces the character after it.
        const qsizetype at = Splits().at(1);
        CaretAt(at);
        view->setOverwriteMode(true);
        QTest::keyClicks(View(), u"#"_s);
        view->setOverwriteMode(false);
        expected.replace(at, 1, u"#"_s);
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        // Deleting a whole piece leaves no empty paragraph behind.
        const QList<qsizetype> splits = Splits();
        testing::Select(View(), int(splits.at(2)), int(splits.at(3)));
        QTest::keyClick(View(), Qt::Key_Delete);
        expected.remove(splits.at(2), splits.at(3) - splits.at(2));
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() > 1 || b.blockNumber() > 0);
        QCOMPARE(Saved(), cp932::Encode(expected));
    }

    void removingAcrossSplitsAndLines() {
        // Selections from the start of a piece or of a line to inside another
        // piece or line: the line breaks before and after stay as they were.
        const QByteArray bytes = "<P>\r\n" + LongLine() + "\r\n" + LongLine() + "\r\n<P>";
        QString expected = TextOf(bytes);
        Open(bytes);
        // Pane positions: the start of each paragraph.
        auto start = [this](int paragraph) {
            return view->document()->findBlockByNumber(paragraph).position();
        };
        auto remove = [&](int paneFrom, int paneTo) {
            const qsizetype from = view->TextPosition(paneFrom), to = view->TextPosition(paneTo);
            QTextCursor c = view->textCursor();
            c.setPosition(paneFrom);
            c.setPosition(paneTo, QTextCursor::KeepAnchor);
            view->setTextCursor(c);
            QCOMPARE(view->GetSelectedText(), expected.mid(from, to - from).replace(
                                                  QChar::ParagraphSeparator, u"\r\n"_s));
            QTest::keyClick(View(), Qt::Key_Delete);
            expected.remove(from, to - from);
            QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        };
        const int second = view->document()->findBlock(
            view->PanePosition(expected.indexOf(QChar::ParagraphSeparator, 5) + 1)).blockNumber();
        QVERIFY(second > 3);
        remove(start(second), start(second + 1) + 10);   // line start into its second piece
        remove(start(second - 1), start(second) + 3);    // piece start into the next line
        remove(start(2), start(3) + 7);                  // piece start into the next piece
        remove(start(3) - 4, start(4) + 2);              // inside a piece across a split
        remove(start(1), start(2) + 1);                  // line start to just after a split
        remove(start(2), start(3) - 1);                  // a whole piece
        // Typed over a selection that ends in the next line.
        const qsizetype from = Splits().at(1), to = expected.lastIndexOf(u"<P>"_s) + 1;
        testing::Select(View(), int(from), int(to));
        QTest::keyClicks(View(), u"Q"_s);
        expected.replace(from, to - from, u"Q"_s);
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        QCOMPARE(Saved(), cp932::Encode(expected));
    }

    void undoAndRedoAcrossSplits() {
        Open(Page());
        const QString original = view->GetWholeText();
        QStringList states{original};
        const QList<qsizetype> splits = Splits();
        CaretAt(splits.at(1));
        QTest::keyClicks(View(), u"typed"_s);
        states << view->GetWholeText();
        testing::Select(View(), int(splits.at(2)) - 3, int(splits.at(3)) + 3);
        QTest::keyClick(View(), Qt::Key_Backspace);
        states << view->GetWholeText();
        CaretAt(splits.at(0));
        QTest::keyClick(View(), Qt::Key_Return);
        states << view->GetWholeText();
        // Pasted into a piece that grows too long: the piece is cut again.
        QGuiApplication::clipboard()->setText(QString(2 * kSplit + 1, u'u'));
        CaretAt(10);
        view->paste();
        states << view->GetWholeText();
        testing::Select(View(), int(Splits().at(2)) - 1, int(Splits().at(2)) + 1);
        QTest::keyClicks(View(), u"over"_s);
        states << view->GetWholeText();
        for (qsizetype i = states.size() - 1; i > 0; --i) {
            QCOMPARE(Difference(view->GetWholeText(), states.at(i)), u"same"_s);
            view->undo();
        }
        QCOMPARE(view->GetWholeText(), original);
        QVERIFY(!view->document()->isUndoAvailable());
        for (qsizetype i = 1; i < states.size(); ++i) {
            view->redo();
            QCOMPARE(Difference(view->GetWholeText(), states.at(i)), u"same"_s);
        }
        QVERIFY(ParagraphsShort());
        QCOMPARE(Saved(), cp932::Encode(states.last()));
    }

    void wrapCommandOverTheWholeText() {
        Open(Page());
        view->selectAll();
        CTagCommands(*view).OnBold();
        QCOMPARE(view->GetWholeText(), u"<B>"_s + TextOf(Page()) + u"</B>"_s);
        QCOMPARE(Saved(), "<B>" + Page() + "</B>");
        // Wrapping a part that crosses a split.
        Open(Page());
        const qsizetype split = Splits().at(2);
        testing::Select(View(), int(split) - 2, int(split) + 2);
        CTagCommands(*view).OnItalic();
        QString expected = TextOf(Page());
        expected.insert(split + 2, u"</I>"_s).insert(split - 2, u"<I>"_s);
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        QVERIFY(ParagraphsShort());
    }

    void findAndReplaceAcrossSplits() {
        Open(Page());
        QString expected = TextOf(Page());
        const qsizetype split = Splits().at(1);
        // A match that straddles a split is found, selected and replaced.
        const QString needle = expected.mid(split - 18, 24);
        QCOMPARE(expected.count(needle), 1);
        find::FindOptions options;
        options.what = needle;
        options.matchCase = true;
        CaretAt(0);
        QVERIFY(find::FindNextInView(View(), options));
        QCOMPARE(view->TextPosition(view->textCursor().selectionStart()), split - 18);
        QCOMPARE(view->GetSelectedText(), needle);
        QVERIFY(!find::ReplaceInView(View(), options, u"<REPLACED>"_s));
        expected.replace(split - 18, 24, u"<REPLACED>"_s);
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        // Every match, many of them across splits, in one undo step.
        options.what = u"</TD><TD>"_s;
        const qsizetype count = expected.count(options.what);
        QCOMPARE(find::ReplaceAllInView(View(), options, u"|\r\n|"_s), count);
        const QString replaced =
            QString(expected).replace(options.what, u"|"_s + QChar::ParagraphSeparator + u"|"_s);
        QCOMPARE(view->GetWholeText(), replaced);
        QCOMPARE(Saved(), cp932::Encode(replaced));
        view->undo();
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
    }

    void pastedLongTextIsCutToo() {
        Open("<P></P>");
        const QString line = cp932::Decode(LongLine());
        QGuiApplication::clipboard()->setText(u"a\n"_s + line + u"\nb"_s);
        CaretAt(3);
        view->paste();
        QVERIFY(ParagraphsShort());
        QCOMPARE(view->GetWholeText(), u"<P>a\u2029"_s + line + u"\u2029b</P>"_s);
        view->undo();
        QCOMPARE(view->GetWholeText(), u"<P></P>"_s);
    }

    void randomEditsKeepTheText_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("long lines") << "<P>\r\n" + LongLine() + "\r\n" + LongLine() + "\r\n</P>";
        QTest::newRow("shared lines") << SharedPage();
    }

    void randomEditsKeepTheText() {
        // Random selections anywhere in the pane, either side of a split
        // or of an inner line break included, edited with the keys and
        // paste; the text always equals the same edits made to a plain
        // string, and undo and redo go all the way back and forth.
        QFETCH(QByteArray, page);
        Open(page);
        const QString original = view->GetWholeText();
        QString expected = original;
        QRandomGenerator random(20261208);
        const QString pasted = u"<BR>\n"_s + QString(3 * kSplit, u'p') + u"\n<BR>"_s;
        for (int step = 0; step < 300; ++step) {
            const int count = view->document()->characterCount() - 1;
            const int a = int(random.bounded(count + 1));
            const int b = std::min(count, a + int(random.bounded(2 * kSplit)));
            const int kind = int(random.bounded(6));
            QTextCursor c = view->textCursor();
            c.setPosition(a);
            if (kind < 4)
                c.setPosition(b, QTextCursor::KeepAnchor);
            view->setTextCursor(c);
            const qsizetype from = view->TextPosition(a), to = view->TextPosition(c.position());
            switch (kind) {
            case 0:
                QTest::keyClick(View(), Qt::Key_Delete);
                expected.remove(from, to - from);
                break;
            case 1:
                QTest::keyClicks(View(), u"ty"_s);
                expected.replace(from, to - from, u"ty"_s);
                break;
            case 2:
                QTest::keyClick(View(), Qt::Key_Return);
                expected.replace(from, to - from, QChar::ParagraphSeparator);
                break;
            case 3:
                QGuiApplication::clipboard()->setText(pasted);
                view->paste();
                expected.replace(from, to - from,
                                 QString(pasted).replace(u'\n', QChar::ParagraphSeparator));
                break;
            default:
                QTest::keyClick(View(), Qt::Key_Backspace);
                if (from > 0)
                    expected.remove(from - 1, 1);
                break;
            }
            QVERIFY2(view->GetWholeText() == expected,
                     qPrintable(u"step %1 kind %2: "_s.arg(step).arg(kind) +
                                Difference(view->GetWholeText(), expected)));
            QVERIFY(ParagraphsShort());
        }
        while (view->document()->isUndoAvailable())
            view->undo();
        QCOMPARE(Difference(view->GetWholeText(), original), u"same"_s);
        while (view->document()->isRedoAvailable())
            view->redo();
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        QCOMPARE(Saved(), cp932::Encode(expected));
    }

    void scrollBarAsNeededAroundAManyLineText() {
        // The bar a long text needs is there at once, and goes with it.
        Open("<P>");
        QVERIFY(!view->verticalScrollBar()->isVisible());
        Open(QByteArray(5000, '\n'));
        QVERIFY(view->verticalScrollBar()->isVisible());
        QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        Open("<P>");
        QApplication::processEvents();
        QVERIFY(!view->verticalScrollBar()->isVisible());
    }

    void sharedLinesComeBackByteForByte_data() {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }

    void sharedLinesComeBackByteForByte() {
        QFETCH(QByteArray, lineEnd);
        const QByteArray page = SharedPage(lineEnd);
        const qsizetype lines = page.count(lineEnd);
        Open(page);
        QVERIFY(view->document()->blockCount() < lines / 2);
        QVERIFY(ParagraphsShort());
        QString text = cp932::Decode(page).replace(QString::fromLatin1(lineEnd),
                                                   QString(QChar::ParagraphSeparator));
        QCOMPARE(Difference(view->GetWholeText(), text), u"same"_s);
        // Saved, and in the journal's paragraph texts.
        QCOMPARE(Saved(), page);
        QCOMPARE(Difference(CBlockTextCache::Join(view->BlockTexts().Blocks(), view->SplitPositions()),
                            text),
                 u"same"_s);
        // Until laid out, a paragraph counts a screen line per file line.
        QVERIFY(view->document()->lineCount() >= lines);
        view->resize(view->width() - 40, view->height());
        QVERIFY(view->document()->lineCount() >= lines);
        // Copied as the file has it, over shared lines, the long line and its
        // splits.
        const int longLine = int(text.indexOf(cp932::Decode(LongLine())));
        testing::Select(View(), longLine - 3000, longLine + 20000);
        view->copy();
        QCOMPARE(Difference(QGuiApplication::clipboard()->text(),
                            text.mid(longLine - 3000, 23000).replace(QChar::ParagraphSeparator, u'\n')),
                 u"same"_s);
        // Wrapped as a whole.
        view->selectAll();
        CTagCommands(*view).OnBold();
        QCOMPARE(Saved(), "<B>" + page + "</B>");
        // The save's question names the file line of a character it cannot write.
        CaretAt(text.indexOf(u"<TD>n05005"_s) + 3);
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, u"\U0001F600"_s);
        QApplication::sendEvent(View(), &typed);
        CPaneBytes pieces(&View()->Model(), doc->TextFormat(), 4096);
        const SaveCheck check = CheckSaveText([&pieces] { return pieces.NextText(); }, doc->TextFormat());
        QVERIFY(check.firstUnencodable);
        QCOMPARE(check.firstUnencodable->line, 5006);
    }

    void aSharedParagraphThatGrowsIsPartedAtItsLines() {
        Open(SharedPage());
        const QString original = view->GetWholeText();
        // The paragraph holding the 42nd line, and a text of a line that
        // makes it too long and a long line pasted in the middle of it.
        QTextBlock shared = view->document()->findBlock(view->PanePosition(
            original.indexOf(u"n00042"_s)));
        QVERIFY(shared.text().count(QChar::LineSeparator) >= 2);
        const int middle = shared.position() + shared.text().indexOf(QChar::LineSeparator) + 2;
        const QString pasted =
            QString(CEditorView::kMaxParagraphLength - 1, u'p') + u"\n"_s + QString(3 * kSplit, u'q');
        CaretAt(view->TextPosition(middle));
        QGuiApplication::clipboard()->setText(pasted);
        view->paste();
        QVERIFY(ParagraphsShort());
        QString expected = original;
        expected.insert(view->TextPosition(middle),
                        QString(pasted).replace(u'\n', QChar::ParagraphSeparator));
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
        QCOMPARE(Caret(), view->TextPosition(middle) + pasted.size());
        // The lines before it stand in paragraphs of their own now.
        const QTextBlock at = view->document()->findBlock(middle);
        QVERIFY(at.text().endsWith(QString(CEditorView::kMaxParagraphLength - 1, u'p')));
        QVERIFY(!at.text().contains(QChar::LineSeparator));
        QVERIFY(!at.previous().text().contains(QChar::LineSeparator));
        QCOMPARE(Saved(), cp932::Encode(expected));
        view->undo();
        QCOMPARE(Difference(view->GetWholeText(), original), u"same"_s);
        view->redo();
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
    }

    void pastedManyLinesShareParagraphs() {
        Open("<P></P>");
        QStringList lines;
        for (int n = 0; n < CEditorView::kGroupFrom + 100; ++n)
            lines << u"<LI>%1"_s.arg(n);
        QGuiApplication::clipboard()->setText(lines.join(u'\n'));
        CaretAt(3);
        view->paste();
        QVERIFY(view->document()->blockCount() < lines.size() / 2);
        QCOMPARE(view->GetWholeText(),
                 u"<P>"_s + lines.join(QChar::ParagraphSeparator) + u"</P>"_s);
        QVERIFY(view->document()->lineCount() >= lines.size());
        view->undo();
        QCOMPARE(view->GetWholeText(), u"<P></P>"_s);
    }

    void findAndReplaceAcrossSharedLines() {
        // Every empty line's break, over inner line breaks, in one undo step.
        Open(SharedPage());
        const QString expected = view->GetWholeText();
        find::FindOptions options;
        options.what = u"\r\n\r\n"_s;
        const QString twoBreaks = QString(2, QChar::ParagraphSeparator);
        const qsizetype count = expected.count(twoBreaks);
        QVERIFY(count > 1000);
        QCOMPARE(find::ReplaceAllInView(View(), options, u"\r\n"_s), count);
        const QString replaced =
            QString(expected).replace(twoBreaks, QString(QChar::ParagraphSeparator));
        QCOMPARE(Difference(view->GetWholeText(), replaced), u"same"_s);
        QVERIFY(ParagraphsShort());
        QCOMPARE(Saved(), cp932::Encode(replaced));
        view->undo();
        QCOMPARE(Difference(view->GetWholeText(), expected), u"same"_s);
    }

    void wholeLinesAreSelectedAmongSharedLines() {
        Open(SharedPage());
        const QString text = view->GetWholeText();
        // A line in the middle of a shared paragraph.
        const qsizetype start = text.indexOf(u"<TD>n00028"_s);
        const qsizetype end = text.indexOf(QChar::ParagraphSeparator, start);
        const QString line = text.mid(start, end - start) + u"\r\n"_s;
        const QTextBlock block = view->document()->findBlock(view->PanePosition(start));
        QVERIFY(block.position() < view->PanePosition(start));
        QVERIFY(block.position() + block.length() - 1 > view->PanePosition(end));
        const auto pointAt = [&] {
            CaretAt(start + 2);
            view->ensureCursorVisible();
            return view->cursorRect().center();
        };
        QWidget* margin = nullptr;
        for (QWidget* w : view->findChildren<QWidget*>())
            if (w->accessibleName() == u"選択領域"_s)
                margin = w;
        QVERIFY(margin);
        // A click in the margin, a double click there, a triple click in the text.
        QTest::mouseClick(margin, Qt::LeftButton, {}, QPoint(3, pointAt().y()));
        QCOMPARE(view->GetSelectedText(), line);
        QTest::mouseDClick(margin, Qt::LeftButton, {}, QPoint(3, pointAt().y()));
        QCOMPARE(view->GetSelectedText(), line);
        const QPoint at = pointAt();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(view->GetSelectedText(), line);
    }

    // An edit inside a shared paragraph repaints all that it changed on
    // the screen: every pixel that differs afterwards was painted again.
    void anEditAmongSharedLinesIsShownWhole_data() {
        QTest::addColumn<QString>("at");       // the edit's place: after this text
        QTest::addColumn<int>("selected");     // characters selected from there
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("ready"); // typed there before
        const QString wrapped = QString(kSplit / 2 - 1, u'h') + QChar::ParagraphSeparator;
        QTest::newRow("letter") << u"<TD>n00028"_s << 0 << int(Qt::Key_X) << u"x"_s << QString();
        QTest::newRow("backspace") << u"<TD>n00028"_s << 0 << int(Qt::Key_Backspace) << u""_s << QString();
        QTest::newRow("letter before a wrapped line")
            << (QChar::ParagraphSeparator + wrapped.left(3)) << 0 << int(Qt::Key_X) << u"x"_s << QString();
        QTest::newRow("over a line break")
            << u"<TD>n00028"_s << 30 << int(Qt::Key_X) << u"x"_s << QString();
        // The lines after it change colour, in its paragraph and the next.
        QTest::newRow("a comment opened")
            << u"<TD>n00028"_s << 0 << int(Qt::Key_Minus) << u"-"_s << u"<!-"_s;
        QTest::newRow("a comment closed")
            << u"<TD>n00028"_s << 0 << int(Qt::Key_Greater) << u">"_s << u"<!----"_s;
    }
    void anEditAmongSharedLinesIsShownWhole() {
        QFETCH(QString, at);
        QFETCH(int, selected);
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(QString, ready);
        Open(SharedPage());
        QString text = view->GetWholeText();
        qsizetype start = text.indexOf(at) + at.size();
        QVERIFY(start >= at.size());
        if (!ready.isEmpty()) {
            CaretAt(start);
            view->textCursor().insertText(ready);
            start += ready.size();
            text = view->GetWholeText();
            while (view->Colouring()->IsBusy())
                QCoreApplication::processEvents();
        }
        QVERIFY(view->document()->findBlock(view->PanePosition(start)).text().count(
                    QChar::LineSeparator) >= 4);
        QTextCursor c = view->textCursor();
        c.setPosition(view->PanePosition(start));
        c.setPosition(view->PanePosition(start + selected), QTextCursor::KeepAnchor);
        view->setTextCursor(c);
        view->centerCursor();
        view->setCursorWidth(0); // no blinking caret between the pictures
        QCoreApplication::processEvents();
        QWidget* pane = view->viewport();
        const QImage before = pane->grab().toImage();

        struct Painted : QObject {
            QRegion region;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint)
                    region += static_cast<QPaintEvent*>(event)->region();
                return false;
            }
        } painted;
        pane->installEventFilter(&painted);
        QTest::keyClick(View(), Qt::Key(key), Qt::NoModifier);
        if (!typed.isEmpty())
            QCOMPARE(view->GetWholeText().mid(start, 1), typed);
        for (int i = 0; i < 3 || view->Colouring()->IsBusy(); ++i)
            QCoreApplication::processEvents();
        pane->removeEventFilter(&painted);
        const QImage after = pane->grab().toImage();

        QCOMPARE(after.size(), before.size());
        int changed = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                if (after.pixel(x, y) != before.pixel(x, y)) {
                    ++changed;
                    if (!painted.region.contains(QPoint(x, y)))
                        QFAIL(qPrintable(u"(%1, %2) changed, not painted"_s.arg(x).arg(y)));
                }
        QVERIFY(changed > 0);
    }

    void marginDoubleClickSelectsTheWholeFileLine() {
        Open(Page());
        // Scroll to a piece in the middle of the long line.
        const qsizetype split = Splits().at(3);
        CaretAt(split + 1);
        view->ensureCursorVisible();
        QWidget* margin = nullptr;
        for (QWidget* w : view->findChildren<QWidget*>())
            if (w->accessibleName() == u"選択領域"_s)
                margin = w;
        QVERIFY(margin);
        const int y = view->cursorRect().center().y();
        QTest::mouseDClick(margin, Qt::LeftButton, {}, QPoint(3, y));
        QCOMPARE(view->GetSelectedText(), cp932::Decode(LongLine()) + u"\r\n"_s);
    }
    void theModelSettlesEachEditAsItEnds() {
        // The text model alone, on a document without a widget, edited with
        // plain cursors and no event loop between: each edit block is
        // settled when it ends, in the edit's own undo step.
        QTextDocument doc;
        doc.setDocumentLayout(new QPlainTextDocumentLayout(&doc));
        CPaneText model(&doc);
        QString expected = u"<HTML>\u2029"_s + QString(5000, u'a') + u"\u2029<P>end"_s;
        model.SetWholeText(expected, [&](const QString& paneText, qsizetype) {
            doc.setPlainText(paneText);
        });
        doc.clearUndoRedoStacks();
        const auto settled = [&] {
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                const bool before = CPaneText::SplitBefore(b), after = CPaneText::SplitAfter(b);
                if (b.length() - 1 > CPaneText::kMaxParagraphLength ||
                    after != CPaneText::SplitBefore(b.next()) || ((before || after) && b.length() == 1))
                    return false;
            }
            return !CPaneText::SplitBefore(doc.begin());
        };
        QVERIFY(settled());
        const std::vector<int> splits = model.SplitPositions();
        QCOMPARE(splits.size(), size_t(4));
        const qsizetype secondPart = model.TextPosition(splits[0] + 1);
        // The long line's end, once the two edits before have moved it.
        const qsizetype lineEnd = expected.indexOf(QChar::ParagraphSeparator, 7) + 3000 - 1024;
        const struct {
            qsizetype from, to;
            QString with;
        } edits[] = {
            {3, 3, QString(3000, u'b')},                // a line grows past the limit
            {secondPart + 3000, secondPart + 4024, {}}, // a part of the long line is emptied
            {lineEnd - 10, lineEnd + 4, u"c"_s},         // the long line joins the next one
        };
        for (const auto& e : edits) {
            const QString before = expected;
            QTextCursor c(&doc);
            c.beginEditBlock();
            c.setPosition(model.PanePosition(e.from));
            c.setPosition(model.PanePosition(e.to), QTextCursor::KeepAnchor);
            c.insertText(e.with);
            c.endEditBlock();
            expected.replace(e.from, e.to - e.from, e.with);
            QVERIFY(settled());
            QCOMPARE(Difference(model.WholeText(), expected), u"same"_s);
            doc.undo();
            QCOMPARE(Difference(model.WholeText(), before), u"same"_s);
            doc.redo();
            QVERIFY(settled());
            QCOMPARE(Difference(model.WholeText(), expected), u"same"_s);
        }
    }
};

QTEST_MAIN(TestLongLines)
#include "tst_longlines.moc"
