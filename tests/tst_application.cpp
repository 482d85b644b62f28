#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/CommandLine.h"
#include "app/Platform.h"
#include "app/RecentFileList.h"
#include "dict/DictionaryCommand.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/CommandTable.h"
#include "find/FindReplace.h"
#include "io/FileNames.h"
#include "print/CPrintPreview.h"
#include "print/Printing.h"
#include "res/CommandIds.h"
#include "res/Menus.h"
#include "support/TestSupport.h"
#include "tags/TagCommands.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testing::AppFixture;

// Start-up, command line, menus, accelerators, routing and recent files.
class TestApplication : public QObject {
    Q_OBJECT

    static QStringList MenuTexts(QMenu* menu) {
        QStringList texts;
        for (QAction* a : menu->actions())
            if (a->isVisible())
                texts << (a->isSeparator() ? u"-"_s : a->text());
        return texts;
    }

    static QMenu* TopMenu(CMainFrame* frame, int index) {
        return frame->menuBar()->actions().at(index)->menu();
    }

private slots:
    void initTestCase() { platform::Initialize(); }

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<bool>("splash");
        using C = CCommandLineInfo;
        QTest::newRow("nothing") << QStringList{} << int(C::FileNew) << "" << "" << true;
        QTest::newRow("file") << QStringList{"a.html"} << int(C::FileOpen) << "a.html" << "" << true;
        QTest::newRow("absolute path") << QStringList{"/tmp/a.html"} << int(C::FileOpen)
                                       << "/tmp/a.html" << "" << true;
        QTest::newRow("print") << QStringList{"/p", "a.html"} << int(C::FilePrint) << "a.html" << ""
                               << true;
        QTest::newRow("print dash") << QStringList{"-p", "a.html"} << int(C::FilePrint) << "a.html"
                                    << "" << true;
        QTest::newRow("print is case-sensitive")
            << QStringList{"-P", "a.html"} << int(C::FileOpen) << "a.html" << "" << true;
        QTest::newRow("print to") << QStringList{"/pt", "a.html", "lp1", "drv", "port"}
                                  << int(C::FilePrintTo) << "a.html" << "lp1" << true;
        QTest::newRow("embedding any case")
            << QStringList{"-eMbEdDiNg"} << int(C::FileNew) << "" << "" << false;
        QTest::newRow("automation") << QStringList{"/Automation", "b.htm"} << int(C::FileOpen)
                                    << "b.htm" << "" << false;
        QTest::newRow("unregister") << QStringList{"/UNREGISTER"} << int(C::AppUnregister) << ""
                                    << "" << true;
        QTest::newRow("unregserver") << QStringList{"-unregserver"} << int(C::AppUnregister) << ""
                                     << "" << true;
        QTest::newRow("dde exact case") << QStringList{"/dde"} << int(C::FileDDE) << "" << ""
                                        << true;
        QTest::newRow("DDE is no switch") << QStringList{"/DDE"} << int(C::FileOpen) << "/DDE"
                                          << "" << true;
        QTest::newRow("unknown switch") << QStringList{"-x", "c.html"} << int(C::FileOpen)
                                        << "c.html" << "" << true;
    }

    void commandLine() {
        QFETCH(QStringList, args);
        const CCommandLineInfo info = ParseCommandLine(args);
        QTEST(int(info.m_nShellCommand), "command");
        QTEST(info.m_strFileName, "file");
        QTEST(info.m_strPrinterName, "printer");
        QTEST(info.m_bShowSplash, "splash");
    }

    void terminalRequests_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("request");
        using R = TerminalRequest;
        QTest::newRow("none") << QStringList{"-p", "a.html"} << int(R::None);
        QTest::newRow("help after a file") << QStringList{"a.html", "--help"} << int(R::Help);
        QTest::newRow("short help") << QStringList{"-h"} << int(R::Help);
        QTest::newRow("first one counts") << QStringList{"--version", "--help"} << int(R::Version);
        QTest::newRow("slash is a path") << QStringList{"/help"} << int(R::None);
        QTest::newRow("exact spelling") << QStringList{"--HELP", "-version"} << int(R::None);
    }

    void terminalRequests() {
        QFETCH(QStringList, args);
        QTEST(int(FindTerminalRequest(args)), "request");
    }

    void usageLanguage_data() {
        QTest::addColumn<QString>("lcAll");
        QTest::addColumn<QString>("lcMessages");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("japanese");
        QTest::newRow("LANG") << "" << "" << "ja_JP.UTF-8" << true;
        QTest::newRow("utf8 spelling") << "" << "" << "ja_JP.utf8" << true;
        QTest::newRow("no codeset") << "" << "" << "ja" << true;
        QTest::newRow("modifier") << "" << "ja_JP.UTF-8@x" << "" << true;
        QTest::newRow("EUC-JP garbles") << "" << "" << "ja_JP.eucJP" << false;
        QTest::newRow("LC_ALL wins") << "C.UTF-8" << "" << "ja_JP.UTF-8" << false;
        QTest::newRow("LC_MESSAGES before LANG") << "" << "ja_JP.UTF-8" << "en_US.UTF-8" << true;
        QTest::newRow("nothing set") << "" << "" << "" << false;
        QTest::newRow("other language") << "" << "" << "jv_ID.UTF-8" << false;
    }

    void usageLanguage() {
        QFETCH(QString, lcAll);
        QFETCH(QString, lcMessages);
        QFETCH(QString, lang);
        QTEST(UsageInJapanese(lcAll, lcMessages, lang), "japanese");
    }

    void abbreviatedPaths() {
        QCOMPARE(AbbreviatePath(u"/home/u/a.html"_s), u"/home/u/a.html"_s);
        QCOMPARE(AbbreviatePath(u"/home/someone/projects/site/pages/index.html"_s),
                 u"/.../site/pages/index.html"_s);
        QVERIFY(AbbreviatePath(u"/home/someone/projects/site/pages/index.html"_s).size() <= 30);
        // The file name stays whole even when it alone is too long.
        const QString longName = u"a-very-long-file-name-that-does-not-fit.html"_s;
        QCOMPARE(AbbreviatePath(u"/srv/"_s + longName), longName);
        QCOMPARE(AbbreviatePath(uR"(C:\Documents and Settings\user\My Documents\x.html)"_s),
                 uR"(C:\...\My Documents\x.html)"_s);
    }

    void recentFileList() {
        testing::ScopedSettings settings;
        QTemporaryDir dir;
        CRecentFileList list;
        for (const char* name : {"1.html", "2.html", "3.html", "4.html", "5.html", "3.html"})
            list.Add(dir.filePath(QString::fromLatin1(name)));
        QCOMPARE(list.Files(), QStringList({dir.filePath(u"3.html"_s), dir.filePath(u"5.html"_s),
                                            dir.filePath(u"4.html"_s), dir.filePath(u"2.html"_s)}));
        QVERIFY(list.MenuLabel(0).startsWith(u"&1 "_s));
        QVERIFY(list.MenuLabel(3).startsWith(u"&4 "_s));
        CRecentFileList amp;
        amp.Add(u"/t/R&D.html"_s);
        QCOMPARE(amp.MenuLabel(0), u"&1 /t/R&&D.html"_s);

        auto store = platform::OpenSettings();
        list.WriteList(*store);
        store->sync();
        QCOMPARE(store->value(u"Recent File List/File1"_s).toString(), dir.filePath(u"3.html"_s));
        CRecentFileList read;
        read.ReadList(*store);
        QCOMPARE(read.Files(), list.Files());
    }

    void startsWithAnUntitledDocument() {
        AppFixture f;
        QVERIFY(f.started);
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
        QCOMPARE(f.View()->GetWholeText(), QString());
        QCOMPARE(f.Frame()->MessageText(), u"ﾚﾃﾞｨ"_s);
        QVERIFY(f.ui.warnings.isEmpty());
    }

    void startsOnAFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        testing::WriteBytes(path, "<HTML>\r\n\x82\xa0</HTML>");
        AppFixture f({path});
        QVERIFY(f.started);
        QCOMPARE(f.Frame()->windowTitle(), u"page.html - Velm HTML Editor"_s);
        QCOMPARE(f.View()->GetWholeText(), u"<HTML>\u2029あ</HTML>"_s);
        QVERIFY(!f.Doc()->IsModified());
    }

    void missingFileOnTheCommandLineEndsTheProgram() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"none.html"_s);
        AppFixture f({path});
        QVERIFY(!f.started);
        QCOMPARE(f.ui.warnings, QStringList{path + u" が見つかりませんでした。"_s});
        QVERIFY(f.app->ExitCode() != 0);
    }

    void menusAsGiven() {
        AppFixture f;
        CMainFrame* frame = f.Frame();
        const QList<QAction*> top = frame->menuBar()->actions();
        QCOMPARE(top.size(), 3);
        QCOMPARE(top[0]->text(), u"ﾌｧｲﾙ(&F)"_s);
        QCOMPARE(top[1]->text(), u"編集(&E)"_s);
        QCOMPARE(top[2]->text(), u"ﾍﾙﾌﾟ(&H)"_s);
        QCOMPARE(MenuTexts(TopMenu(frame, 0)),
                 QStringList({u"新規作成(&N)\tCtrl+N"_s, u"開く(&O)...\tCtrl+O"_s,
                              u"上書き保存(&S)\tCtrl+S"_s, u"名前を付けて保存(&A)..."_s, u"-"_s,
                              u"印刷(&P)...\tCtrl+P"_s, u"印刷ﾌﾟﾚﾋﾞｭｰ(&V)"_s,
                              u"ﾌﾟﾘﾝﾀの設定(&R)..."_s, u"-"_s, u"最近使ったﾌｧｲﾙ"_s, u"-"_s,
                              u"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"_s}));
        QCOMPARE(MenuTexts(TopMenu(frame, 1)),
                 QStringList({u"元に戻す(&U)\tCtrl+Z"_s, u"-"_s, u"切り取り(&T)\tCtrl+X"_s,
                              u"ｺﾋﾟｰ(&C)\tCtrl+C"_s, u"貼り付け(&P)\tCtrl+V"_s,
                              u"すべて選択(&L)\tCtrl+A"_s, u"-"_s, u"検索(&F)...\tCtrl+F"_s,
                              u"次を検索(&I)\tF3"_s, u"置換(&E)\tCtrl+H"_s}));
        QCOMPARE(MenuTexts(TopMenu(frame, 2)), QStringList({u"バージョン情報(&A)..."_s}));
        // The placeholder of the recent files is greyed while the list is empty.
        QVERIFY(!frame->Action(ID_FILE_MRU_FILE1)->isEnabled());
    }

    void acceleratorTable() {
        AppFixture f;
        auto keysOf = [&](int id) { return f.Frame()->Action(id)->shortcuts(); };
        QVERIFY(keysOf(ID_EDIT_UNDO).contains(QKeySequence(u"Ctrl+Z"_s)));
        QVERIFY(keysOf(ID_EDIT_UNDO).contains(QKeySequence(u"Alt+Backspace"_s)));
        QVERIFY(keysOf(ID_EDIT_CUT).contains(QKeySequence(u"Shift+Del"_s)));
        QVERIFY(keysOf(ID_EDIT_COPY).contains(QKeySequence(u"Ctrl+Ins"_s)));
        QVERIFY(keysOf(ID_EDIT_PASTE).contains(QKeySequence(u"Shift+Ins"_s)));
        QVERIFY(keysOf(ID_CANCEL_EDIT).contains(QKeySequence(u"Esc"_s)));
        QVERIFY(keysOf(ID_LINE_BREAK).contains(QKeySequence(u"Ctrl+Return"_s)));
        QVERIFY(keysOf(ID_NEXT_PANE).contains(QKeySequence(u"F6"_s)));
        QVERIFY(keysOf(ID_PREV_PANE).contains(QKeySequence(u"Shift+F6"_s)));
        // The table's order, as data.
        QCOMPARE(res::MainAccelerators().size(), size_t(20));
        QCOMPARE(res::MainAccelerators().front().id, int(ID_EDIT_SELECT_ALL));
        QCOMPARE(res::MainAccelerators().back().id, int(ID_EDIT_UNDO));
    }

    void unhandledCommandsAreDisabledAndDoNothing() {
        AppFixture f;
        CMainFrame* frame = f.Frame();
        // Esc has no handler anywhere: disabled, and the key changes nothing.
        QVERIFY(!frame->Action(ID_CANCEL_EDIT)->isEnabled());
        QVERIFY(!frame->RouteCommand(ID_CANCEL_EDIT));
        f.View()->setFocus();
        QTest::keyClicks(f.View(), u"abc"_s);
        QTest::keyClick(f.View(), Qt::Key_Escape);
        QCOMPARE(f.View()->GetWholeText(), u"abc"_s);
        frame->UpdateCommandUI();
        // Commands with handlers follow their handler's state.
        QVERIFY(frame->Action(ID_FILE_NEW)->isEnabled());
        QVERIFY(frame->Action(ID_FILE_SAVE)->isEnabled());
        QVERIFY(frame->Action(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(!frame->Action(ID_EDIT_COPY)->isEnabled());
        f.View()->selectAll();
        frame->UpdateCommandUI();
        QVERIFY(frame->Action(ID_EDIT_COPY)->isEnabled());
        QVERIFY(frame->Action(ID_EDIT_CUT)->isEnabled());
        for (const CommandInfo& c : AllCommands())
            QCOMPARE(frame->Action(c.id)->isEnabled(), frame->IsCommandEnabled(c.id));
    }

    // Where the routing finds each command of CommandIds.h, and whether it
    // may run, with and without a selection and while print preview shows.
    void everyCommandFindsItsHandler_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QList<int>>("disabled"); // handled, yet not available
        const QList<int> recent = {ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE2, ID_FILE_MRU_FILE3,
                                   ID_FILE_MRU_FILE4};
        QTest::newRow("no selection") << u"empty"_s << recent + QList<int>{ID_EDIT_COPY, ID_EDIT_CUT,
                                         ID_EDIT_SELECT_ALL, ID_EDIT_UNDO};
        QTest::newRow("selection") << u"selection"_s << recent + QList<int>{ID_EDIT_UNDO};
        QTest::newRow("preview") << u"preview"_s << recent;
    }
    void everyCommandFindsItsHandler() {
        QFETCH(QString, state);
        QFETCH(QList<int>, disabled);
        QFile header(QStringLiteral(VELM_COMMAND_IDS));
        QVERIFY(header.open(QIODevice::ReadOnly));
        QList<int> ids;
        for (const auto& m : QRegularExpression(u"ID_\\w+ = (\\d+)"_s).globalMatch(header.readAll()))
            ids << m.captured(1).toInt();
        QCOMPARE(ids.size(), 64);
        const std::map<QString, QList<int>> places = {
            {u"view"_s, {ID_FILE_OPEN, ID_EDIT_COPY, ID_EDIT_CUT, ID_EDIT_PASTE, ID_EDIT_SELECT_ALL,
                         ID_EDIT_UNDO}},
            {u"tags"_s, {ID_NEW_HTML_DOCUMENT, ID_LINE_BREAK, ID_FONT_TAG, ID_BOLD, ID_ITALIC,
                         ID_UNDERLINE, ID_CENTER, ID_MAIL_TAG, ID_HR_TAG, ID_IMAGE_TAG, ID_LINK_TAG,
                         ID_TABLE_TAG, ID_TABLE_ROW, ID_TABLE_DATA, ID_TABLE_HEADER, ID_COLOR_CODE}},
            {u"dict"_s, {ID_TAG_DICTIONARY}},
            {u"find"_s, {ID_EDIT_FIND, ID_EDIT_REPEAT, ID_EDIT_REPLACE}},
            {u"print"_s, {ID_FILE_PRINT, ID_FILE_PRINT_DIRECT, ID_FILE_PRINT_PREVIEW}},
            {u"document"_s, {ID_FILE_SAVE, ID_FILE_SAVE_AS}},
            {u"app"_s, {ID_FILE_NEW, ID_FILE_PRINT_SETUP, ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE2,
                        ID_FILE_MRU_FILE3, ID_FILE_MRU_FILE4, ID_APP_ABOUT, ID_APP_EXIT}},
        };
        // Print preview takes the view's place whole: what it does not
        // handle itself there reaches nobody.
        const QList<int> previewHandles = {ID_FILE_OPEN, ID_FILE_PRINT, ID_FILE_PRINT_SETUP,
                                           ID_CANCEL_EDIT};
        auto expected = [&](int id) {
            if (state == u"preview"_s && previewHandles.contains(id))
                return u"preview"_s;
            if (id >= ID_COLOR_WHITE && id <= ID_COLOR_BLACK)
                return state == u"preview"_s ? u"none"_s : u"tags"_s;
            for (const auto& [place, handled] : places)
                if (handled.contains(id))
                    return state == u"preview"_s && place != u"document"_s && place != u"app"_s
                               ? u"none"_s : place;
            return u"none"_s;
        };
        AppFixture f;
        CMainFrame* frame = f.Frame();
        QApplication::clipboard()->setText(u"x"_s);
        if (state != u"empty"_s)
            testing::SetText(f.View(), u"abc def"_s, 0, 3);
        if (state == u"preview"_s)
            QVERIFY(frame->RouteCommand(ID_FILE_PRINT_PREVIEW));
        auto placeOf = [&](const CCmdTarget* t) {
            return !t ? u"none"_s : t == f.View() ? u"view"_s
                 : dynamic_cast<const CTagCommands*>(t) ? u"tags"_s
                 : dynamic_cast<const CDictionaryCommands*>(t) ? u"dict"_s
                 : dynamic_cast<const CFindCommands*>(t) ? u"find"_s
                 : dynamic_cast<const CPrintCommands*>(t) ? u"print"_s
                 : dynamic_cast<const CPrintPreview*>(t) ? u"preview"_s
                 : t == f.Doc() ? u"document"_s : t == frame ? u"frame"_s
                 : t == f.app.get() ? u"app"_s : u"other"_s;
        };
        for (int id : ids) {
            const QString place = placeOf(frame->CommandTarget(id));
            QCOMPARE(u"%1 %2"_s.arg(id).arg(place), u"%1 %2"_s.arg(id).arg(expected(id)));
            QCOMPARE(frame->IsCommandEnabled(id), place != u"none"_s && !disabled.contains(id));
        }
    }

    void viewIsAskedBeforeTheApplication() {
        // Both the view and the application handle 57601; the view's dialog runs.
        AppFixture f;
        QVERIFY(f.app->HasCommand(ID_FILE_OPEN));
        QVERIFY(f.View()->HasCommand(ID_FILE_OPEN));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_OPEN));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.ui.openDialogs, 1);
        QVERIFY(!f.Doc()->IsModified());
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
    }

    void shortcutsReachTheirCommands() {
        AppFixture f;
        f.View()->setFocus();
        QTest::keyClicks(f.View(), u"hello"_s);
        QTest::keyClick(f.View(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.View()->GetSelectedText(), u"hello"_s);
        QTest::keyClick(f.View(), Qt::Key_Delete, Qt::ShiftModifier); // cut
        QCOMPARE(f.View()->GetWholeText(), QString());
        QTest::keyClick(f.View(), Qt::Key_Insert, Qt::ShiftModifier); // paste
        QCOMPARE(f.View()->GetWholeText(), u"hello"_s);
        QTest::keyClick(f.View(), Qt::Key_Backspace, Qt::AltModifier); // undo
        QCOMPARE(f.View()->GetWholeText(), QString());
    }

    void promptsShowWhileHovering() {
        AppFixture f;
        CMainFrame* frame = f.Frame();
        QMenu* file = TopMenu(frame, 0);
        file->popup(frame->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        QAction* save = frame->Action(ID_FILE_SAVE);
        file->setActiveAction(save);
        QTRY_COMPARE(frame->MessageText(), u"作業中のﾌｧｲﾙを上書きして保存"_s);
        file->hide();
        // A greyed item explains itself as well.
        QMenu* edit = TopMenu(frame, 1);
        QAction* undo = frame->Action(ID_EDIT_UNDO);
        QVERIFY(!undo->isEnabled());
        edit->popup(frame->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(edit));
        edit->setActiveAction(undo);
        QTRY_COMPARE(frame->MessageText(), u"直前に行った動作を元に戻す"_s);
        // Choosing it does nothing.
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(f.View()->GetWholeText().isEmpty());
        edit->hide();
        QStatusTipEvent idle{QString()};
        QApplication::sendEvent(frame, &idle);
        QCOMPARE(frame->MessageText(), u"ﾚﾃﾞｨ"_s);
        QCOMPARE(save->toolTip(), u"保存"_s);
        QCOMPARE(CommandPrompt(ID_LINK_TAG), u"選択された文字をリンクタグで囲みます。"_s);
        QCOMPARE(CommandTooltip(ID_COLOR_CODE), u"色コード挿入"_s);
    }

    void recentFilesSurviveARestart() {
        QTemporaryDir dir;
        AppFixture f;
        QStringList paths;
        for (int i = 1; i <= 5; ++i) {
            paths << dir.filePath(u"f%1.html"_s.arg(i));
            testing::WriteBytes(paths.last(), "x");
            QCOMPARE(testing::Open(*f.app, paths.last()), CEditorApp::OpenResult::Opened);
        }
        QVERIFY(f.Start({}));
        const QStringList expected = {paths[4], paths[3], paths[2], paths[1]};
        QCOMPARE(f.app->RecentFiles().Files(), expected);
        QMenu* file = TopMenu(f.Frame(), 0);
        const QStringList texts = MenuTexts(file);
        const qsizetype first = texts.indexOf(u"&1 "_s + AbbreviatePath(paths[4]));
        QVERIFY2(first > 0, qPrintable(texts.join(u'|')));
        QCOMPARE(texts.mid(first, 4),
                 QStringList({u"&1 "_s + AbbreviatePath(paths[4]), u"&2 "_s + AbbreviatePath(paths[3]),
                              u"&3 "_s + AbbreviatePath(paths[2]), u"&4 "_s + AbbreviatePath(paths[1])}));
        // Choosing an entry opens it; one that vanished leaves the list.
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_MRU_FILE3));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.Doc()->GetPathName(), paths[2]);
        QCOMPARE(f.app->RecentFiles().Files().first(), paths[2]);
        QFile::remove(paths[1]);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_MRU_FILE4));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.ui.warnings.size(), 1);
        QVERIFY(!f.app->RecentFiles().Files().contains(paths[1]));
    }

    // A file whose name is Shift-JIS bytes (as an old archive unpacks)
    // opens, shows its name readably, saves back under the same bytes and
    // stays in the recent list across a restart.
    void shiftJisFileNameKeepsItsBytes() {
        QTemporaryDir dir;
        const QByteArray name = QFile::encodeName(dir.path()) + "/\x93\xfa\x96\x7b.html"; // 日本.html
        const QString path = io::DecodeName(name);
        QCOMPARE(io::EncodeName(path), name);
        QCOMPARE(io::DisplayName(path), dir.path() + u"/日本.html"_s);
        QFile raw;
        {
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "<P>x</P>", 8), ssize_t(8));
            ::close(fd);
        }
        AppFixture f({path});
        QVERIFY(f.started);
        QCOMPARE(f.Frame()->windowTitle(), u"日本.html - Velm HTML Editor"_s);
        f.View()->selectAll();
        QTest::keyClicks(f.View(), u"<P>y</P>"_s);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        // Saved under the same name: the folder holds that one file only.
        QStringList names;
        if (DIR* folder = ::opendir(QFile::encodeName(dir.path()).constData())) {
            while (const dirent* entry = ::readdir(folder))
                names << io::DecodeName(entry->d_name);
            ::closedir(folder);
        }
        names.sort();
        QCOMPARE(names, QStringList({u"."_s, u".."_s, path.mid(dir.path().size() + 1)}));
        const int fd = ::open(name.constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        char back[16] = {};
        QCOMPARE(::read(fd, back, sizeof back), ssize_t(8));
        ::close(fd);
        QCOMPARE(QByteArray(back), QByteArray("<P>y</P>"));
        QVERIFY(f.Start({}));
        QCOMPARE(f.app->RecentFiles().Files().first(), path);
        QVERIFY(MenuTexts(TopMenu(f.Frame(), 0)).contains(u"&1 "_s + AbbreviatePath(dir.path() + u"/日本.html"_s)));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_MRU_FILE1));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.Doc()->GetPathName(), path);
        QCOMPARE(f.ui.warnings, QStringList());
    }

    // A very long recent entry loses its middle in the menu; the whole path
    // is its tooltip.
    void longRecentEntryIsElided() {
        QTemporaryDir dir;
        QString path = dir.path();
        for (int i = 0; i < 60; ++i)
            path += u"/folder-with-a-long-name-%1"_s.arg(i);
        path += u'/' + QString(200, u'x') + u".html"_s;
        AppFixture f;
        f.app->AddToRecentFileList(path);
        QAction* first = f.Frame()->Action(ID_FILE_MRU_FILE1);
        QVERIFY(first->text().contains(u"…"_s));
        QVERIFY(first->text().size() < 100);
        QCOMPARE(first->toolTip(), path);
        QMenu* file = TopMenu(f.Frame(), 0);
        QVERIFY(file->sizeHint().width() < f.Frame()->screen()->availableGeometry().width() / 2);
    }

    void unregisterRemovesTheSettings() {
        testing::ScopedSettings settings;
        {
            auto store = platform::OpenSettings();
            store->setValue(u"Recent File List/File1"_s, u"/x.html"_s);
            store->sync();
            QVERIFY(QFile::exists(store->fileName()));
        }
        AppFixture f({u"/Unregister"_s});
        QVERIFY(!f.started);
        QCOMPARE(f.ui.informations.size(), 1);
        QCOMPARE(f.ui.informations.first(),
                 u"ｼｽﾃﾑ ﾚｼﾞｽﾄﾘ ｴﾝﾄﾘは削除されています。また、INI ﾌｧｲﾙがある場合は、INI ﾌｧｲﾙも削除されました。"_s);
        QVERIFY(!QFile::exists(platform::OpenSettings()->fileName()));
        // The program ends through ExitInstance, which must not write the
        // recent files it had loaded back into the removed store.
        QCOMPARE(f.app->ExitInstance(), 0);
        QVERIFY(!QFile::exists(platform::OpenSettings()->fileName()));
    }

    void previewPagesPersist() {
        AppFixture f;
        QCOMPARE(f.app->PreviewPages(), 0);
        f.app->SetPreviewPages(2);
        QVERIFY(f.Start({}));
        QCOMPARE(f.app->PreviewPages(), 2);
        QCOMPARE(platform::OpenSettings()->value(u"Settings/PreviewPages"_s).toInt(), 2);
    }
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
