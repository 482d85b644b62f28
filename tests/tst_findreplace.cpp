#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "find/CFindReplaceDlg.h"
#include "find/FindReplace.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

int g_beeps = 0;
void CountBeep() {
    ++g_beeps;
}

} // namespace

// Find, find next and replace through the commands and their dialogs.
class TestFindReplace : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;
    find::BeepFunction m_previousBeep = nullptr;

    CEditorView* View() const { return fx->View(); }
    CMainFrame* Frame() const { return fx->Frame(); }

    void Select(int anchor, int position) {
        testing::Select(View(), anchor, position);
    }

    std::pair<int, int> Selection() const {
        const QTextCursor c = View()->textCursor();
        return {c.selectionStart(), c.selectionEnd()};
    }

    CFindReplaceDlg* Dialog() const { return find::OpenDialog(View()); }

    template <typename T> T* Control(const char* name) const {
        T* control = Dialog() ? Dialog()->findChild<T*>(QLatin1StringView(name)) : nullptr;
        if (!control)
            qFatal("no control %s", name);
        return control;
    }

    // Opens the dialog of `command` and searches for `what`.
    void Search(int command, const QString& what) {
        QVERIFY(Frame()->RouteCommand(command));
        QVERIFY(Dialog());
        Control<QLineEdit>("id1152")->setText(what);
    }

