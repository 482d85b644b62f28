#include "app/Platform.h"
#include "doc/CEditorView.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

using namespace Qt::StringLiterals;

// Fails the test with what PressBoth found different.
#define PRESS_BOTH(...)                                                                            \
    do {                                                                                           \
        const QString difference = PressBoth(__VA_ARGS__);                                         \
        QVERIFY2(difference.isEmpty(), qPrintable(difference));                                    \
    } while (false)

// The pane and the two selection operations every command goes through.
class TestEditorView : public QObject {
    Q_OBJECT

    std::unique_ptr<CEditorView> view;

    void Select(int anchor, int position) {
        testing::Select(view.get(), anchor, position);
    }

    QPoint PointOf(int position) const {
        QTextCursor c(view->document());
        c.setPosition(position);
        return view->cursorRect(c).center();
    }

    // A text whose lines differ in every way paging cares about: short and
    // empty lines, lines wrapped at spaces and anywhere, Japanese with its
    // taller face, a tab, and a line long enough to be held in pieces.
    static QString PagingText() {
        QStringList lines;
        for (int i = 0; i < 240; ++i) {
            switch (i % 8) {
            case 0: lines << u"<TR><TD>%1</TD></TR>"_s.arg(i); break;
            case 1: lines << QString(); break;
            case 2: lines << u"word "_s.repeated(10 + i % 37); break;
            case 3: lines << u"日本語のテキスト ｶﾀｶﾅ"_s.repeated(1 + i % 5); break;
            case 4: lines << u"x"_s.repeated(30 + i * 3); break;
            case 5: lines << u"\tab"_s; break;
            case 6: lines << u"<P>"_s + u"a"_s.repeated(i % 11); break;
            default: lines << (i == 95 ? u"long line "_s.repeated(300) : u"</P>"_s); break;
            }
        }
        return lines.join(u"\r\n"_s);
    }

    // The widget's own paging on the same text in a plain pane of the same
    // size, next to the view's.
    struct PlainTwin {
        QPlainTextEdit edit;
        explicit PlainTwin(CEditorView* view) {
            edit.setFont(view->font());
            edit.document()->setDefaultFont(view->document()->defaultFont());
            edit.setLineWrapMode(view->lineWrapMode());
            edit.setWordWrapMode(view->wordWrapMode());
            edit.setPlainText(view->document()->toRawText());
            edit.resize(view->size());
            edit.show();
        }
    };

    // Gives the plain pane the same room for the text as the view: the
    // view's margin makes it narrower.
    static void SameRoom(CEditorView* view, QPlainTextEdit* plain) {
        plain->resize(plain->width() - (plain->viewport()->width() - view->viewport()->width()),
                      plain->height() - (plain->viewport()->height() - view->viewport()->height()));
    }

    // Puts the caret of both panes at `position`.
    static void CaretsAt(CEditorView* view, QPlainTextEdit* plain, int position) {
        for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(view), plain}) {
            QTextCursor c = edit->textCursor();
            c.setPosition(position);
            edit->setTextCursor(c);
        }
    }

    // Sends `key` to both panes; what differs afterwards, or nothing.
    // Without `sameTopLine` the scroll bars may count the lines above the
    // screen differently; the screen must still show the caret in its place.
    static QString PressBoth(CEditorView* view, QPlainTextEdit* plain, Qt::Key key,
                             Qt::KeyboardModifiers modifiers, const char* step,
                             bool sameTopLine = true) {
        QTest::keyClick(view, key, modifiers);
        QTest::keyClick(plain, key, modifiers);
        const QTextCursor v = view->textCursor(), p = plain->textCursor();
        if (v.position() != p.position() || v.anchor() != p.anchor() ||
            (sameTopLine &&
             (view->verticalScrollBar()->value() != plain->verticalScrollBar()->value() ||
              view->cursorRect() != plain->cursorRect())) ||
            // Else lines laid out as one paragraph may stand a pixel apart.
            view->cursorRect().x() != plain->cursorRect().x() ||
            view->cursorRect().height() != plain->cursorRect().height() ||
            std::abs(view->cursorRect().y() - plain->cursorRect().y()) > 1)
            return u"%1: caret %2 (anchor %3, top line %4, y %8) where the widget has %5 "
                   "(anchor %6, top line %7, y %9)"_s.arg(QString::fromLatin1(step))
                .arg(v.position())
                .arg(v.anchor())
                .arg(view->verticalScrollBar()->value())
                .arg(p.position())
                .arg(p.anchor())
                .arg(plain->verticalScrollBar()->value())
                .arg(view->cursorRect().y())
                .arg(plain->cursorRect().y());
        return {};
    }

