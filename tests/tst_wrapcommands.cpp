#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"
#include "tags/WrapText.h"

#include <QAction>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

using namespace Qt::StringLiterals;

// The eight commands that put fixed tags around or in place of the selection.
class TestWrapCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;
    QTemporaryDir dir;

    CEditorView* View() const { return fx->View(); }

    void SetText(const QString& text) { View()->SetWholeText(text); }

    void Select(int anchor, int position) {
        testing::Select(View(), anchor, position);
    }

    // The pane's text as the file holds it once saved.
    QByteArray Saved() {
        const QString path = dir.filePath(u"saved.html"_s);
        if (!fx->Doc()->OnSaveDocument(path))
            return "<save failed>";
        return testing::ReadBytes(path);
    }

    // The texts of each wrapping command, as the user sees them in the file.
    struct Expected {
        int id;
        QByteArray opening;
        QByteArray closing;
    };
    static QList<Expected> AllWraps() {
        return {
            {ID_BOLD, "<B>", "</B>"},
            {ID_ITALIC, "<I>", "</I>"},
            {ID_UNDERLINE, "<U>", "</U>"},
            {ID_CENTER, "<CENTER>", "</CENTER>"},
            {ID_TABLE_ROW, "<TR>\n", "\n</TR>"},
            {ID_TABLE_DATA, "<TD>\n", "\n</TD>"},
            {ID_TABLE_HEADER, "<TH>\n", "\n</TH>"},
        };
    }

