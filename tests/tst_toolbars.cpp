#include "app/CMainFrame.h"
#include "app/CToolBar.h"
#include "app/LockIndicators.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "res/Toolbars.h"
#include "support/TestSupport.h"
#include "tags/Palette.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Lock states set by the test.
class FakeLockIndicators : public CLockIndicators {
public:
    FakeLockIndicators() : m_previous(CLockIndicators::Set(this)) {}
    ~FakeLockIndicators() override { CLockIndicators::Set(m_previous); }
    bool IsOn(Lock lock) override { return on[lock]; }
    bool on[kLockCount] = {};

private:
    CLockIndicators* m_previous;
};

QImage Picture(const QIcon& icon, QSize size, qreal ratio) {
    return icon.pixmap(size, ratio).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage Slice(const QString& path, int index, QSize size) {
    return QImage(path)
        .copy(index * size.width(), 0, size.width(), size.height())
        .convertToFormat(QImage::Format_ARGB32);
}

QList<QToolButton*> AllButtons(CMainFrame* frame) {
    return frame->MainToolBar()->Buttons() + frame->ColorBar()->Buttons();
}

int IdOf(QToolButton* button) {
    return button->defaultAction()->data().toInt();
}

} // namespace

// The main window's two toolbars and the panes of its status bar.
class TestToolbars : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;