private slots:
    void initTestCase() { platform::Initialize(); }

    void init() {
        view = std::make_unique<CEditorView>();
        view->resize(500, 300);
        view->OnInitialUpdate();
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    void cleanup() { view.reset(); }

    void selectedTextInEitherDirection() {
        view->SetWholeText(u"<P>あいう\r\nえお</P>"_s);
        QCOMPARE(view->GetSelectedText(), QString());
        Select(3, 9);
        const QString forward = view->GetSelectedText();
        Select(9, 3);
        QCOMPARE(view->GetSelectedText(), forward);
        // Line breaks come back as in the file, Japanese unchanged.
        QCOMPARE(forward, u"あいう\r\nえお"_s);
        view->selectAll();
        QCOMPARE(view->GetSelectedText(), u"<P>あいう\r\nえお</P>"_s);
    }

    void replacementLeavesTheCaretAfterTheText() {
        view->SetWholeText(u"abc def"_s);
        Select(4, 7);
        view->ReplaceSelection(u"<B>def</B>"_s, false);
        QCOMPARE(view->GetWholeText(), u"abc <B>def</B>"_s);
        QVERIFY(!view->textCursor().hasSelection());
        QCOMPARE(view->textCursor().position(), 14);
        QVERIFY(view->document()->isModified());
        // A second insertion goes behind the first.
        view->ReplaceSelection(u"!"_s, false);
        QCOMPARE(view->GetWholeText(), u"abc <B>def</B>!"_s);
    }

    void everyLineBreakFormMakesOneBreak() {
        view->SetWholeText(QString());
        view->ReplaceSelection(u"a\r\nb\nc\rd\r\r\ne"_s, false);
        QCOMPARE(view->document()->blockCount(), 6);
        QCOMPARE(view->GetWholeText(), u"a\u2029b\u2029c\u2029d\u2029\u2029e"_s);
        view->selectAll();
        QCOMPARE(view->GetSelectedText(), u"a\r\nb\r\nc\r\nd\r\n\r\ne"_s);
        // The caret stands at the start of a line after a trailing break.
        view->SetWholeText(u"x"_s);
        view->moveCursor(QTextCursor::End);
        view->ReplaceSelection(u"<BR>\r\n"_s, false);
        QCOMPARE(view->textCursor().blockNumber(), 1);
        QCOMPARE(view->textCursor().positionInBlock(), 0);
    }

    void everyTypedOrPastedLineBreakIsAFileLineBreak() {
        // Shift+Enter and a pasted line separator make the same break as
        // Enter: a file line end, not a character Shift-JIS cannot hold.
        view->SetWholeText(QString());
        view->setFocus();
        QTest::keyClicks(view.get(), u"a"_s);
        QTest::keyClick(view.get(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(view.get(), u"b"_s);
        QTest::keyClick(view.get(), Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
        QTest::keyClicks(view.get(), u"c"_s);
        QCOMPARE(view->GetWholeText(), u"a\u2029b\u2029c"_s);
        QApplication::clipboard()->setText(u"d\u2028e"_s);
        view->paste();
        QCOMPARE(view->GetWholeText(), u"a\u2029b\u2029cd\u2029e"_s);
        view->selectAll();
        QCOMPARE(view->GetSelectedText(), u"a\r\nb\r\ncd\r\ne"_s);
        // One Undo takes the typed break back as usual.
        view->SetWholeText(u"x"_s);
        view->moveCursor(QTextCursor::End);
        QTest::keyClick(view.get(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(view->document()->blockCount(), 2);
        view->undo();
        QCOMPARE(view->GetWholeText(), u"x"_s);
    }

    void insertionIsNoUndoStep() {
        view->SetWholeText(QString());
        QTest::keyClicks(view.get(), u"typed"_s);
        QVERIFY(view->document()->isUndoAvailable());
        view->ReplaceSelection(u"<HR>"_s, false);
        QVERIFY(!view->document()->isUndoAvailable());
        view->undo();
        QCOMPARE(view->GetWholeText(), u"typed<HR>"_s);
        // With canUndo the replacement can be taken back.
        view->ReplaceSelection(u"<I></I>"_s, true);
        QVERIFY(view->document()->isUndoAvailable());
        view->undo();
        QCOMPARE(view->GetWholeText(), u"typed<HR>"_s);
    }

    void noLoneHighSurrogateEntersThePane() {
        // A lone high surrogate could pair with a preserved raw byte after it.
        view->SetWholeText(QString(QChar(0xDC85)));
        view->moveCursor(QTextCursor::Start);
        view->ReplaceSelection(QString(QChar(0xD83D)), false);
        QCOMPARE(view->GetWholeText(), QString(QChar(0xFFFD)) + QChar(0xDC85));
        QMimeData data;
        data.setText(u"x"_s + QChar(0xD83D));
        view->moveCursor(QTextCursor::End);
        view->insertPlainText(QString());
        view->setFocus();
        QCOMPARE(WithoutLoneHighSurrogates(data.text()), u"x"_s + QChar(0xFFFD));
        // Complete pairs stay as they are.
        const QString pair = QString::fromUcs4(U"\U0001F4A9");
        QCOMPARE(WithoutLoneHighSurrogates(pair), pair);
    }

    void pastingDataWithoutFormatsChangesNothing() {
        // A middle click over an empty X selection hands over such data.
        view->SetWholeText(u"abc"_s);
        view->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setMimeData(new QMimeData);
        view->paste();
        QCOMPARE(view->GetWholeText(), u"abc"_s);
        QVERIFY(!view->document()->isModified());
    }

    void initialUpdateRestoresThePlainFixedFont() {
        QFont bold = view->font();
        bold.setBold(true);
        bold.setFamily(u"IPAPGothic"_s);
        view->setFont(bold);
        view->OnInitialUpdate();
        QCOMPARE(view->font().family(), u"FixedSys"_s);
        QVERIFY(!view->font().bold());
        // "FixedSys" stands for a fixed-pitch face that holds Japanese.
        const QFontMetrics metrics(view->font());
        QVERIFY2(metrics.horizontalAdvance(u'i') == metrics.horizontalAdvance(u'W'),
                 qPrintable(QFontInfo(view->font()).family()));
        QVERIFY(metrics.inFont(QChar(0x3042)));
        QCOMPARE(view->PrintMarginsTwips(), QMarginsF(720, 720, 720, 720));
        QCOMPARE(view->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }

    void selectionStaysVisibleWithoutFocus() {
        const QPalette p = view->palette();
        QCOMPARE(p.color(QPalette::Inactive, QPalette::Highlight),
                 p.color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(p.color(QPalette::Inactive, QPalette::HighlightedText),
                 p.color(QPalette::Active, QPalette::HighlightedText));
    }

    void clickInTheMarginSelectsTheLine() {
        view->SetWholeText(u"first\r\nsecond line\r\nthird"_s);
        QWidget* margin = view->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(margin);
        margin = nullptr;
        for (QWidget* w : view->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w->accessibleName() == u"選択領域"_s)
                margin = w;
        QVERIFY(margin);
        const int y = PointOf(8).y();
        QTest::mouseClick(margin, Qt::LeftButton, {}, QPoint(2, y));
        QCOMPARE(view->GetSelectedText(), u"second line\r\n"_s);
        // Shift+click extends by whole lines.
        QTest::mouseClick(margin, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, PointOf(20).y()));
        QCOMPARE(view->GetSelectedText(), u"second line\r\nthird"_s);
    }

    void draggingGrowsByWholeWords() {
        view->SetWholeText(u"alpha beta gamma delta"_s);
        QWidget* vp = view->viewport();
        const QPoint start = PointOf(7);  // inside "beta"
        const QPoint inside = PointOf(8); // still inside "beta"
        const QPoint later = PointOf(13); // inside "gamma"
        QTest::mousePress(vp, Qt::LeftButton, {}, start);
        QMouseEvent move1(QEvent::MouseMove, inside, vp->mapToGlobal(inside), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &move1);
        QCOMPARE(view->GetSelectedText(), u"e"_s); // within one word: characters
        QMouseEvent move2(QEvent::MouseMove, later, vp->mapToGlobal(later), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &move2);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, later);
        QCOMPARE(view->GetSelectedText(), u"beta gamma"_s);
    }

    void pagingPutsTheCaretWhereTheWidgetDoes() {
        view->SetWholeText(PagingText());
        QVERIFY(!view->SplitPositions().empty());
        PlainTwin twin(view.get());
        QPlainTextEdit* plain = &twin.edit;
        QVERIFY(QTest::qWaitForWindowExposed(plain));
        SameRoom(view.get(), plain);
        QCOMPARE(plain->viewport()->size(), view->viewport()->size());
        QCOMPARE(plain->document()->blockCount(), view->document()->blockCount());

        // From inside a line (its horizontal place is kept), down to the end
        // and beyond it, back up to the start and beyond it.
        const int start = int(view->document()->findBlockByNumber(2).position()) + 7;
        CaretsAt(view.get(), plain, start);
        int pages = 0;
        while (view->textCursor().block().next().isValid()) {
            PRESS_BOTH(view.get(), plain, Qt::Key_PageDown, {}, "PageDown");
            QVERIFY(++pages < 200);
        }
        QVERIFY(pages > 10);
        PRESS_BOTH(view.get(), plain, Qt::Key_PageDown, {}, "PageDown at the end");
        while (view->textCursor().block().previous().isValid()) {
            PRESS_BOTH(view.get(), plain, Qt::Key_PageUp, {}, "PageUp");
            QVERIFY(--pages > -200);
        }
        PRESS_BOTH(view.get(), plain, Qt::Key_PageUp, {}, "PageUp at the start");

        // Other moves between pages forget the height the caret had; Shift
        // selects.
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
        } steps[] = {
            {Qt::Key_End, {}},
            {Qt::Key_PageDown, {}},
            {Qt::Key_PageDown, {}},
            {Qt::Key_Down, {}},
            {Qt::Key_Right, {}},
            {Qt::Key_PageDown, Qt::ShiftModifier},
            {Qt::Key_PageDown, Qt::ShiftModifier},
            {Qt::Key_PageUp, Qt::ShiftModifier},
            {Qt::Key_PageDown, {}},
            {Qt::Key_Up, {}},
            {Qt::Key_PageUp, {}},
            {Qt::Key_PageDown, {}},
            {Qt::Key_PageDown, {}},
            {Qt::Key_PageUp, Qt::ShiftModifier},
            {Qt::Key_PageUp, Qt::ShiftModifier},
            {Qt::Key_PageDown, {}},
        };
        for (const auto& step : steps)
            PRESS_BOTH(view.get(), plain, step.key, step.modifiers, "mixed keys");
        QVERIFY(view->textCursor().position() > 0);

        // A text shorter than the pane: the caret goes to the last line and
        // back to the first.
        view->SetWholeText(u"abc\r\n\r\nlonger line\r\nx"_s);
        plain->setPlainText(view->document()->toRawText());
        CaretsAt(view.get(), plain, 2);
        PRESS_BOTH(view.get(), plain, Qt::Key_PageDown, {}, "PageDown in a short text");
        QCOMPARE(view->textCursor().block().blockNumber(), 3);
        PRESS_BOTH(view.get(), plain, Qt::Key_PageUp, {}, "PageUp in a short text");
        QCOMPARE(view->textCursor().block().blockNumber(), 0);
        PRESS_BOTH(view.get(), plain, Qt::Key_PageDown, Qt::ShiftModifier, "Shift+PageDown");
        QCOMPARE(view->GetSelectedText(), u"abc\r\n\r\nlonger line\r\nx"_s.mid(2));
    }

    // Enough lines for the pane to let them share paragraphs: short, empty,
    // indented, Japanese and wrapped lines.
    static QString SharedLinesText() {
        QStringList lines;
        for (int i = 0; lines.size() < CEditorView::kGroupFrom + 64; ++i) {
            switch (i % 6) {
            case 0: lines << u"<TR><TD>%1</TD></TR>"_s.arg(i); break;
            case 1: lines << QString(); break;
            case 2: lines << u"  two words"_s; break;
            case 3: lines << u"日本語のテキスト ｶﾀｶﾅ"_s; break;
            case 4: lines << u"word "_s.repeated(20 + i % 9); break;
            default: lines << u"a"_s; break;
            }
        }
        return lines.join(u"\r\n"_s);
    }

    void keysTreatSharedLinesAsParagraphs() {
        // The same keys in the view, whose lines share paragraphs, and in a
        // plain pane with a paragraph for each line: the same caret, the
        // same selection, the same text.
        view->SetWholeText(SharedLinesText());
        QVERIFY(view->document()->blockCount() < CEditorView::kGroupFrom);
        PlainTwin twin(view.get());
        QPlainTextEdit* plain = &twin.edit;
        plain->setPlainText(view->GetWholeText());
        QCOMPARE(plain->document()->blockCount(), CEditorView::kGroupFrom + 64);
        QVERIFY(QTest::qWaitForWindowExposed(plain));
        SameRoom(view.get(), plain);
        const int start = plain->document()->findBlockByNumber(4000).position() + 3;
        CaretsAt(view.get(), plain, start);
        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, int times,
                               const char* step) {
            for (int k = 0; k < times; ++k) {
                const QString difference = PressBoth(view.get(), plain, key, modifiers, step, false);
                if (!difference.isEmpty())
                    return difference;
                if (view->GetWholeText() != plain->document()->toRawText())
                    return u"%1: the texts differ"_s.arg(QString::fromLatin1(step));
            }
            return QString();
        };
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int times;
            const char* step;
        } steps[] = {
            {Qt::Key_Right, Qt::ControlModifier, 30, "Ctrl+Right"},
            {Qt::Key_Left, Qt::ControlModifier, 30, "Ctrl+Left"},
            {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, 8, "Shift+Ctrl+Right"},
            {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, 3, "Shift+Ctrl+Left"},
            {Qt::Key_Right, {}, 1, "Right"},
            {Qt::Key_End, {}, 1, "End"},
            {Qt::Key_Right, {}, 1, "Right over the break"},
            {Qt::Key_Left, {}, 2, "Left over the break"},
            {Qt::Key_Home, {}, 1, "Home"},
            {Qt::Key_Down, {}, 9, "Down"},
            {Qt::Key_Up, {}, 4, "Up"},
            {Qt::Key_End, {}, 1, "End"},
            {Qt::Key_Home, Qt::ShiftModifier, 1, "Shift+Home"},
            {Qt::Key_Down, Qt::ShiftModifier, 3, "Shift+Down"},
            {Qt::Key_Left, {}, 1, "Left"},
            {Qt::Key_Delete, Qt::ControlModifier, 4, "Ctrl+Delete"},
            {Qt::Key_Down, {}, 2, "Down"},
            {Qt::Key_Backspace, Qt::ControlModifier, 4, "Ctrl+Backspace"},
            {Qt::Key_End, {}, 1, "End"},
            {Qt::Key_Delete, {}, 1, "Delete at the end of a line"},
            {Qt::Key_Home, {}, 1, "Home"},
            {Qt::Key_Backspace, {}, 1, "Backspace at the start of a line"},
            {Qt::Key_Return, {}, 1, "Return"},
            {Qt::Key_X, {}, 2, "typing"},
        };
        for (const auto& step : steps) {
            const QString difference = press(step.key, step.modifiers, step.times, step.step);
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        }
        // Overwriting at the end of a line adds to it: the line break stays.
        QTextBlock line = plain->document()->findBlockByNumber(4100);
        while (line.text() != u"  two words"_s)
            line = line.next();
        for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(view.get()), plain}) {
            QTextCursor c = edit->textCursor();
            c.setPosition(line.position() + line.length() - 1);
            edit->setTextCursor(c);
            edit->setOverwriteMode(true);
        }
        QCOMPARE(view->document()->characterAt(view->textCursor().position()), QChar::LineSeparator);
        const QString overwritten = press(Qt::Key_Q, {}, 3, "overwriting at the end");
        QVERIFY2(overwritten.isEmpty(), qPrintable(overwritten));
    }

    void pagingOverSharedLinesIsTheWidgetsOwn() {
        // Paging passes lines that share paragraphs at once; it ends where
        // the widget's own paging ends over the same paragraphs.
        view->SetWholeText(SharedLinesText());
        PlainTwin twin(view.get());
        QPlainTextEdit* plain = &twin.edit;
        QCOMPARE(plain->document()->blockCount(), view->document()->blockCount());
        QVERIFY(QTest::qWaitForWindowExposed(plain));
        SameRoom(view.get(), plain);
        for (const int column : {0, 12}) {
            const int start = view->document()->findBlockByNumber(700).position() + column;
            CaretsAt(view.get(), plain, start);
            for (int k = 0; k < 8; ++k)
                PRESS_BOTH(view.get(), plain, Qt::Key_PageDown, {}, "PageDown", false);
            for (int k = 0; k < 3; ++k)
                PRESS_BOTH(view.get(), plain, Qt::Key_PageUp, {}, "PageUp", false);
            PRESS_BOTH(view.get(), plain, Qt::Key_PageDown, Qt::ShiftModifier, "Shift+PageDown", false);
            PRESS_BOTH(view.get(), plain, Qt::Key_Down, {}, "Down", false);
        }
    }

    void pagingWithShiftOffersThePrimarySelection() {
        QClipboard* clipboard = QApplication::clipboard();
        if (!clipboard->supportsSelection())
            QSKIP("The platform has no primary selection.");
        view->SetWholeText(PagingText());
        clipboard->clear(QClipboard::Selection);
        QTest::keyClick(view.get(), Qt::Key_PageDown, Qt::ShiftModifier);
        QVERIFY(view->textCursor().hasSelection());
        QCOMPARE(clipboard->text(QClipboard::Selection),
                 view->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'));
    }

    void acceleratorKeysAreLeftToTheCommands() {
        view->SetWholeText(u"text"_s);
        view->moveCursor(QTextCursor::End);
        view->setFocus();
        // Without a main window nothing handles them: Esc, Ctrl+Enter and
        // Ctrl+Z change nothing.
        QTest::keyClick(view.get(), Qt::Key_Escape);
        QTest::keyClick(view.get(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(view.get(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QTest::keyClicks(view.get(), u"!"_s);
        QTest::keyClick(view.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->GetWholeText(), u"text!"_s);
        // Ordinary keys still edit.
        QTest::keyClick(view.get(), Qt::Key_Return);
        QCOMPARE(view->document()->blockCount(), 2);
    }
};

QTEST_MAIN(TestEditorView)
#include "tst_editorview.moc"