private slots:
    void init() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
    }
    void cleanup() { fx.reset(); }

    void builtTextsAreTheTagsAroundTheSelectionVerbatim() {
        QCOMPARE(tags::WrapCommands().size(), 7u);
        for (const Expected& e : AllWraps()) {
            const QString open = QString::fromLatin1(e.opening);
            const QString close = QString::fromLatin1(e.closing);
            QCOMPARE(tags::WrapText(e.id, u"abc"_s), open + u"abc"_s + close);
            QCOMPARE(tags::WrapText(e.id, QString()), open + close);
            // Nothing is trimmed, escaped or recognised.
            const QString odd = u"  <B>a&\"b</B>\r\n日本語ﾃｽﾄ "_s;
            QCOMPARE(tags::WrapText(e.id, odd), open + odd + close);
        }
        QCOMPARE(tags::WrapText(ID_LINE_BREAK, u"x"_s), QString());
        QCOMPARE(tags::LineBreakText(), u"<BR>\r\n"_s);
    }

    void everyWrapAroundASelectionIsSavedByteForByte() {
        for (const Expected& e : AllWraps()) {
            SetText(u"xx abc yy"_s);
            Select(3, 6);
            QVERIFY(fx->Frame()->RouteCommand(e.id));
            // A bare line feed in the pane is a line break, saved as CR LF.
            QByteArray opening = e.opening, closing = e.closing;
            opening.replace("\n", "\r\n");
            closing.replace("\n", "\r\n");
            QCOMPARE(Saved(), "xx " + opening + "abc" + closing + " yy");
            // The caret stands after the closing tag, nothing selected.
            const QString expectedText = u"xx "_s + QString::fromLatin1(e.opening) + u"abc"_s +
                                         QString::fromLatin1(e.closing);
            QVERIFY(!View()->textCursor().hasSelection());
            QCOMPARE(View()->textCursor().position(), expectedText.size());
        }
    }

    void emptySelectionInsertsTheTagPairAtTheCaret() {
        SetText(u"ab"_s);
        Select(1, 1);
        QVERIFY(fx->Frame()->RouteCommand(ID_BOLD));
        QCOMPARE(View()->GetWholeText(), u"a<B></B>b"_s);
        QCOMPARE(View()->textCursor().position(), 8); // after "</B>", not between the tags

        SetText(QString());
        QVERIFY(fx->Frame()->RouteCommand(ID_TABLE_ROW));
        QCOMPARE(Saved(), QByteArray("<TR>\r\n\r\n</TR>"));
        QCOMPARE(View()->document()->blockCount(), 3);
    }

    void aWrappedSelectionIsWrappedAgain() {
        SetText(u"<B>x</B>"_s);
        View()->selectAll();
        QVERIFY(fx->Frame()->RouteCommand(ID_BOLD));
        QCOMPARE(View()->GetWholeText(), u"<B><B>x</B></B>"_s);
    }

    void multiLineAndJapaneseSelectionsStayUnchanged() {
        // "日本語" "ﾃｽﾄ" on two lines, Shift-JIS in the file.
        SetText(u"<P>日本語\r\nﾃｽﾄ</P>"_s);
        Select(3, 10);
        QCOMPARE(View()->GetSelectedText(), u"日本語\r\nﾃｽﾄ"_s);
        QVERIFY(fx->Frame()->RouteCommand(ID_CENTER));
        QCOMPARE(Saved(),
                 QByteArray("<P><CENTER>\x93\xfa\x96\x7b\x8c\xea\r\n\xc3\xbd\xc4</CENTER></P>"));

        SetText(u"日本語\r\nﾃｽﾄ"_s);
        View()->selectAll();
        QVERIFY(fx->Frame()->RouteCommand(ID_TABLE_DATA));
        QCOMPARE(Saved(), QByteArray("<TD>\r\n\x93\xfa\x96\x7b\x8c\xea\r\n\xc3\xbd\xc4\r\n</TD>"));
    }

    void insertionsAreNoUndoStep() {
        SetText(u"abc"_s);
        Select(3, 3);
        QTest::keyClicks(View(), u"def"_s);
        QCOMPARE(View()->GetWholeText(), u"abcdef"_s);
        View()->selectAll();
        QVERIFY(fx->Frame()->RouteCommand(ID_UNDERLINE));
        QVERIFY(fx->Frame()->RouteCommand(ID_LINE_BREAK));
        const QString after = View()->GetWholeText();
        QCOMPARE(after, u"<U>abcdef</U><BR>\u2029"_s);
        QVERIFY(View()->document()->isModified());
        View()->undo();
        fx->Frame()->RouteCommand(ID_EDIT_UNDO);
        QCOMPARE(View()->GetWholeText(), after);
    }

    void lineBreakReplacesTheSelection() {
        SetText(u"one two"_s);
        Select(3, 7);
        QVERIFY(fx->Frame()->RouteCommand(ID_LINE_BREAK));
        QCOMPARE(Saved(), QByteArray("one<BR>\r\n"));
        // The caret stands at the start of the new line.
        const QTextCursor c = View()->textCursor();
        QVERIFY(!c.hasSelection());
        QVERIFY(c.atBlockStart());
        QCOMPARE(c.blockNumber(), 1);
    }

    void ctrlEnterOnEitherEnterKeyInsertsTheLineBreakTag() {
        SetText(u"ab"_s);
        Select(1, 1);
        View()->setFocus();
        QTest::keyClick(View(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(View()->GetWholeText(), u"a<BR>\u2029b"_s);
        QTest::keyClick(View(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(Saved(), QByteArray("a<BR>\r\n<BR>\r\nb"));
        // A plain Enter is still a plain line break.
        QTest::keyClick(View(), Qt::Key_Return);
        QCOMPARE(Saved(), QByteArray("a<BR>\r\n<BR>\r\n\r\nb"));
    }

    void wrapsAskForNoRepaint() {
        QSignalSpy repaints(View(), &CEditorView::repaintRequested);
        SetText(u"abc"_s);
        for (const Expected& e : AllWraps()) {
            View()->selectAll();
            QVERIFY(fx->Frame()->RouteCommand(e.id));
        }
        QVERIFY(fx->Frame()->RouteCommand(ID_LINE_BREAK));
        QCOMPARE(repaints.count(), 0);
    }
};

QTEST_MAIN(TestWrapCommands)
#include "tst_wrapcommands.moc"
