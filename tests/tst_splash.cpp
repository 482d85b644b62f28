#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/CSplashWnd.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTextCursor>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Counts the mouse button presses that reach the watched widget.
class PressCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress)
            ++count;
        return false;
    }
};

} // namespace

// The splash screen at start-up and the input that closes it.
class TestSplash : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;

    CEditorView* View() const { return fx->View(); }

    // Starts the program with its splash screen, which stays until input
    // closes it.
    void StartWithSplash(const QStringList& arguments = {}) {
        CSplashWnd::SetInterval(1h);
        fx = std::make_unique<testing::AppFixture>();
        fx->showSplash = true;
        QVERIFY(fx->Start(arguments));
    }

    void SetTextWithCaretAtEnd(const QString& text) {
        View()->SetWholeText(text);
        View()->moveCursor(QTextCursor::End);
        View()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), View());
    }

private slots:
    void initTestCase() {
        // Until told otherwise the splash screen stays for 1.5 seconds.
        QCOMPARE(CSplashWnd::Interval(), 1500ms);
    }

    void cleanup() {
        fx.reset();
        QVERIFY(!CSplashWnd::Current());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void shownCentredOverTheHiddenMainWindowThenGoneAfterItsTime() {
        testing::ScopedSettings settings;
        testing::FakeUi ui;
        CSplashWnd::SetInterval(50ms);
        CEditorApp app;
        QVERIFY(app.InitInstance({}));
        QVERIFY(CSplashWnd::IsEnabled());

        // Right after start-up, before any event has been handled.
        QPointer<CSplashWnd> splash = CSplashWnd::Current();
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        QVERIFY(splash->isWindow());
        QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash->parentWidget(), app.GetMainFrame());
        QCOMPARE(splash->size(), QSize(250, 200));
        QVERIFY(splash->windowTitle().isEmpty());
        // The main window was not yet visible: centred on the screen.
        const QRect area = splash->screen()->availableGeometry();
        QVERIFY((splash->geometry().center() - area.center()).manhattanLength() <= 2);
        // The window shows the picture unchanged.
        const QImage picture(u":/images/splash.png"_s);
        QCOMPARE(splash->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 picture.convertToFormat(QImage::Format_RGB32));

        QTRY_VERIFY(!CSplashWnd::Current());
        // The window is gone and deleted itself; the main window stays.
        QTRY_VERIFY(!splash);
        QVERIFY(app.GetMainFrame()->isVisible());
        app.ExitInstance();
    }

    void aKeyClosesItAndTypesNothing() {
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc"_s);
        QVERIFY(CSplashWnd::Current());
        QTest::keyClick(View(), Qt::Key_X);
        QVERIFY(!CSplashWnd::Current());
        QCOMPARE(View()->GetWholeText(), u"abc"_s);
        QVERIFY(!View()->document()->isModified());
        // The next key is typed as usual.
        QTest::keyClick(View(), Qt::Key_Y);
        QCOMPARE(View()->GetWholeText(), u"abcy"_s);
    }

    void theAltKeyClosesItAndLeavesTheMenuBarAlone() {
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc"_s);
        QTest::keyClick(View(), Qt::Key_Alt);
        QVERIFY(!CSplashWnd::Current());
        QApplication::processEvents();
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QCOMPARE(QApplication::focusWidget(), View());
    }

    void aShortcutKeyClosesItAndDoesNotFire() {
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc"_s);
        // A shortcut of the main window without modifiers.
        QAction probe;
        probe.setShortcut(Qt::Key_F9);
        probe.setShortcutContext(Qt::WindowShortcut);
        fx->Frame()->addAction(&probe);
        int fired = 0;
        connect(&probe, &QAction::triggered, this, [&fired] { ++fired; });

        QTest::keyClick(View(), Qt::Key_F9);
        QVERIFY(!CSplashWnd::Current());
        QCOMPARE(fired, 0);
        QCOMPARE(View()->GetWholeText(), u"abc"_s);
        QTest::keyClick(View(), Qt::Key_F9);
        QCOMPARE(fired, 1);
    }

    void anAcceleratorMatchedWhileItIsShownDoesNotFire() {
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc"_s);
        fx->Frame()->UpdateCommandUI();
        QVERIFY(fx->Frame()->Action(ID_EDIT_SELECT_ALL)->isEnabled());
        // Ctrl+A (select all) matched with Ctrl already held.
        QTest::keyEvent(QTest::Shortcut, fx->Frame()->windowHandle(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!CSplashWnd::Current());
        QCOMPARE(View()->GetSelectedText(), QString());
        QApplication::processEvents();
        QTest::keyClick(View(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(View()->GetSelectedText(), u"abc"_s);
    }

    void theFirstKeyOfACombinationClosesIt() {
        // Pressing Ctrl+A presses Ctrl first: that press closes the splash
        // screen, and the A that follows is an ordinary Ctrl+A.
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc"_s);
        QTest::keyPress(View(), Qt::Key_Control);
        QVERIFY(!CSplashWnd::Current());
        QTest::keyRelease(View(), Qt::Key_Control);
        QCOMPARE(View()->GetWholeText(), u"abc"_s);
        QCOMPARE(View()->GetSelectedText(), QString());
    }

    void aClickClosesItAndDoesNothingElse_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }

    void aClickClosesItAndDoesNothingElse() {
        QFETCH(Qt::MouseButton, button);
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc\ndef"_s);
        const QPoint start = View()->cursorRect(QTextCursor(View()->document())).center();
        PressCounter presses;
        View()->viewport()->installEventFilter(&presses);

        QTest::mouseClick(View()->viewport(), button, {}, start);
        QVERIFY(!CSplashWnd::Current());
        QApplication::processEvents();
        QCOMPARE(presses.count, 0);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QCOMPARE(View()->textCursor().position(), 7);
        QCOMPARE(View()->toPlainText(), u"abc\ndef"_s);

        // The same click now reaches the pane.
        QTest::mouseClick(View()->viewport(), button, {}, start);
        QCOMPARE(presses.count, 1);
        if (button == Qt::LeftButton)
            QCOMPARE(View()->textCursor().position(), 0);
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    void aClickOnTheSplashItselfClosesIt() {
        StartWithSplash();
        QPointer<CSplashWnd> splash = CSplashWnd::Current();
        QVERIFY(splash);
        QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(125, 100));
        QVERIFY(!CSplashWnd::Current());
        QTRY_VERIFY(!splash);
    }

    void releasingAButtonOrMovingTheMouseLeavesItOpen() {
        StartWithSplash();
        SetTextWithCaretAtEnd(u"abc"_s);
        QWidget* pane = View()->viewport();
        QTest::mouseMove(pane, QPoint(10, 10));
        QTest::mouseMove(pane, QPoint(40, 20));
        QTest::mouseRelease(pane, Qt::LeftButton, {}, QPoint(40, 20));
        QTest::keyRelease(View(), Qt::Key_X);
        QTest::mouseMove(CSplashWnd::Current(), QPoint(5, 5));
        QVERIFY(CSplashWnd::Current());
        QVERIFY(CSplashWnd::Current()->isVisible());
        QCOMPARE(View()->GetWholeText(), u"abc"_s);
    }

    void closingTheProgramWhileItIsShownTakesItAlong() {
        StartWithSplash();
        QPointer<CSplashWnd> splash = CSplashWnd::Current();
        QVERIFY(splash);
        fx->Stop();
        QVERIFY(!CSplashWnd::Current());
        QVERIFY(!splash);
    }

    void notShownWhenEmbeddedOrAutomated_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("-Embedding") << u"-Embedding"_s;
        QTest::newRow("/embedding") << u"/embedding"_s;
        QTest::newRow("-AUTOMATION") << u"-AUTOMATION"_s;
        QTest::newRow("/Automation") << u"/Automation"_s;
    }

    void notShownWhenEmbeddedOrAutomated() {
        QFETCH(QString, option);
        StartWithSplash({option});
        QVERIFY(!CSplashWnd::IsEnabled());
        QVERIFY(!CSplashWnd::Current());
        // Input goes straight to the pane.
        SetTextWithCaretAtEnd(u"abc"_s);
        QTest::keyClick(View(), Qt::Key_X);
        QCOMPARE(View()->GetWholeText(), u"abcx"_s);
    }
};

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
