#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "app/CRecoveryKeeper.h"
#include "pane/FileLoader.h"
#include "io/CodePage932.h"
#include "io/FileIo.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QScopedValueRollback>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QFile>
#include <QInputMethodEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;
using testing::AppFixture;

namespace {

// A page with two-byte characters, a duplicate code, raw bytes, long lines
// and every line break form; at least `size` bytes.
QByteArray MixedPage(qsizetype size) {
    QByteArray page = "<HTML>\r\n\xed\x40 NEC-selected duplicate\n\x81\x20raw\rlone\x80\r\n";
    const QByteArray row = "<TD>\x93\xfa\x96\x7b\x8c\xea \xc3\xbd\xc4</TD>\r\n";
    QByteArray longLine;
    while (longLine.size() < 5000)
        longLine += "<B>\x82\xa0\x82\xa2</B>";
    while (page.size() < size) {
        page += row;
        if (page.size() % 7 == 0)
            page += longLine + "\n";
    }
    return page + longLine; // the last line without a break
}

// A page in `dir` read in four decoding steps (slow ones, with a step delay).
QString SlowPage(const QTemporaryDir& dir) {
    const QString path = dir.filePath(u"big.html"_s);
    testing::WriteBytes(path, MixedPage(4 * cp932::kDecodeStep));
    return path;
}

// What the pane shows: its paragraphs and which separators are splits.
struct PaneState {
    QString paneText;
    QString wholeText;
    std::vector<int> splits;
    int blocks = 0;
    bool undo = false;
    bool redo = false;
    bool modified = false;
    int caret = 0;
    QList<QMap<int, QVariant>> formats; // of every paragraph
    bool operator==(const PaneState&) const = default;
};

PaneState StateOf(CEditorView* view) {
    PaneState s;
    s.paneText = view->document()->toRawText();
    s.wholeText = view->GetWholeText();
    s.splits = view->SplitPositions();
    s.blocks = view->document()->blockCount();
    s.undo = view->document()->isUndoAvailable();
    s.redo = view->document()->isRedoAvailable();
    s.modified = view->document()->isModified();
    s.caret = view->textCursor().position();
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next())
        s.formats << b.blockFormat().properties();
    return s;
}

// A document with its view, holding typed (modified, undoable) text.
struct EditedDoc {
    CEditorDoc doc;
    CEditorView view;
    EditedDoc(const QString& path) {
        view.resize(600, 400);
        doc.SetView(&view);
        doc.OnNewDocument();
        doc.SetPathName(path, false);
        QTextCursor c = view.textCursor();
        view.InsertText(c, u"typed\nbefore"_s);
    }
};

// Runs `action` once, as soon as a load is running in the document that
// `document` gives (polled while events run).
class WhenLoading : public QObject {
public:
    WhenLoading(std::function<CEditorDoc*()> document, std::function<void()> action)
        : m_document(std::move(document)), m_action(std::move(action)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            CEditorDoc* doc = m_document();
            if (!doc || !doc->IsLoading())
                return;
            m_timer.stop();
            m_action();
            ran = true;
        });
        m_timer.start(10);
    }
    bool ran = false;

private:
    std::function<CEditorDoc*()> m_document;
    std::function<void()> m_action;
    QTimer m_timer;
};

CEditorDoc* LoadingFrameDocument() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<CMainFrame*>(w))
            return frame->GetActiveDocument();
    return nullptr;
}

} // namespace

// Opening a file: read and decoded on a worker, cancelled by Esc, progress
// in the status bar; the pane ends as setting its text whole leaves it.
class TestLoading : public QObject {
    Q_OBJECT

private slots:
    void decodingInStepsGivesTheWholeDecoding() {
        // Two-byte characters across every step boundary, raw bytes among them.
        QByteArray bytes;
        while (bytes.size() < 3 * cp932::kDecodeStep + 11)
            bytes += bytes.size() % 5 == 0 ? QByteArray("a\x82\xa0\x81") : QByteArray("\x82\xa0");
        io::TextFormat whole;
        const QString expected = cp932::Decode(bytes, &whole);

        io::TextFormat stepped;
        std::vector<qsizetype> steps;
        const std::optional<QString> text =
            cp932::Decode(bytes, &stepped, [&](qsizetype done) {
                steps.push_back(done);
                return true;
            });
        QVERIFY(text);
        QCOMPARE(*text, expected);
        QCOMPARE(stepped, whole);
        QVERIFY(steps.size() >= 4);
        QCOMPARE(steps.back(), bytes.size());
        for (size_t k = 0; k + 1 < steps.size(); ++k) {
            QVERIFY(steps[k] < steps[k + 1]);
            // No step ends inside a character: what is done decodes alone
            // to the start of the whole text.
            QVERIFY(expected.startsWith(cp932::Decode(QByteArrayView(bytes).first(steps[k]))));
        }

        // Stopped after the first step: nothing, and the format untouched.
        io::TextFormat untouched;
        untouched.lineEnd = io::LineEnd::Lf;
        int calls = 0;
        const std::optional<QString> stopped =
            cp932::Decode(bytes, &untouched, [&](qsizetype) { return ++calls < 1; });
        QVERIFY(!stopped);
        QCOMPARE(calls, 1);
        QCOMPARE(untouched.lineEnd, io::LineEnd::Lf);
    }