private slots:
    void initTestCase() { platform::Initialize(); }

    void cleanup() {
        CMainFrame::s_failCreateStep = nullptr;
        fx.reset();
    }

    void stripsAreCutIntoOneIconPerButton() {
        const QList<QIcon> palette = res::LoadToolBarImages(res::PaletteToolBar());
        QCOMPARE(palette.size(), 17);
        const QSize narrow(5, 16);
        for (int i = 0; i < 16; ++i) {
            const QImage picture = Picture(palette[i], narrow, 1.0);
            QCOMPARE(picture.size(), narrow);
            // Each swatch is filled with exactly the colour it inserts.
            const QRgb expected =
                QColor(tags::FixedColorCode(res::PaletteToolBar().buttons[i])).rgb();
            QCOMPARE(picture.pixel(0, 0), expected);
            QCOMPARE(picture.pixel(2, 8), expected);
            QCOMPARE(picture.pixel(4, 15), expected);
        }
        // The chooser's picture: black letters on #C0C0C0.
        const QImage chooser = Picture(palette[16], narrow, 1.0);
        QCOMPARE(chooser.pixel(0, 0), qRgb(0xC0, 0xC0, 0xC0));
        QCOMPARE(chooser.pixel(1, 3), qRgb(0, 0, 0));

        const QList<QIcon> main = res::LoadToolBarImages(res::MainToolBar());
        QCOMPARE(main.size(), 23);
        const QSize square(16, 16);
        for (int i = 0; i < main.size(); ++i) {
            QCOMPARE(Picture(main[i], square, 1.0).size(), square);
            // High-density screens get the drawn 2x picture, not a scaled one.
            QImage dense = Picture(main[i], square, 2.0);
            QCOMPARE(dense.size(), square * 2);
            QImage expected = Slice(u":/images/toolbar_main@2x.png"_s, i, square * 2);
            for (int y = 0; y < expected.height(); ++y)
                for (int x = 0; x < expected.width(); ++x)
                    if (expected.pixel(x, y) == res::kFaceGrey)
                        expected.setPixel(x, y, 0); // the ground shows the bar's face
            dense.setDevicePixelRatio(1);
            expected.setDevicePixelRatio(1);
            QCOMPARE(dense, expected);
        }
        // The main toolbar's grey ground is see-through; its other colours are not.
        const QImage bold = Picture(main[8], square, 1.0);
        const QImage boldStrip = Slice(u":/images/toolbar_main.png"_s, 8, square);
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool ground = boldStrip.pixel(x, y) == res::kFaceGrey;
                QCOMPARE(qAlpha(bold.pixel(x, y)), ground ? 0 : 255);
                opaque += ground ? 0 : 1;
            }
        QVERIFY(opaque > 20);
    }

    void stripsOfTheWrongSizeAreRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"strip.png"_s);
        QImage strip(6, 2, QImage::Format_RGB32);
        strip.fill(Qt::red);
        QVERIFY(strip.save(path));
        QCOMPARE(res::LoadImageStrip(path, QSize(3, 2), 3).size(), 0);
        QCOMPARE(res::LoadImageStrip(path, QSize(3, 3), 2).size(), 0);
        QCOMPARE(res::LoadImageStrip(dir.filePath(u"none.png"_s), QSize(3, 2), 2).size(), 0);

        // Without a 2x strip beside it the 1x pictures serve; with one, its
        // pictures are used for twice the density.
        QList<QIcon> icons = res::LoadImageStrip(path, QSize(3, 2), 2);
        QCOMPARE(icons.size(), 2);
        QImage dense(12, 4, QImage::Format_RGB32);
        dense.fill(Qt::green);
        QVERIFY(dense.save(dir.filePath(u"strip@2x.png"_s)));
        icons = res::LoadImageStrip(path, QSize(3, 2), 2);
        QCOMPARE(Picture(icons[1], QSize(3, 2), 1.0).pixel(1, 1), qRgb(255, 0, 0));
        QCOMPARE(Picture(icons[1], QSize(3, 2), 2.0).pixel(5, 3), qRgb(0, 255, 0));
    }

    void buttonsStandInTheirOrderWithSeparators() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        const QList<int> main = {32771, 0,     57600, 57601, 57603, 0,     57635, 57634,
                                 57637, 0,     57607, 0,     32775, 32776, 32777, 32778,
                                 0,     32786, 32780, 32773, 32782, 32781, 0,     32789,
                                 32790, 32791, 32792, 0,     32787, 57664};
        QCOMPARE(frame->MainToolBar()->Layout(), main);
        // Black first with the highest colour identifier, the chooser last.
        const QList<int> palette = {32808, 32793, 32794, 32795, 32796, 32797, 32798, 32799, 32800,
                                    32801, 32802, 32803, 32804, 32805, 32806, 32807, 32809};
        QCOMPARE(frame->ColorBar()->Layout(), palette);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(tags::PaletteColors()[i].id, palette[i]);

        // Every button is its command's one action.
        for (QToolButton* button : AllButtons(frame)) {
            QCOMPARE(button->defaultAction(), frame->Action(IdOf(button)));
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        }
        QCOMPARE(frame->MainToolBar()->iconSize(), QSize(16, 16));
        QCOMPARE(frame->ColorBar()->iconSize(), QSize(5, 16));
        // Menus show no pictures.
        QVERIFY(!frame->Action(ID_FILE_SAVE)->isIconVisibleInMenu());
    }

    void barsLookAndDockAsDesigned() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        CToolBar* main = frame->MainToolBar();
        CToolBar* colors = frame->ColorBar();
        QVERIFY(main->isVisible() && colors->isVisible());

        // Main toolbar in the first row at the top, the palette in its own
        // row below it, both above the pane.
        QCOMPARE(frame->toolBarArea(main), Qt::TopToolBarArea);
        QCOMPARE(frame->toolBarArea(colors), Qt::TopToolBarArea);
        QVERIFY(!frame->toolBarBreak(main));
        QVERIFY(frame->toolBarBreak(colors));
        QVERIFY(colors->geometry().top() >= main->geometry().bottom());
        QVERIFY(frame->GetActiveView()->geometry().top() >= colors->geometry().bottom());

        // Flat buttons with a gripper above, raised ones without below.
        QVERIFY(main->HasGripper() && !colors->HasGripper());
        for (QToolButton* b : main->Buttons())
            QVERIFY(b->autoRaise());
        for (QToolButton* b : colors->Buttons())
            QVERIFY(!b->autoRaise());
        for (CToolBar* bar : {main, colors}) {
            QVERIFY(bar->isMovable());
            QVERIFY(bar->isFloatable());
            QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
            QVERIFY(!bar->isFloating());
        }
        // Palette buttons are narrow: less wide than a main toolbar button.
        QVERIFY(colors->Button(ID_COLOR_BLACK)->width() < main->Button(ID_BOLD)->width());
    }

    void disabledExactlyWhereNoHandlerTakesTheCommand() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        frame->GetActiveView()->SetWholeText(u"abc"_s);
        frame->UpdateCommandUI();
        for (QToolButton* button : AllButtons(frame))
            QVERIFY2(button->isEnabled() == frame->IsCommandEnabled(IdOf(button)),
                     qPrintable(QString::number(IdOf(button))));
        for (int id : {ID_BOLD, ID_TABLE_HEADER, ID_FILE_NEW, ID_COLOR_BLACK, ID_COLOR_CODE})
            QVERIFY(frame->MainToolBar()->Button(id) ? frame->MainToolBar()->Button(id)->isEnabled()
                                                     : frame->ColorBar()->Button(id)->isEnabled());
        // Cut and copy follow the selection.
        QVERIFY(!frame->MainToolBar()->Button(ID_EDIT_CUT)->isEnabled());
        frame->GetActiveView()->selectAll();
        QTRY_VERIFY(frame->MainToolBar()->Button(ID_EDIT_CUT)->isEnabled());
        QVERIFY(frame->MainToolBar()->Button(ID_EDIT_COPY)->isEnabled());
    }

    void tooltipsAndPromptsComeFromTheCommandTable() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        struct Sample {
            int id;
            QString tooltip;
            QString prompt;
        };
        const Sample samples[] = {
            {ID_BOLD, u"太字"_s, u"選択された文字を<B>で囲みます。"_s},
            {ID_TABLE_ROW, u"TRタグ挿入"_s, u"<TR>タグを挿入します。"_s},
            {ID_FILE_NEW, u"新規ﾌｧｲﾙ"_s, u"新規にﾌｧｲﾙを作成"_s},
            {ID_LINK_TAG, u"リンクタグ挿入"_s, u"選択された文字をリンクタグで囲みます。"_s},
            {ID_APP_ABOUT, u"ﾊﾞｰｼﾞｮﾝ情報"_s, u"ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"_s},
            {ID_COLOR_NAVY, u"色挿入"_s, u"指定された色を挿入します。"_s},
            {ID_COLOR_BLACK, u"色挿入"_s, u"指定された色を挿入します。"_s},
            {ID_COLOR_CODE, u"色コード挿入"_s, u"挿入したい色コードを挿入できます。"_s},
        };
        for (const Sample& s : samples) {
            QToolButton* button = frame->MainToolBar()->Button(s.id);
            if (!button)
                button = frame->ColorBar()->Button(s.id);
            QVERIFY(button);
            QCOMPARE(button->toolTip(), s.tooltip);
            QCOMPARE(button->statusTip(), s.prompt);
        }
    }

    void hoveringShowsThePromptInTheMessagePane() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        const QString ready = res::LoadString(res::IDS_IDLE_MESSAGE);
        QCOMPARE(frame->MessageText(), ready);
        auto* pane = frame->statusBar()->findChild<QLabel*>(u"messagePane"_s);
        QVERIFY(pane);
        for (int id : {int(ID_BOLD), int(ID_COLOR_RED), int(ID_EDIT_CUT)}) {
            QToolButton* button = frame->MainToolBar()->Button(id);
            if (!button)
                button = frame->ColorBar()->Button(id);
            QTest::mouseMove(frame->GetActiveView());
            QTRY_COMPARE(frame->MessageText(), ready);
            QTest::mouseMove(button);
            QTRY_COMPARE(frame->MessageText(), button->statusTip());
            // Shown as written, not taken for markup.
            QCOMPARE(pane->textFormat(), Qt::PlainText);
        }
        QTest::mouseMove(frame->GetActiveView());
        QTRY_COMPARE(frame->MessageText(), ready);
    }

    void floatingBarReflowsWhenResized() {
        // A bar outside a main window floats; it gets the main toolbar's buttons.
        QList<QAction*> actions;
        CToolBar bar(u"palette"_s);
        QVERIFY(bar.LoadToolBar(res::MainToolBar(), [&](int id) {
            auto* a = new QAction(&bar);
            a->setData(id);
            actions << a;
            return a;
        }));
        bar.SetFlat(false);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(bar.isFloating());
        const QSize oneRow = bar.sizeHint();
        QCOMPARE(bar.SizeForWidth(10000), oneRow);

        // Narrower: the same buttons in rows, each one whole and visible,
        // in reading order; the bar grows exactly as high as its rows.
        const QSize narrow = bar.SizeForWidth(oneRow.width() / 3);
        QVERIFY(narrow.width() <= oneRow.width() / 3);
        QVERIFY(narrow.height() >= 3 * (oneRow.height() - 10));
        bar.resize(narrow);
        QTRY_COMPARE(bar.size(), narrow);
        QCoreApplication::processEvents();
        QPoint last(-1, -1);
        int rows = 0;
        for (QToolButton* b : bar.Buttons()) {
            QVERIFY(b->isVisible());
            const QRect r(b->mapTo(&bar, QPoint(0, 0)), b->size());
            QVERIFY2(bar.rect().contains(r), qPrintable(b->objectName()));
            if (r.top() > last.y()) {
                ++rows;
            } else {
                QCOMPARE(r.top(), last.y());
                QVERIFY(r.left() > last.x());
            }
            last = r.topLeft();
        }
        QVERIFY(rows >= 3);
        // At every width a separator stands between two buttons of its line,
        // never at a line's start or end.
        const QWidget* strip = bar.findChild<QWidget*>(u"buttons"_s);
        QVERIFY(strip);
        for (int width = bar.SizeForWidth(0).width(); width <= oneRow.width(); width += 9) {
            bar.resize(bar.SizeForWidth(width));
            QTRY_COMPARE(bar.size(), bar.SizeForWidth(width));
            QCoreApplication::processEvents();
            QList<QWidget*> shown;
            for (QWidget* w : strip->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (w->isVisible())
                    shown << w;
            for (const QWidget* w : shown) {
                if (qobject_cast<const QToolButton*>(w))
                    continue;
                bool before = false, after = false;
                for (const QWidget* b : shown)
                    if (qobject_cast<const QToolButton*>(b) && b->y() == w->y()) {
                        before = before || b->geometry().right() < w->x();
                        after = after || b->x() > w->geometry().right();
                    }
                QVERIFY2(before && after, qPrintable(QString::number(width)));
            }
        }

        // Asking for a height picks the narrowest bar that fits it.
        const QSize twoRows = bar.SizeForHeight(oneRow.height() * 2);
        QVERIFY(twoRows.height() <= oneRow.height() * 2);
        QVERIFY(twoRows.width() < oneRow.width());

        // The right edge is dragged with the mouse.
        bar.resize(oneRow);
        QTRY_COMPARE(bar.size(), oneRow);
        const QPoint edge(bar.width() - 2, bar.height() / 2);
        QTest::mousePress(&bar, Qt::LeftButton, {}, edge);
        QTest::mouseMove(&bar, edge - QPoint(oneRow.width() / 2, 0));
        QTest::mouseRelease(&bar, Qt::LeftButton, {}, edge - QPoint(oneRow.width() / 2, 0));
        QCOMPARE(bar.size(), bar.SizeForWidth(oneRow.width() - oneRow.width() / 2));
        QVERIFY(bar.height() > oneRow.height());
    }

    void dockedBarWrapsInANarrowWindow() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        CToolBar* main = frame->MainToolBar();
        CToolBar* colors = frame->ColorBar();
        // Every button lies wholly inside the bar, and the bar inside the
        // window, above the palette's row.
        const auto allReachable = [&] {
            for (QToolButton* b : main->Buttons()) {
                const QRect inBar(b->mapTo(main, QPoint(0, 0)), b->size());
                if (!b->isVisible() || !main->rect().contains(inBar))
                    return false;
            }
            return frame->rect().contains(main->geometry()) &&
                   colors->geometry().top() >= main->geometry().bottom();
        };
        const auto oneRow = [&] {
            const QList<QToolButton*> buttons = main->Buttons();
            return buttons.first()->y() == buttons.last()->y();
        };
        const auto settled = [&] { return main->height() == main->sizeHint().height(); };
        frame->resize(1000, frame->height());
        QTRY_VERIFY(oneRow() && settled());
        QVERIFY(allReachable());
        const int oneRowHeight = main->height();

        frame->resize(260, frame->height());
        QTRY_VERIFY(allReachable());
        QVERIFY(!oneRow());
        QVERIFY(main->height() > oneRowHeight);

        frame->resize(1000, frame->height());
        QTRY_COMPARE(main->height(), oneRowHeight);
        QVERIFY(oneRow());
        QVERIFY(allReachable());
    }

    void barsSharingARowBothWrapInANarrowWindow() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        CToolBar* main = frame->MainToolBar();
        CToolBar* colors = frame->ColorBar();
        // The user docks the palette beside the main toolbar.
        frame->removeToolBarBreak(colors);
        QTRY_COMPARE(colors->geometry().top(), main->geometry().top());
        const auto inside = [&](CToolBar* bar) {
            for (QToolButton* b : bar->Buttons()) {
                const QRect inBar(b->mapTo(bar, QPoint(0, 0)), b->size());
                if (!b->isVisible() || !bar->rect().contains(inBar))
                    return false;
            }
            return frame->rect().contains(bar->geometry());
        };
        for (int width : {1000, 420, 300, 1000}) {
            frame->resize(width, frame->height());
            QTRY_VERIFY2(inside(main) && inside(colors), qPrintable(QString::number(width)));
            QVERIFY(!main->geometry().intersects(colors->geometry()));
        }
    }

    void aFloatingPaletteLeavesTheMainWindowActive() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        CToolBar* colors = frame->ColorBar();
        // Floated as a drag away from the dock floats it: a frameless tool window.
        colors->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        colors->show();
        QVERIFY(QTest::qWaitForWindowExposed(colors));
        QVERIFY(colors->isFloating());
        frame->activateWindow(); // the offscreen platform activates every window it shows
        QTRY_COMPARE(QApplication::activeWindow(), frame);

        // A click on the floating bar does not activate it: the keyboard stays
        // in the pane, and the chooser belongs to the main window.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"WindowDoesNotAcceptFocus"_s));
        colors->activateWindow();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), frame);
        QCOMPARE(QApplication::focusWidget(), frame->GetActiveView());
        testing::FakeColorChooser chooser;
        chooser.answers << QColor(0, 0, 128);
        QTest::mouseClick(colors->Button(ID_COLOR_CODE), Qt::LeftButton);
        QCOMPARE(chooser.owners, QList<QWidget*>{frame});
        QCOMPARE(frame->GetActiveView()->GetWholeText(), u"#000080"_s);
        fx->Doc()->SetModifiedFlag(false);
    }

    void lockPanesShowOnlyWhileTheirLockIsOn() {
        FakeLockIndicators locks;
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        CMainFrame* frame = fx->Frame();
        const QStringList texts = {u"ｶﾅ"_s, u"CAP"_s, u"NUM"_s, u"SCRL"_s};
        QList<QLabel*> panes;
        for (const QString& text : texts) {
            auto* pane = frame->statusBar()->findChild<QLabel*>(u"indicator"_s + text);
            QVERIFY(pane);
            QVERIFY(pane->isVisible());
            QCOMPARE(pane->text(), QString());
            panes << pane;
        }
        // Left to right after the message pane, each keeping its width.
        auto* message = frame->statusBar()->findChild<QLabel*>(u"messagePane"_s);
        int x = message->geometry().right();
        for (QLabel* pane : panes) {
            QVERIFY(pane->geometry().left() > x);
            x = pane->geometry().right();
        }
        const int capWidth = panes[1]->width();

        locks.on[CLockIndicators::Caps] = true;
        frame->UpdateIndicators();
        QCOMPARE(panes[1]->text(), u"CAP"_s);
        QCOMPARE(panes[0]->text(), QString());
        QCOMPARE(panes[2]->text(), QString());
        QCOMPARE(panes[1]->width(), capWidth);

        // A key press brings the panes up to date.
        locks.on[CLockIndicators::Caps] = false;
        locks.on[CLockIndicators::Kana] = true;
        locks.on[CLockIndicators::Num] = true;
        locks.on[CLockIndicators::Scroll] = true;
        QTest::keyClick(frame->GetActiveView(), Qt::Key_Shift);
        QCoreApplication::processEvents();
        QCOMPARE(panes[0]->text(), u"ｶﾅ"_s);
        QCOMPARE(panes[1]->text(), QString());
        QCOMPARE(panes[2]->text(), u"NUM"_s);
        QCOMPARE(panes[3]->text(), u"SCRL"_s);

        // And so does the slow timer, without any key.
        locks.on[CLockIndicators::Scroll] = false;
        QTRY_COMPARE_WITH_TIMEOUT(panes[3]->text(), QString(), 5000);
    }

    void withoutAnXServerEveryLockReadsOff() {
        CX11LockIndicators x11;
        for (int lock = 0; lock < CLockIndicators::kLockCount; ++lock)
            QVERIFY(!x11.IsOn(CLockIndicators::Lock(lock)));
    }

    void aFailingStepFailsTheFrame() {
        const CMainFrame::CreateStep steps[] = {
            CMainFrame::CreateStep::MainToolBar,     CMainFrame::CreateStep::MainToolBarButtons,
            CMainFrame::CreateStep::StatusBar,       CMainFrame::CreateStep::Indicators,
            CMainFrame::CreateStep::DockMainToolBar, CMainFrame::CreateStep::ColorBarObject,
            CMainFrame::CreateStep::ColorBar,        CMainFrame::CreateStep::ColorBarButtons,
            CMainFrame::CreateStep::ColorBarStyle,   CMainFrame::CreateStep::DockColorBar,
        };
        QList<CMainFrame::CreateStep> reached;
        for (const CMainFrame::CreateStep failing : steps) {
            reached.clear();
            CMainFrame::s_failCreateStep = [&](CMainFrame::CreateStep step) {
                reached << step;
                return step == failing;
            };
            fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
            QVERIFY(!fx->started);
            QVERIFY(!fx->Frame());
            QCOMPARE(fx->ui.warnings, QStringList{res::LoadString(res::IDP_FAILED_TO_CREATE_DOC)});
            // Creation stopped at the failing step.
            QCOMPARE(reached.last(), failing);
            fx.reset();
        }
        // All steps pass, in their order, when none fails.
        reached.clear();
        CMainFrame::s_failCreateStep = [&](CMainFrame::CreateStep step) {
            reached << step;
            return false;
        };
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
        QCOMPARE(reached, QList<CMainFrame::CreateStep>(std::begin(steps), std::end(steps)));
    }
};

QTEST_MAIN(TestToolbars)
#include "tst_toolbars.moc"