private slots:
    void initTestCase() {
        platform::Initialize();
        m_previousBeep = find::SetBeep(&CountBeep);
    }
    void cleanupTestCase() { find::SetBeep(m_previousBeep); }

    void init() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        g_beeps = 0;
    }
    void cleanup() { fx.reset(); }

    void findDialogAsTheDesktopHasIt() {
        QVERIFY(Frame()->RouteCommand(ID_EDIT_FIND));
        CFindReplaceDlg* dlg = Dialog();
        QVERIFY(dlg);
        QVERIFY(dlg->isVisible());
        QVERIFY(!dlg->isModal());
        QCOMPARE(dlg->objectName(), u"id1540"_s);
        QCOMPARE(dlg->windowTitle(), u"検索"_s);
        QCOMPARE(Control<QCheckBox>("id1040")->text(), u"単語単位で探す(&W)"_s);
        QCOMPARE(Control<QCheckBox>("id1041")->text(), u"大文字と小文字を区別する(&C)"_s);
        QCOMPARE(Control<QGroupBox>("id1072")->title(), u"方向"_s);
        QCOMPARE(Control<QRadioButton>("id1056")->text(), u"上へ(&U)"_s);
        QVERIFY(Control<QRadioButton>("id1057")->isChecked());
        QCOMPARE(Control<QPushButton>("id1")->text(), u"次を検索"_s);
        QCOMPARE(Control<QPushButton>("id2")->text(), u"キャンセル"_s);
        // Nothing to search for: the search button waits.
        QVERIFY(!Control<QPushButton>("id1")->isEnabled());
        Control<QLineEdit>("id1152")->setText(u"x"_s);
        QVERIFY(Control<QPushButton>("id1")->isEnabled());
        for (QWidget* w : dlg->findChildren<QWidget*>())
            if (w->objectName().startsWith(u"id"_s) && !w->objectName().startsWith(u"id1072"_s))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));

        // Replace takes the place of find: one dialog at a time.
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPLACE));
        QTRY_VERIFY(!dlg || !dlg->isVisible());
        QVERIFY(Dialog() && !Dialog()->IsFindOnly());
        QCOMPARE(Dialog()->objectName(), u"id1541"_s);
        QCOMPARE(Dialog()->windowTitle(), u"置換"_s);
        QCOMPARE(Control<QPushButton>("id1024")->text(), u"置換して次に"_s);
        QCOMPARE(Control<QPushButton>("id1025")->text(), u"すべて置換"_s);
        QCOMPARE(Dialog()->findChild<QLabel*>(u"label1152"_s)->text(), u"検索する文字列(&N):"_s);
        QCOMPARE(Dialog()->findChild<QLabel*>(u"label1153"_s)->text(), u"置換後の文字列(&P):"_s);
        QTest::mouseClick(Control<QPushButton>("id2"), Qt::LeftButton);
        QTRY_VERIFY(!Dialog());
    }

    void findNextSelectsAndRepeatsInItsDirection() {
        View()->SetWholeText(u"<TD>一</TD>\r\n<td>二</td>\r\n<TD>三</TD>"_s);
        Search(ID_EDIT_FIND, u"<td>"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(0, 4));
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(11, 15));
        QCOMPARE(View()->GetSelectedText(), u"<td>"_s);
        // Matching case skips the lower-case tag.
        Control<QLineEdit>("id1152")->setText(u"<TD>"_s);
        Control<QCheckBox>("id1041")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(22, 26));
        // At the end the search wraps around to the start.
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(0, 4));
        // Upwards, then F3 goes on upwards with the dialog closed.
        Control<QRadioButton>("id1056")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(22, 26));
        QTest::mouseClick(Control<QPushButton>("id2"), Qt::LeftButton);
        QTRY_VERIFY(!Dialog());
        Select(21, 21);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPEAT));
        QCOMPARE(Selection(), std::pair(0, 4));
        QCOMPARE(g_beeps, 0);
        QVERIFY(!Dialog());
    }

    void nothingFoundBeepsAndKeepsTheSelection() {
        View()->SetWholeText(u"<B>太字</B>"_s);
        Select(3, 5);
        Search(ID_EDIT_FIND, u"<I>"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(g_beeps, 1);
        QCOMPARE(Selection(), std::pair(3, 5));
        // A whole word that exists only inside a longer one is not there.
        Control<QLineEdit>("id1152")->setText(u"太"_s);
        Control<QCheckBox>("id1040")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(g_beeps, 2);
        QCOMPARE(Selection(), std::pair(3, 5));
        Control<QLineEdit>("id1152")->setText(u"太字"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(g_beeps, 2);
        QCOMPARE(Selection(), std::pair(3, 5)); // found again: the only match
    }

    void findNextWithoutAnEarlierSearchOpensTheDialog() {
        View()->SetWholeText(u"abc"_s);
        QVERIFY(Frame()->IsCommandEnabled(ID_EDIT_REPEAT));
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPEAT));
        QVERIFY(Dialog());
        QVERIFY(Dialog()->IsFindOnly());
        QVERIFY(Dialog()->isVisible());
        QCOMPARE(g_beeps, 0);
        QCOMPARE(Selection(), std::pair(0, 0));
    }

    void dialogTakesTheSelectionOnOneLine() {
        View()->SetWholeText(u"<P>段落</P>\r\n<HR>"_s);
        Select(3, 5);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_FIND));
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"段落"_s);
        QCOMPARE(Control<QLineEdit>("id1152")->selectedText(), u"段落"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>("id2"), Qt::LeftButton);
        QTRY_VERIFY(!Dialog());
        // A selection across lines leaves the last search in place.
        Select(3, 12);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPLACE));
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"段落"_s);
        // Without a selection, too.
        Control<QLineEdit>("id1152")->setText(u"<HR>"_s);
        Control<QLineEdit>("id1153")->setText(u"<BR>"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        Select(0, 0);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPLACE));
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"<HR>"_s);
        QCOMPARE(Control<QLineEdit>("id1153")->text(), u"<BR>"_s);
    }

    void replaceOneAtATimeEachAnUndoStep() {
        View()->SetWholeText(u"<b>a</b> <B>b</B>"_s);
        QVERIFY(!fx->Doc()->IsModified());
        Search(ID_EDIT_REPLACE, u"<b>"_s);
        Control<QLineEdit>("id1153")->setText(u"<STRONG>"_s);
        // The first click only finds; the second replaces and finds on.
        QTest::mouseClick(Control<QPushButton>("id1024"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(0, 3));
        QCOMPARE(View()->document()->toPlainText(), u"<b>a</b> <B>b</B>"_s);
        QTest::mouseClick(Control<QPushButton>("id1024"), Qt::LeftButton);
        QCOMPARE(View()->document()->toPlainText(), u"<STRONG>a</b> <B>b</B>"_s);
        QCOMPARE(View()->GetSelectedText(), u"<B>"_s);
        QVERIFY(fx->Doc()->IsModified());
        QTest::mouseClick(Control<QPushButton>("id1024"), Qt::LeftButton);
        QCOMPARE(View()->document()->toPlainText(), u"<STRONG>a</b> <STRONG>b</B>"_s);
        // Nothing left: a beep.
        QCOMPARE(g_beeps, 1);
        View()->undo();
        QCOMPARE(View()->document()->toPlainText(), u"<STRONG>a</b> <B>b</B>"_s);
        View()->undo();
        QCOMPARE(View()->document()->toPlainText(), u"<b>a</b> <B>b</B>"_s);
    }

    void replaceAllJapaneseIsOneUndoStep() {
        View()->SetWholeText(u"<TD>セル</TD>\r\n<TD>セル</TD>\r\n<TD>セルフ</TD>\r\n<TD>ｾﾙ</TD>"_s);
        View()->ReplaceSelection(u"<TABLE>\r\n"_s, true); // an earlier edit, undone separately
        const QString before = View()->document()->toPlainText();
        Search(ID_EDIT_REPLACE, u"セル"_s);
        Control<QLineEdit>("id1153")->setText(u"項目"_s);
        Control<QCheckBox>("id1040")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("id1025"), Qt::LeftButton);
        const QString after =
            u"<TABLE>\n<TD>項目</TD>\n<TD>項目</TD>\n<TD>セルフ</TD>\n<TD>ｾﾙ</TD>"_s;
        QCOMPARE(View()->document()->toPlainText(), after);
        QCOMPARE(g_beeps, 0);
        // The caret stands after the last replacement.
        QCOMPARE(Selection(), std::pair(26, 26));
        QVERIFY(fx->Doc()->IsModified());
        View()->undo();
        QCOMPARE(View()->document()->toPlainText(), before);
        View()->redo();
        QCOMPARE(View()->document()->toPlainText(), after);

        // Nothing to replace: a beep and no change.
        Control<QLineEdit>("id1152")->setText(u"表"_s);
        QTest::mouseClick(Control<QPushButton>("id1025"), Qt::LeftButton);
        QCOMPARE(g_beeps, 1);
        QCOMPARE(View()->document()->toPlainText(), after);
    }

    void replaceAllAcrossLineBreaks() {
        View()->SetWholeText(u"<TR>\r\n<TD>1</TD>\r\n</TR>\r\n<TR>\r\n<TD>2</TD>\r\n</TR>"_s);
        find::FindOptions o;
        o.what = u"</TR>\r\n<TR>"_s;
        QCOMPARE(find::ReplaceAllInView(View(), o, u"</TR>\r\n\r\n<TR>"_s), 1);
        QCOMPARE(View()->GetWholeText().replace(QChar::ParagraphSeparator, u"|"_s),
                 u"<TR>|<TD>1</TD>|</TR>||<TR>|<TD>2</TD>|</TR>"_s);
        // A line break alone is one character, never half of CR LF.
        o.what = u"\n"_s;
        QCOMPARE(find::ReplaceAllInView(View(), o, u" "_s), 6);
        QCOMPARE(View()->document()->blockCount(), 1);
    }

    void rawBytesInTheFileAreSearchedThrough() {
        // "<P>" 0x80 "あ</P>" CR LF "<I>x</I>": 0x80 is no character in
        // Shift-JIS and stays in the text as a raw byte.
        const QString path = fx->settings.Folder() + u"/raw.html"_s;
        testing::WriteBytes(path, "<P>\x80\x82\xa0</P>\r\n<I>x</I>");
        QCOMPARE(testing::Open(*fx->app, path), CEditorApp::OpenResult::Opened);
        Search(ID_EDIT_FIND, u"<i>"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(View()->GetSelectedText(), u"<I>"_s);
        Control<QLineEdit>("id1152")->setText(u"あ</p>"_s);
        Control<QCheckBox>("id1040")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(Selection(), std::pair(4, 9));
        QCOMPARE(g_beeps, 0);

        find::FindOptions o;
        o.what = u"</P>"_s;
        QCOMPARE(find::ReplaceAllInView(View(), o, u"</P><BR>"_s), 1);
        QVERIFY(fx->Doc()->DoFileSave());
        QCOMPARE(testing::ReadBytes(path), QByteArray("<P>\x80\x82\xa0</P><BR>\r\n<I>x</I>"));
    }

    void reopeningKeepsWhatTheDialogHolds() {
        View()->SetWholeText(u"<P>段落</P>\r\n<HR>"_s);
        Search(ID_EDIT_FIND, u"<hr>"_s);
        Control<QCheckBox>("id1041")->setChecked(true);
        Control<QRadioButton>("id1056")->setChecked(true);
        // Ctrl+F again without a selection: nothing typed or ticked is lost,
        // though nothing was searched for yet.
        Select(0, 0);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_FIND));
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"<hr>"_s);
        QVERIFY(Control<QCheckBox>("id1041")->isChecked());
        QVERIFY(Control<QRadioButton>("id1056")->isChecked());
        // A selection on one line takes the search string's place only.
        Select(3, 5);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_FIND));
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"段落"_s);
        QVERIFY(Control<QCheckBox>("id1041")->isChecked());
        // The replace dialog takes over what the find dialog held.
        Select(0, 0);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPLACE));
        QTRY_VERIFY(Dialog() && !Dialog()->IsFindOnly());
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"段落"_s);
        QVERIFY(Control<QCheckBox>("id1041")->isChecked());
        Control<QLineEdit>("id1153")->setText(u"節"_s);
        Control<QCheckBox>("id1040")->setChecked(true);
        // And back: the direction is the last search's again.
        QVERIFY(Frame()->RouteCommand(ID_EDIT_FIND));
        QTRY_VERIFY(Dialog() && Dialog()->IsFindOnly());
        QCOMPARE(Control<QLineEdit>("id1152")->text(), u"段落"_s);
        QVERIFY(Control<QCheckBox>("id1040")->isChecked());
        QVERIFY(Control<QRadioButton>("id1057")->isChecked());
        QVERIFY(Frame()->RouteCommand(ID_EDIT_REPLACE));
        QTRY_VERIFY(Dialog() && !Dialog()->IsFindOnly());
        QCOMPARE(Control<QLineEdit>("id1153")->text(), u"節"_s);
        QCOMPARE(g_beeps, 0);
        QCOMPARE(View()->GetWholeText(), u"<P>段落</P>\u2029<HR>"_s); // nothing searched
    }

    void theDialogMovesOffTheFoundText() {
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines << (i == 6 ? u"<P>target</P>"_s : u"<P>line %1</P>"_s.arg(i));
        View()->SetWholeText(lines.join(u"\r\n"_s));
        Search(ID_EDIT_FIND, u"target"_s);
        QWidget* dlg = Dialog();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        auto found = [this] {
            QTextCursor start = View()->textCursor();
            start.setPosition(start.selectionStart());
            const QRect r = View()->cursorRect(start);
            return QRect(View()->viewport()->mapToGlobal(r.topLeft()), r.size());
        };
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(View()->GetSelectedText(), u"target"_s);
        // Put the dialog right over the found text; the next find moves it.
        dlg->move(found().topLeft() - QPoint(20, 10));
        QTRY_VERIFY(dlg->frameGeometry().intersects(found()));
        Select(0, 0);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(View()->GetSelectedText(), u"target"_s);
        QTRY_VERIFY(!dlg->frameGeometry().intersects(found()));
        QVERIFY(dlg->screen()->availableGeometry().contains(dlg->frameGeometry()));
        // Out of the way already: it stays where it is.
        const QPoint clear = dlg->pos();
        Select(0, 0);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QCOMPARE(dlg->pos(), clear);
    }

    void reopenedRightAfterClosing() {
        // Closed and opened again before the closed one is deleted: the
        // dialog that opens stays.
        Search(ID_EDIT_FIND, u"abc"_s);
        QTest::mouseClick(Control<QPushButton>("id2"), Qt::LeftButton);
        QVERIFY(Frame()->RouteCommand(ID_EDIT_FIND));
        QPointer<CFindReplaceDlg> reopened = Dialog();
        QVERIFY(reopened);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(20);
        QVERIFY(reopened);
        QVERIFY(reopened->isVisible());
        QCOMPARE(Dialog(), reopened.data());
    }

    void closingTheDialogGivesThePaneBackItsFocus() {
        View()->SetWholeText(u"abc abc"_s);
        Search(ID_EDIT_FIND, u"abc"_s);
        QTest::mouseClick(Control<QPushButton>("id1"), Qt::LeftButton);
        QTest::keyClick(Dialog(), Qt::Key_Escape);
        QTRY_VERIFY(!Dialog());
        QTRY_VERIFY(View()->hasFocus());
        QCOMPARE(Selection(), std::pair(0, 3));
    }
};

QTEST_MAIN(TestFindReplace)
#include "tst_findreplace.moc"