    void cancelStopsTheReading() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"big.html"_s);
        testing::WriteBytes(path, QByteArray(2 * kReadStep + 100, 'a'));
        std::atomic<bool> cancel = false;
        QList<int> percents;
        const CFileLoader::Result stopped = CFileLoader::Load(path, cancel, [&](int percent) {
            percents << percent;
            cancel = true;
        });
        QVERIFY(stopped.cancelled);
        QVERIFY(stopped.text.isEmpty());
        QCOMPARE(percents.size(), 1); // no step after the cancel
        QVERIFY(percents.front() < 10);

        // Uncancelled: reading is the first tenth, then decoding up to 100.
        cancel = false;
        percents.clear();
        const CFileLoader::Result whole =
            CFileLoader::Load(path, cancel, [&](int percent) { percents << percent; });
        QVERIFY(!whole.cancelled);
        QCOMPARE(whole.error, FileError::None);
        QCOMPARE(whole.text.size(), 2 * kReadStep + 100);
        QVERIFY(percents.contains(10));
        QCOMPARE(percents.back(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
    }

    void loadEndsAsSettingTheWholeText() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"mixed.html"_s);
        const QByteArray bytes = MixedPage(300000);
        testing::WriteBytes(path, bytes);
        io::TextFormat format;
        const QString text = cp932::Decode(bytes, &format);
        QVERIFY(text.contains(QChar(cp932::RawByteChar(0x81))));
        QVERIFY(!format.duplicateForms.isEmpty());

        CEditorView reference;
        reference.SetWholeText(text);
        reference.OnInitialUpdate();

        EditedDoc e(dir.filePath(u"old.html"_s));
        QCOMPARE(testing::Load(e.doc, path), CEditorDoc::LoadResult::Loaded);
        const PaneState loaded = StateOf(&e.view);
        QVERIFY(!loaded.splits.empty());
        QVERIFY(loaded == StateOf(&reference));
        QString lines = text;
        lines.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n').replace(u'\n', QChar::ParagraphSeparator);
        QCOMPARE(loaded.wholeText, lines);
        QVERIFY(!loaded.undo);
        QVERIFY(!loaded.modified);
        QCOMPARE(e.doc.TextFormat(), format);
        QCOMPARE(e.doc.FileIdentity(), io::IdentityOf(path));
        QVERIFY(!e.view.isReadOnly());
        QVERIFY(!e.doc.IsLoading());
        // The synchronous form gives the same.
        EditedDoc again(dir.filePath(u"old.html"_s));
        QVERIFY((testing::Load(again.doc, path) == CDocumentLoad::Result::Loaded));
        QVERIFY(StateOf(&again.view) == loaded);
    }

    void fillingInSlicesEndsAsSettingTheWholeText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("slice");
        const QString longLine = QString(u"<B>\u3042</B>"_s).repeated(900);
        const QString raw = QString(QChar(cp932::RawByteChar(0x81))) + u"x"_s;
        const QString mixed = u"a\r\nb\nc\rd\r\r\n"_s + longLine + u"\r\n"_s + raw + u"\n"_s +
                              longLine + u"\r"_s + longLine + u"e\u2029f"_s + longLine;
        QTest::newRow("one character a slice") << mixed << 1;
        QTest::newRow("a CR LF across the slice end") << mixed << 5;
        QTest::newRow("slices of 100") << mixed << 100;
        QTest::newRow("longer than the text") << mixed << 1000000;
        QTest::newRow("ends with a break") << (mixed + u"\r\n"_s) << 7;
        QTest::newRow("breaks only") << u"\r\n\r\n\n\r\r"_s << 1;
        QTest::newRow("empty") << QString() << 10;
    }

    void fillingInSlicesEndsAsSettingTheWholeText() {
        QFETCH(QString, text);
        QFETCH(int, slice);
        CEditorView reference;
        reference.SetWholeText(text);
        CEditorView view;
        QTextCursor c = view.textCursor();
        view.InsertText(c, u"old"_s);
        int calls = 0;
        bool modifiedBetween = false;
        QVERIFY(view.FillInSlices(text, slice, [&](qsizetype done) {
            ++calls;
            modifiedBetween = modifiedBetween || view.document()->isModified();
            return done > 0 && done < text.size();
        }));
        QVERIFY(!modifiedBetween);
        if (slice == 1 && !text.isEmpty())
            QVERIFY(calls > 2);
        QVERIFY(StateOf(&view) == StateOf(&reference));
        // Undo finds nothing, and the pane edits as usual afterwards.
        view.undo();
        QVERIFY(StateOf(&view) == StateOf(&reference));
        c = view.textCursor();
        view.InsertText(c, u"z"_s);
        QVERIFY(view.document()->isModified());
        QCOMPARE(view.GetWholeText().front(), u'z');
    }

    void slicesAreWholeLinesAndAreLetGo() {
        const QString text = u"ab\r\ncd\ref\ngh\r\n\r\nlong line without a break"_s;
        for (const qsizetype length : {1, 2, 3, 5, 100}) {
            const QStringList slices = CEditorView::SlicesOf(text, length);
            QCOMPARE(slices.join(QString()), text);
            for (qsizetype k = 0; k + 1 < slices.size(); ++k) {
                // A slice ends after a line break, CR LF never parted.
                const QString& slice = slices[k];
                QVERIFY(slice.endsWith(u'\n') || slice.endsWith(u'\r'));
                QVERIFY(!(slice.endsWith(u'\r') && slices[k + 1].startsWith(u'\n')));
            }
        }
        QCOMPARE(CEditorView::SlicesOf(QString(), 4), QStringList{QString()});
        // The pane takes each slice over and lets it go.
        QStringList slices = CEditorView::SlicesOf(text, 3);
        const QString first = slices.front();
        CEditorView view;
        QVERIFY(view.FillInSlices(slices, [&](qsizetype) { return first.isDetached(); }));
        QVERIFY(slices.isEmpty());
        CEditorView reference;
        reference.SetWholeText(text);
        QCOMPARE(view.GetWholeText(), reference.GetWholeText());
        QCOMPARE(view.document()->blockCount(), 6);
    }

    void fillingStoppedLeavesAnEmptyPane() {
        const QString text = u"line\r\n"_s.repeated(50);
        CEditorView view;
        int calls = 0;
        QVERIFY(!view.FillInSlices(text, 12, [&](qsizetype) { return ++calls < 3; }));
        QCOMPARE(calls, 3);
        QCOMPARE(view.GetWholeText(), QString());
        QVERIFY(!view.document()->isUndoAvailable());
        QVERIFY(!view.document()->isModified());
    }

    void emptyPaneFillsInSlicesWithTheWindowLive() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"mixed.html"_s);
        const QByteArray bytes = MixedPage(3 * CEditorDoc::kSliceLength);
        testing::WriteBytes(path, bytes);
        io::TextFormat format;
        CEditorView reference;
        reference.SetWholeText(cp932::Decode(bytes, &format));
        reference.OnInitialUpdate();

        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        doc.OnNewDocument();
        QSignalSpy replaced(&doc, &CEditorDoc::documentReplaced);
        CBlockTextCache cache(view.document());
        const int rebuilds = cache.Rebuilds();
        // Events run between the slices, the pane growing.
        QList<int> blocksSeen;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &view, [&] {
            if (doc.IsLoading())
                blocksSeen << view.document()->blockCount();
        });
        tick.start(0);
        QCOMPARE(testing::Load(doc, path), CEditorDoc::LoadResult::Loaded);
        tick.stop();
        QVERIFY(blocksSeen.size() >= 2);
        QVERIFY(blocksSeen.front() < blocksSeen.back());
        QVERIFY(StateOf(&view) == StateOf(&reference));
        QCOMPARE(doc.TextFormat(), format);
        QCOMPARE(doc.FileIdentity(), io::IdentityOf(path));
        QCOMPARE(replaced.size(), 1);
        // The journal's block cache followed the slices to the same text.
        QCOMPARE(cache.Rebuilds(), rebuilds);
        QStringList cached;
        for (const QStringList& run : cache.Blocks())
            cached += run;
        QCOMPARE(cache.Rebuilds(), rebuilds);
        QStringList blocks;
        for (QTextBlock b = view.document()->begin(); b.isValid(); b = b.next())
            blocks << b.text().replace(QChar::LineSeparator, QChar::ParagraphSeparator);
        QCOMPARE(cached, blocks);
    }

    void cancelWhileFillingLeavesTheEmptyDocument() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"big.html"_s);
        testing::WriteBytes(path, MixedPage(4 * CEditorDoc::kSliceLength));
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        doc.OnNewDocument();
        const PaneState before = StateOf(&view);
        bool sawText = false;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &view, [&] {
            if (doc.IsLoading() && !view.document()->isEmpty()) {
                sawText = true;
                doc.CancelLoad();
            }
        });
        tick.start(0);
        QCOMPARE(testing::Load(doc, path), CEditorDoc::LoadResult::Cancelled);
        QVERIFY(sawText);
        QVERIFY(StateOf(&view) == before);
        QVERIFY(doc.GetPathName().isEmpty());
        QCOMPARE(doc.GetTitle(), u"無題"_s);
        QCOMPARE(doc.FileIdentity(), io::FileIdentity{});
        QVERIFY(!view.isReadOnly());
    }

    void cancelLeavesThePreviousDocument_data() {
        QTest::addColumn<QString>("when");
        QTest::newRow("before reading") << u"start"_s;
        QTest::newRow("while decoding") << u"progress"_s;
        QTest::newRow("by Esc") << u"esc"_s;
        QTest::newRow("while filling the new document") << u"filling"_s;
    }

    void cancelLeavesThePreviousDocument() {
        QFETCH(QString, when);
        QTemporaryDir dir;
        const QString path = SlowPage(dir);
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 120);

        const QString oldPath = dir.filePath(u"old.html"_s);
        EditedDoc e(oldPath);
        const PaneState before = StateOf(&e.view);
        const io::TextFormat formatBefore = e.doc.TextFormat();
        QSignalSpy replaced(&e.doc, &CEditorDoc::documentReplaced);
        QSignalSpy ended(&e.doc, &CEditorDoc::loadEnded);
        QMetaObject::Connection cancelling;
        std::unique_ptr<WhenLoading> esc;
        if (when == u"start")
            cancelling = connect(&e.doc, &CEditorDoc::loadStarted, &e.doc, [&] { e.doc.CancelLoad(); });
        else if (when == u"progress")
            cancelling = connect(&e.doc, &CEditorDoc::loadProgress, &e.doc, [&](int percent) {
                QVERIFY(percent < 100);
                e.doc.CancelLoad();
            });
        else if (when == u"filling")
            cancelling = connect(&e.doc, &CEditorDoc::loadProgress, &e.doc, [&](int percent) {
                // Past the reading share: the new document is being filled.
                if (percent > 50) {
                    QVERIFY(e.view.GetWholeText().startsWith(u"typed"_s));
                    e.doc.CancelLoad();
                }
            });
        else
            esc = std::make_unique<WhenLoading>([&] { return &e.doc; }, [&] {
                // The pane takes no key meanwhile.
                QTest::keyClicks(&e.view, u"xyz"_s);
                QVERIFY(e.doc.IsLoading());
                QVERIFY(e.view.isReadOnly());
                e.doc.CancelLoad();
            });
        testing::FakeUi ui;
        QCOMPARE(testing::Load(e.doc, path), CEditorDoc::LoadResult::Cancelled);
        QVERIFY(!esc || esc->ran);
        QVERIFY(ui.warnings.isEmpty());
        QCOMPARE(replaced.size(), 0);
        QCOMPARE(ended.size(), 1);
        QVERIFY(StateOf(&e.view) == before);
        QCOMPARE(e.doc.GetPathName(), oldPath);
        QCOMPARE(e.doc.GetTitle(), u"old.html"_s);
        QCOMPARE(e.doc.TextFormat(), formatBefore);
        QVERIFY(!e.view.isReadOnly());
        // The undo history is the one the typing made.
        e.view.undo();
        QCOMPARE(e.view.GetWholeText(), QString());
        // The same document loads afterwards.
        disconnect(cancelling);
        CFileLoader::s_stepDelayMs = 0;
        QCOMPARE(testing::Load(e.doc, path), CEditorDoc::LoadResult::Loaded);
        QVERIFY(e.view.GetWholeText().startsWith(u"<HTML>\u2029"_s));
    }

    void failureReportsAndLeavesThePane_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << u"none.html"_s << u"%1 が見つかりませんでした。"_s;
        QTest::newRow("folder") << u"folder"_s
                                << FileErrorMessage(FileError::AccessDenied, u"%1"_s, true);
    }

    void failureReportsAndLeavesThePane() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        const QString path = dir.filePath(name);
        EditedDoc e(dir.filePath(u"old.html"_s));
        const PaneState before = StateOf(&e.view);
        testing::FakeUi ui;
        QCOMPARE(testing::Load(e.doc, path), CEditorDoc::LoadResult::Failed);
        QCOMPARE(ui.warnings, QStringList{message.arg(path)});
        QVERIFY(StateOf(&e.view) == before);
        QCOMPARE(e.doc.GetPathName(), dir.filePath(u"old.html"_s));
        QVERIFY(!e.view.isReadOnly());
    }

    void slowLoadShowsProgressAndBusyPointer() {
        QTemporaryDir dir;
        const QString path = SlowPage(dir);
        AppFixture f;
        QVERIFY(f.started);
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 120);
        QList<int> percents;
        QStringList messages;
        QList<Qt::CursorShape> pointers;
        bool otherCommands = true;
        connect(f.Doc(), &CEditorDoc::loadProgress, f.Frame(), [&](int percent) {
            percents << percent;
            messages << f.Frame()->MessageText();
            pointers << f.View()->viewport()->cursor().shape();
            otherCommands = otherCommands && (f.Frame()->IsCommandEnabled(ID_FILE_NEW) ||
                                              f.Frame()->RouteCommand(ID_FILE_NEW));
            QVERIFY(f.Frame()->IsCommandEnabled(ID_CANCEL_EDIT));
        });
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        QVERIFY(!percents.isEmpty());
        QCOMPARE(percents.back(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        for (int k = 0; k < percents.size(); ++k) {
            QCOMPARE(messages[k], u"読み込み中... %1%"_s.arg(percents[k]));
            QCOMPARE(pointers[k], Qt::BusyCursor);
        }
        QVERIFY(!otherCommands);
        // Afterwards: ready, the pane's own pointer, Esc without a handler.
        QCOMPARE(f.Frame()->MessageText(), u"ﾚﾃﾞｨ"_s);
        QCOMPARE(f.View()->viewport()->cursor().shape(), Qt::IBeamCursor);
        QVERIFY(!f.Frame()->IsCommandEnabled(ID_CANCEL_EDIT));
        QCOMPARE(f.Frame()->windowTitle(), u"big.html - Velm HTML Editor"_s);
        QCOMPARE(f.app->RecentFiles().Files().value(0), path);
    }

    void quickLoadShowsNoProgress() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"small.html"_s);
        testing::WriteBytes(path, "<HTML></HTML>");
        AppFixture f;
        QVERIFY(f.started);
        QSignalSpy progress(f.Doc(), &CEditorDoc::loadProgress);
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        QCOMPARE(progress.size(), 0);
        QCOMPARE(f.Frame()->MessageText(), u"ﾚﾃﾞｨ"_s);
    }

    void paneWithADocumentKeepsItUntilTheNewOneIsComplete() {
        // A large file opened over another document is filled aside in
        // slices, the window live, and then shown; everything that follows
        // the pane's document follows the new one.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"big.html"_s);
        const QByteArray bytes = MixedPage(3 * CEditorDoc::kSliceLength);
        testing::WriteBytes(path, bytes);
        CEditorView reference;
        reference.SetWholeText(cp932::Decode(bytes));

        EditedDoc e(dir.filePath(u"old.html"_s));
        e.doc.SetModifiedFlag(false);
        e.view.BlockTexts(); // as the recovery keeper has it
        CRecoveryKeeper keeper(&e.doc);
        keeper.SetFolder(dir.filePath(u"journals"_s));
        const QPointer<QTextDocument> old = e.view.document();
        const QString oldText = e.view.GetWholeText();
        const QFont font = old->defaultFont();
        const int rebuilds = e.view.BlockTexts().Rebuilds();
        int ticks = 0;
        bool oldShown = true;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &e.view, [&] {
            if (!e.doc.IsLoading())
                return;
            ++ticks;
            oldShown = oldShown && e.view.document() == old && e.view.GetWholeText() == oldText;
        });
        tick.start(0);
        QCOMPARE(testing::Load(e.doc, path), CEditorDoc::LoadResult::Loaded);
        tick.stop();
        QVERIFY(ticks >= 2);
        QVERIFY(oldShown);
        QVERIFY(e.view.document() != old);
        QVERIFY(StateOf(&e.view) == StateOf(&reference));
        QVERIFY(!e.view.document()->isUndoAvailable());
        QVERIFY(!e.doc.IsModified());
        QCOMPARE(e.view.document()->defaultFont(), font);
        // The paragraph texts followed the filling; none read again.
        QCOMPARE(e.view.BlockTexts().Rebuilds(), rebuilds);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull()); // let go, not kept beside the new one

        // Typing, the long lines' splits, the journal and the save all see
        // the new document.
        QTest::keyClicks(&e.view, u"x"_s);
        QVERIFY(e.doc.IsModified());
        QVERIFY(!e.view.SplitPositions().empty());
        QVERIFY(keeper.WriteNow());
        io::Journal journal;
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), journal), io::JournalError::None);
        QCOMPARE(journal.text, u"x"_s + reference.GetWholeText());
        testing::FakeUi ui;
        QVERIFY(e.doc.OnSaveDocument(path));
        // (Mixed line breaks are written as CR LF.)
        QVERIFY(testing::ReadBytes(path) ==
                cp932::Encode(u"x"_s + reference.GetWholeText(), e.doc.TextFormat()));
        // A second document adopted in turn lets the first adopted one go.
        const QPointer<QTextDocument> adopted = e.view.document();
        QCOMPARE(testing::Load(e.doc, path), CEditorDoc::LoadResult::Loaded);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(adopted.isNull());
        QVERIFY(e.view.GetWholeText().startsWith(u"x<HTML>"_s));
    }

    void aSaveHoldsNoCopyOfTheText() {
        // Saving a 16 MiB page raises the process's peak memory by a few
        // pieces, not by copies of the text and its bytes (some 55 MiB).
        QFile clear(u"/proc/self/clear_refs"_s);
        if (!clear.open(QIODevice::WriteOnly))
            QSKIP("the peak memory cannot be reset here (/proc/self/clear_refs)");
        const auto kibibytes = [](const QByteArray& field) {
            QFile status(u"/proc/self/status"_s);
            if (!status.open(QIODevice::ReadOnly))
                return qint64(-1);
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith(field + ':'))
                    return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
            return qint64(-1);
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(u"page.html"_s);
        const QByteArray row = "<TD>\x93\xfa\x96\x7b\x8c\xea \xc3\xbd\xc4 text</TD>\r\n";
        testing::WriteBytes(path, row.repeated(16 * 1024 * 1024 / row.size()));
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        QVERIFY((testing::Load(doc, path) == CDocumentLoad::Result::Loaded));
        view.BlockTexts(); // as the recovery keeper has it
        QTest::keyClicks(&view, u"x"_s);
        const qint64 before = kibibytes("VmRSS");
        QVERIFY(clear.write("5") == 1 && clear.flush());
        QVERIFY(doc.OnSaveDocument(path));
        const qint64 peak = kibibytes("VmHWM");
        QVERIFY(before > 0 && peak > 0);
        QVERIFY2(peak - before < 8 * 1024, qPrintable(u"%1 KiB more"_s.arg(peak - before)));
        QCOMPARE(testing::ReadBytes(path).size(), qsizetype(1 + row.size() * (16 * 1024 * 1024 / row.size())));
    }

    void paneFilledAtOnceShowsProgressFirst() {
        // Small enough to be set at once, but read so slowly (the main
        // thread held up as by a slow disk) that setting it would pass the
        // delay.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"long.html"_s);
        const qsizetype size = CEditorDoc::kSliceLength / 2;
        testing::WriteBytes(path, QByteArray("<P>ab</P>\r\n").repeated(size / 11 + 1));
        AppFixture f;
        QVERIFY(f.started);
        QTest::keyClicks(f.View(), u"old"_s);
        f.Doc()->SetModifiedFlag(false); // no save question
        connect(f.Doc(), &CEditorDoc::loadStarted, f.Frame(),
                [] { QThread::msleep(CEditorDoc::kProgressDelayMs + 50); });
        QStringList messages;
        QList<bool> paneOld;
        connect(f.Doc(), &CEditorDoc::loadProgress, f.Frame(), [&](int) {
            messages << f.Frame()->MessageText();
            paneOld << (f.View()->GetWholeText() == u"old"_s);
        });
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        QVERIFY(!messages.isEmpty());
        QVERIFY(messages.front().startsWith(u"読み込み中... "_s));
        QVERIFY(paneOld.front());
        QCOMPARE(f.Frame()->MessageText(), u"ﾚﾃﾞｨ"_s);
        QVERIFY(f.View()->GetWholeText().startsWith(u"<P>ab</P>\u2029"_s));
    }

    void escCancelsACommandLineOpenAfterTheWindowShows() {
        QTemporaryDir dir;
        const QString path = SlowPage(dir);
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 150);
        bool shownWhileLoading = false;
        QString titleWhileLoading;
        WhenLoading cancel(LoadingFrameDocument, [&] {
            auto* frame = qobject_cast<CMainFrame*>(LoadingFrameDocument()->GetView()->window());
            shownWhileLoading = frame->isVisible();
            titleWhileLoading = frame->windowTitle();
            QVERIFY(frame->RouteCommand(ID_CANCEL_EDIT));
        });
        AppFixture f({path});
        QVERIFY(f.started);
        QVERIFY(shownWhileLoading);
        QCOMPARE(titleWhileLoading, u"big.html - Velm HTML Editor"_s); // named from the start
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
        QCOMPARE(f.View()->GetWholeText(), QString());
        QVERIFY(!f.Doc()->IsModified());
        QVERIFY(f.Doc()->GetPathName().isEmpty());
        QVERIFY(f.ui.warnings.isEmpty());
        QVERIFY(f.app->RecentFiles().Files().isEmpty());
        QCOMPARE(f.app->ExitCode(), 0);
    }

    void inputWhileLoadingGoesInOnceComplete_data() {
        QTest::addColumn<bool>("overADocument");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("into the empty pane") << false << false;
        QTest::newRow("over a document") << true << false;
        QTest::newRow("into the empty pane, cancelled") << false << true;
        QTest::newRow("over a document, cancelled") << true << true;
    }

    // Keys and input-method text typed while a file loads go in, in order,
    // once it is complete, and are dropped when it is cancelled; the title
    // names the file all along.
    void inputWhileLoadingGoesInOnceComplete() {
        QFETCH(bool, overADocument);
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"big.html"_s);
        const QByteArray bytes = MixedPage(3 * CEditorDoc::kSliceLength);
        testing::WriteBytes(path, bytes);
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 150); // progress shows
        EditedDoc e(dir.filePath(u"old.html"_s));
        if (!overADocument)
            e.doc.OnNewDocument();
        const PaneState before = StateOf(&e.view);
        QStringList titles;
        bool typed = false;
        connect(&e.doc, &CEditorDoc::loadProgress, &e.view, [&](int percent) {
            titles << e.doc.GetTitle();
            // Typed again while the new text goes in.
            if (percent > 40 && percent < 100 && !std::exchange(typed, true)) {
                QTest::keyClick(&e.view, Qt::Key_C);
                QTest::keyClick(&e.view, Qt::Key_Return);
                QTest::keyClicks(&e.view, u"d"_s);
                if (cancel)
                    e.doc.CancelLoad();
            }
        });
        CDocumentLoad* load = e.doc.StartLoad(path);
        QVERIFY(load);
        QCOMPARE(e.doc.GetTitle(), u"big.html"_s);
        QSignalSpy ended(load, &CDocumentLoad::ended);
        QTest::keyClicks(&e.view, u"ab"_s);
        QInputMethodEvent composed;
        composed.setCommitString(u"日本"_s);
        QCoreApplication::sendEvent(&e.view, &composed);
        QVERIFY(e.view.isReadOnly());
        QVERIFY(StateOf(&e.view) == before); // nothing in yet
        QVERIFY(ended.wait(60000));
        QVERIFY(typed);
        QVERIFY(!titles.contains(u"old.html"_s) && !titles.contains(u"無題"_s));
        QVERIFY(!e.view.isReadOnly());
        if (cancel) {
            QCOMPARE(ended.front().front().value<CDocumentLoad::Result>(),
                     CDocumentLoad::Result::Cancelled);
            QVERIFY(StateOf(&e.view) == before);
            QCOMPARE(e.doc.GetTitle(), overADocument ? u"old.html"_s : u"無題"_s);
            QTest::keyClicks(&e.view, u"z"_s); // typing goes on as usual
            QCOMPARE(e.view.GetWholeText(), before.wholeText + u"z"_s);
            return;
        }
        QCOMPARE(ended.front().front().value<CDocumentLoad::Result>(),
                 CDocumentLoad::Result::Loaded);
        CEditorView reference;
        reference.SetWholeText(cp932::Decode(bytes));
        QCOMPARE(e.view.GetWholeText(), u"ab日本c\u2029d"_s + reference.GetWholeText());
        QVERIFY(e.doc.IsModified());
        QCOMPARE(e.doc.GetTitle(), u"big.html"_s);
    }

    void commandKeysWhileLoadingKeepTheirPlace_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("loaded") << false;
        QTest::newRow("cancelled by Esc") << true;
    }

    // Ctrl+S typed between two keys while a file opens saves the first key
    // only, to the file just opened, once it is complete; Esc drops them all.
    void commandKeysWhileLoadingKeepTheirPlace() {
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"big.html"_s);
        const QByteArray bytes = QByteArray("<TD>\x93\xfa\x96\x7b\x8c\xea</TD>\r\n").repeated(
            4 * cp932::kDecodeStep / 16);
        testing::WriteBytes(path, bytes);
        AppFixture f;
        QVERIFY(f.started);
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 150);
        WhenLoading typing([&] { return f.Doc(); }, [&] {
            QTest::keyClicks(f.View(), u"a"_s);
            QTest::keyClick(f.View(), Qt::Key_S, Qt::ControlModifier);
            QTest::keyClicks(f.View(), u"b"_s);
            QVERIFY(f.View()->GetWholeText().isEmpty()); // nothing in yet
            if (cancel)
                QTest::keyClick(f.View(), Qt::Key_Escape);
        });
        QCOMPARE(testing::Open(*f.app, path),
                 cancel ? CEditorApp::OpenResult::Cancelled : CEditorApp::OpenResult::Opened);
        QVERIFY(typing.ran);
        QVERIFY(f.ui.proposedNames.isEmpty()); // no Save As
        if (cancel) {
            QCOMPARE(f.View()->GetWholeText(), QString());
            QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
            QCOMPARE(testing::ReadBytes(path), bytes);
            return;
        }
        QCOMPARE(testing::ReadBytes(path), "a" + bytes);
        QVERIFY(f.Doc()->IsModified()); // "b" came after the save
        QVERIFY(f.Doc()->DoFileSave());
        QCOMPARE(testing::ReadBytes(path), "ab" + bytes);
    }

    void escKeyReachesTheLoad() {
        QTemporaryDir dir;
        const QString path = SlowPage(dir);
        AppFixture f;
        QVERIFY(f.started);
        QTest::keyClicks(f.View(), u"keep"_s);
        f.ui.saveAnswers.enqueue(CUiServices::Answer::No); // the changes are not saved
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 150);
        WhenLoading esc([&] { return f.Doc(); }, [&] { QTest::keyClick(f.View(), Qt::Key_Escape); });
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Cancelled);
        QVERIFY(esc.ran);
        QCOMPARE(f.ui.saveQuestions.size(), 1);
        QCOMPARE(f.View()->GetWholeText(), u"keep"_s);
        QVERIFY(f.Doc()->IsModified());
        QCOMPARE(f.Frame()->MessageText(), u"ﾚﾃﾞｨ"_s);
    }

    void closingWhileLoadingCancelsTheLoad() {
        QTemporaryDir dir;
        const QString path = SlowPage(dir);
        AppFixture f;
        QVERIFY(f.started);
        QScopedValueRollback delay(CFileLoader::s_stepDelayMs, 150);
        bool closed = true;
        WhenLoading close([&] { return f.Doc(); }, [&] { closed = f.Frame()->close(); });
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Cancelled);
        QVERIFY(close.ran);
        QVERIFY(!closed); // not while the load unwinds
        // Once it has ended, the window closes as asked, without a second
        // request.
        QTRY_VERIFY(!f.Frame()->isVisible());
    }
};

QTEST_MAIN(TestLoading)
#include "tst_loading.moc"
