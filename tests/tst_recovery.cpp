#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "app/CRecoveryKeeper.h"
#include "io/FileIo.h"
#include "io/RecoveryJournal.h"
#include "io/ParagraphDiff.h"
#include "res/StringTable.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextDocumentLayout>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QSignalBlocker>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QtEndian>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testing::AppFixture;
using testing::ReadBytes;
using testing::WriteBytes;
using RecoveryAnswer = CUiServices::RecoveryAnswer;

namespace {

// Everything a journal must carry through unchanged: lone surrogates, raw
// bytes, characters code page 932 cannot hold, line breaks.
QString HardText() {
    QString text = u"<P>日本語 ﾃｽﾄ"_s;
    text += QChar(0xD800);                   // lone high surrogate
    text += u"x"_s + QChar(0xDFFF) + u"y"_s; // lone low surrogate
    text += QChar(0xDC80);
    text += QChar(0xDCFF); // preserved raw bytes
    text += QChar::ParagraphSeparator;
    text += u"\U0001F600 é ẞ"_s; // not in code page 932
    text += QChar::ParagraphSeparator;
    text += QChar(0);
    return text;
}

io::Journal SampleJournal() {
    io::Journal j;
    j.path = u"/tmp/フォルダ/page.html"_s;
    j.identity = {true, 2049, 1234567, 98765, 1700000000123456789};
    j.format.lineEnd = io::LineEnd::Lf;
    j.format.duplicateForms.insert(u'∵', 0x81E6);
    j.format.duplicateForms.insert(u'≒', 0x81E0);
    j.written = QDateTime::fromMSecsSinceEpoch(1765000000123, Qt::UTC);
    j.owner = io::CurrentOwner();
    j.hasText = true;
    j.text = HardText();
    return j;
}

// A journal (a base alone) marked with another version, checksum renewed.
QByteArray WithVersion(QByteArray bytes, char version) {
    bytes[8] = version;
    const qsizetype body = bytes.size() - 4;
    const quint32 crc = qToLittleEndian(io::Crc32(bytes.constData(), body));
    bytes.replace(body, 4, reinterpret_cast<const char*>(&crc), 4);
    return bytes;
}

// A journal owned by a process that is gone.
io::Journal DeadJournal(const QString& path, const QString& text) {
    io::Journal j = SampleJournal();
    j.path = path;
    j.text = text;
    j.owner.bootId = u"00000000-dead-beef-0000-000000000000"_s;
    return j;
}

QString WriteJournal(const QString& folder, const io::Journal& j, const QString& name) {
    if (!io::EnsureJournalFolder(folder))
        qFatal("no journal folder");
    const QString file = QDir(folder).filePath(name);
    if (io::WriteJournalFile(file, io::SerializeJournal(j)) != io::JournalError::None)
        qFatal("journal not written");
    return file;
}

void TypeAtEnd(CEditorView* view, const QString& text) {
    QTextCursor c = view->textCursor();
    c.movePosition(QTextCursor::End);
    view->setTextCursor(c);
    QTest::keyClicks(view, text);
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Folder() const { return io::JournalFolder(); }

private slots:
    void initTestCase() { platform::Initialize(); }
    void init() { QDir(Folder()).removeRecursively(); }

    // ---- the format

    void formatRoundTripIsLossless() {
        const io::Journal cases[] = {
            SampleJournal(),
            [] {
                io::Journal j = SampleJournal();
                j.path.clear();
                return j;
            }(), // untitled
            [] {
                io::Journal j = SampleJournal();
                j.text.clear();
                return j;
            }(), // empty text
            [] {
                io::Journal j = SampleJournal(); // the owner record alone
                j.hasText = false;
                j.text.clear();
                j.identity = {};
                j.format = {};
                return j;
            }(),
        };
        for (const io::Journal& j : cases) {
            io::Journal back;
            QCOMPARE(io::ParseJournal(io::SerializeJournal(j), back), io::JournalError::None);
            QCOMPARE(back.text.size(), j.text.size());
            QVERIFY(back.text == j.text); // unit for unit
            QVERIFY(back == j);
        }
    }

    void writtenFromLinesAsFromOneText() {
        // The keeper writes the text in runs of lines straight into the file.
        io::Journal j = SampleJournal();
        const io::ParagraphBatches lines = {{u"<P>日本"_s, QString(1, QChar(0xD800))},
                                     {QString(), u"\U0001F600"_s + QChar(0xDC80)}};
        j.text.clear();
        const QString file = QDir(Path(u"lines"_s)).filePath(u"j.vjr"_s);
        QVERIFY(io::EnsureJournalFolder(Path(u"lines"_s)));
        QCOMPARE(io::WriteJournal(file, j, lines), io::JournalError::None);
        j.text = u"<P>日本"_s + QChar::ParagraphSeparator + QChar(0xD800) +
                 QChar::ParagraphSeparator + QChar::ParagraphSeparator + u"\U0001F600"_s +
                 QChar(0xDC80);
        QCOMPARE(ReadBytes(file), io::SerializeJournal(j));
        io::Journal back;
        QCOMPARE(io::ReadJournal(file, back), io::JournalError::None);
        QVERIFY(back == j);
    }

    void checksumIsCrc32() {
        QCOMPARE(io::Crc32("123456789", 9), 0xCBF43926u);
        const QByteArray long_(1000, 'a');
        // Split runs continue one checksum.
        QCOMPARE(io::Crc32(long_.constData() + 5, 995, io::Crc32(long_.constData(), 5)),
                 io::Crc32(long_.constData(), 1000));
    }

    void truncatedOrCorruptJournalIsRefusedWhole() {
        const QByteArray bytes = io::SerializeJournal(SampleJournal());
        io::Journal untouched;
        untouched.text = u"before"_s;
        for (qsizetype size = 0; size < bytes.size(); ++size) {
            io::Journal j = untouched;
            const io::JournalError e = io::ParseJournal(bytes.first(size), j);
            QVERIFY2(e == io::JournalError::Truncated || e == io::JournalError::Corrupt,
                     qPrintable(u"cut at %1"_s.arg(size)));
            QVERIFY(j == untouched);
        }
        for (qsizetype at : {qsizetype(0), qsizetype(9), qsizetype(40), bytes.size() / 2,
                             bytes.size() - 13, bytes.size() - 1}) {
            QByteArray damaged = bytes;
            damaged[at] = char(damaged[at] ^ 0x20);
            io::Journal j = untouched;
            QCOMPARE(io::ParseJournal(damaged, j), io::JournalError::Corrupt);
            QVERIFY(j == untouched);
        }
        // Extra bytes after a complete journal: the start of an edit record
        // that was not written whole, dropped.
        io::Journal j;
        QCOMPARE(io::ParseJournal(bytes + "x", j), io::JournalError::None);
        QVERIFY(j == SampleJournal());
        // A journal of the format before edits was written whole: nothing follows.
        const QByteArray whole = WithVersion(bytes, 2);
        QCOMPARE(io::ParseJournal(whole, j), io::JournalError::None);
        QVERIFY(j == SampleJournal());
        QCOMPARE(io::ParseJournal(whole + "x", j), io::JournalError::Corrupt);

        // On disk: reported, and the file stays.
        const QString file = WriteJournal(Folder(), SampleJournal(), u"cut.vjr"_s);
        WriteBytes(file, bytes.first(bytes.size() - 100));
        QCOMPARE(io::ReadJournal(file, j), io::JournalError::Truncated);
        QVERIFY(QFile::exists(file));
        QCOMPARE(io::ReadJournal(Path(u"none.vjr"_s), j), io::JournalError::NotFound);
    }

    void unknownVersionIsRefused() {
        // A version, with a checksum that matches.
        io::Journal j;
        QCOMPARE(io::ParseJournal(WithVersion(io::SerializeJournal(SampleJournal()), 4), j),
                 io::JournalError::Corrupt);
    }

    // ---- files

    void filesArePrivateAndAtomic() {
        const QString folder = Path(u"state/velm/recovery"_s);
        QVERIFY(io::EnsureJournalFolder(folder));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);

        const QString page = Path(u"page.html"_s);
        const QString name = io::JournalFileName(page, io::CurrentOwner(), 0);
        const QString file = WriteJournal(folder, SampleJournal(), name);
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        // Only the journal: no temporary file is left.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{name});

        const QString other = WriteJournal(folder, SampleJournal(),
                                           io::JournalFileName(QString(), io::CurrentOwner(), 3));
        QCOMPARE(io::ListJournalFiles(folder, page), QStringList{file});
        QCOMPARE(io::ListJournalFiles(folder).size(), 2);
        QVERIFY(io::ListJournalFiles(folder, Path(u"other.html"_s)).isEmpty());
        QVERIFY(io::RemoveJournalFile(other));
        QVERIFY(!QFile::exists(other));

        // A folder that cannot be made.
        WriteBytes(Path(u"plain"_s), "x");
        int code = 0;
        QVERIFY(!io::EnsureJournalFolder(Path(u"plain/recovery"_s), &code));
        QVERIFY(code != 0);
    }

    void ownerLiveness() {
        const io::JournalOwner self = io::CurrentOwner();
        QVERIFY(self.pid > 0 && self.startTime > 0 && !self.bootId.isEmpty());
        QCOMPARE(io::StateOf(self), io::OwnerState::Self);

        io::JournalOwner reused = self;
        reused.startTime += 1; // our number, another process
        QCOMPARE(io::StateOf(reused), io::OwnerState::Dead);

        io::JournalOwner otherBoot = self;
        otherBoot.bootId = u"another-boot"_s;
        QCOMPARE(io::StateOf(otherBoot), io::OwnerState::Dead);

        io::JournalOwner otherHost = self;
        otherHost.host += u".elsewhere"_s;
        otherHost.pid = 1;
        QCOMPARE(io::StateOf(otherHost), io::OwnerState::Alive);

        QProcess child;
        child.start(u"sleep"_s, {u"30"_s});
        QVERIFY(child.waitForStarted());
        io::JournalOwner running = self;
        running.pid = child.processId();
        running.startTime = io::ProcessStartTime(running.pid);
        QVERIFY(running.startTime > 0);
        QCOMPARE(io::StateOf(running), io::OwnerState::Alive);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(io::StateOf(running), io::OwnerState::Dead);
    }

    // ---- the keeper

    void blockCacheFollowsEveryEdit() {
        QTextDocument document; // laid out as the pane's is, or it reports no change
        document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
        QStringList lines;
        for (int i = 0; i < 3000; ++i)
            lines << u"line %1"_s.arg(i);
        document.setPlainText(lines.join(u'\n'));
        CBlockTextCache cache(&document);
        QRandomGenerator random(12);
        QTextCursor c(&document);
        for (int step = 0; step < 300; ++step) {
            const int size = document.characterCount() - 1;
            const int a = int(random.bounded(size + 1));
            // Mostly short selections, now and then across many runs.
            const int b = step % 7 == 0 ? int(random.bounded(size + 1))
                                        : qMin(size, a + int(random.bounded(40)));
            c.setPosition(a);
            c.setPosition(b, QTextCursor::KeepAnchor);
            switch (random.bounded(5)) {
            case 0:
                c.insertText(u"x"_s);
                break;
            case 1:
                c.insertText(u"a\nb\nc"_s);
                break;
            case 2:
                c.removeSelectedText();
                break;
            case 3:
                c.insertText(lines.mid(0, int(random.bounded(1500))).join(u'\n'));
                break;
            default:
                c.insertBlock();
                break;
            }
            if (step % 50 == 49)
                document.undo();
            QCOMPARE(CBlockTextCache::Join(cache.Blocks()), document.toRawText());
        }
        document.setPlainText(HardText());
        QCOMPARE(CBlockTextCache::Join(cache.Blocks()), document.toRawText());
        // Every change was followed, none by reading the whole text again.
        QCOMPARE(cache.Rebuilds(), 0);
    }

    void appendedTextIsTakenFromWhatWasAnnounced() {
        // Text announced before it is appended gives the new blocks without
        // reading them back, broken where the document breaks it; it is
        // trusted where the lengths agree (so the announcement in capitals
        // shows that it was used), and not used where they do not.
        QTextDocument document;
        document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
        document.setPlainText(u"start"_s);
        CBlockTextCache cache(&document);
        QTextCursor c(&document);
        QString expected = document.toRawText();
        const auto append = [&](const QString& announced, const QString& text) {
            c.movePosition(QTextCursor::End);
            cache.ExpectAppend(announced);
            c.insertText(text);
            cache.ExpectAppend({});
            return CBlockTextCache::Join(cache.Blocks());
        };
        for (const QString& text : {u"a\r\nb\rc\nd\u2029e"_s, u"\r\n"_s, u"x\uFDD0y\uFDD1"_s,
                                    u"\r"_s, u"\n\nlast"_s, u"plain"_s}) {
            QString asPane = text;
            asPane.replace(u"\r\n"_s, u"\u2029"_s);
            for (const char16_t c : {u'\r', u'\n', u'\uFDD0', u'\uFDD1'})
                asPane.replace(QChar(c), QChar::ParagraphSeparator);
            expected += asPane.toUpper();
            QCOMPARE(append(text.toUpper(), text), expected);
        }
        document.setPlainText(u"start"_s);
        for (const auto& [announced, text] : {std::pair(u"zz\nq"_s, u"abc\nd"_s),
                                              std::pair(u"one line"_s, u"two\nlines"_s)}) {
            const QString cached = append(announced, text);
            QCOMPARE(cached, document.toRawText());
        }
        QCOMPARE(cache.Rebuilds(), 0);
    }

    void textWrittenOutIsReadAgainWhenAChangeWasMissed() {
        // A change the cache did not see (its notice blocked) leaves it
        // behind; what a save writes notices that by the length and reads
        // the document again.
        QTextDocument document;
        document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
        document.setPlainText(u"one\ntwo\nthree"_s);
        CBlockTextCache cache(&document);
        {
            const QSignalBlocker unseen(&document);
            QTextCursor c(&document);
            c.movePosition(QTextCursor::NextBlock);
            c.insertText(u"2 "_s);
        }
        QCOMPARE(CBlockTextCache::Join(cache.Blocks()), u"one\u2029two\u2029three"_s);
        const int rebuilds = cache.Rebuilds();
        QCOMPARE(CBlockTextCache::Join(cache.CheckedBlocks()), document.toRawText());
        QCOMPARE(cache.Rebuilds(), rebuilds + 1);
        QCOMPARE(CBlockTextCache::Join(cache.CheckedBlocks()), document.toRawText());
        QCOMPARE(cache.Rebuilds(), rebuilds + 1); // in step now: nothing read again
    }

    void blockCacheFollowsSplitLines() {
        // Edits that cut, grow and merge the pieces of long lines: the cache
        // joined at the pane's splits is the pane's text.
        CEditorView view;
        QString line;
        for (int i = 0; i < 700; ++i)
            line += u"<TD>表%1</TD>"_s.arg(i);
        view.SetWholeText(u"head"_s + QChar::ParagraphSeparator + line + QChar::ParagraphSeparator + line);
        CBlockTextCache cache(view.document());
        QRandomGenerator random(7);
        for (int step = 0; step < 200; ++step) {
            const qsizetype size = view.GetWholeText().size();
            const qsizetype a = random.bounded(size + 1);
            const qsizetype b = step % 5 == 0 ? random.bounded(size + 1)
                                              : qMin(size, a + random.bounded(3000));
            QTextCursor c = view.textCursor();
            c.setPosition(view.PanePosition(a));
            c.setPosition(view.PanePosition(b), QTextCursor::KeepAnchor);
            switch (random.bounded(4)) {
            case 0:
                view.InsertText(c, QString(int(random.bounded(2500)), u'q'));
                break;
            case 1:
                view.InsertText(c, u"a\r\nb"_s);
                break;
            case 2:
                c.removeSelectedText();
                break;
            default:
                view.setTextCursor(c);
                QTest::keyClicks(&view, u"xy"_s);
                break;
            }
            if (step % 40 == 39)
                view.document()->undo();
            const io::TextSplits splits = view.SplitPositions();
            QCOMPARE(CBlockTextCache::Join(cache.Blocks(), splits), view.GetWholeText());
        }
    }

    void longLinesComeBackWhole() {
        // The pane holds a long line as several paragraphs; the journal holds
        // the file's lines, on both ways of writing it.
        testing::FakeUi ui;
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        const QString page = Path(u"long.html"_s);
        QByteArray bytes = "<P>short</P>\r\n";
        for (int i = 0; i < 900; ++i)
            bytes += "<B>\x93\xfa\x96\x7b</B>x"; // 日本, tags, no break for long
        bytes += "\x80\r\n<P>end</P>";
        WriteBytes(page, bytes);
        QVERIFY((testing::Load(doc, page) == CDocumentLoad::Result::Loaded));
        doc.SetPathName(page);
        CRecoveryKeeper keeper(&doc);
        keeper.SetFolder(Folder());
        keeper.SetIntervals(50, 5000);
        // Typing in the middle of the long line, and a paste across its pieces.
        QTextCursor c = view.textCursor();
        c.setPosition(view.PanePosition(5000));
        view.setTextCursor(c);
        QTest::keyClicks(&view, u"typed"_s);
        c = view.textCursor();
        c.setPosition(view.PanePosition(100));
        c.setPosition(view.PanePosition(7000), QTextCursor::KeepAnchor);
        view.InsertText(c, QString(3000, u'y'));
        QVERIFY(view.document()->blockCount() > 5); // held in pieces
        const QString whole = view.GetWholeText();
        QCOMPARE(whole.count(QChar::ParagraphSeparator), 2);

        QSignalSpy written(&keeper, &CRecoveryKeeper::journalWritten);
        QTRY_VERIFY(written.size() > 0);
        keeper.WaitForWorker();
        io::Journal j;
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QCOMPARE(j.text, whole);
        // The synchronous write (signals, logout) too.
        QTest::keyClicks(&view, u"z"_s);
        QVERIFY(keeper.WriteNow());
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QCOMPARE(j.text, view.GetWholeText());
    }

    void journalOfEditsReplaysToThePane_data() {
        QTest::addColumn<QByteArray>("file");
        QByteArray shortLines, longLines, manyLines;
        for (int i = 0; i < 3000; ++i)
            shortLines += "<P>line " + QByteArray::number(i) + "</P>\r\n";
        for (int l = 0; l < 60; ++l) { // runs of pieces and lines
            for (int i = 0; i < 500; ++i)
                longLines += "<TD>\x95\x5c" + QByteArray::number(i) + "</TD>"; // 表, split in the pane
            longLines += "\r\n" + shortLines.first(200);
        }
        for (int i = 0; i < 70000; ++i) // paragraphs shared by many lines
            manyLines += "<LI>" + QByteArray::number(i) + "\r\n";
        QTest::newRow("short lines") << shortLines;
        QTest::newRow("long lines split") << longLines;
        QTest::newRow("shared paragraphs") << manyLines;
    }

    void journalOfEditsReplaysToThePane() {
        // Random edits, undo and redo, written as edits at pauses and now and
        // then as a new base while typing goes on: the journal read back is
        // the pane's text every time.
        QFETCH(QByteArray, file);
        testing::FakeUi ui;
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        const QString page = Path(u"edits.html"_s);
        WriteBytes(page, file);
        QVERIFY((testing::Load(doc, page) == CDocumentLoad::Result::Loaded));
        doc.SetPathName(page);
        CRecoveryKeeper keeper(&doc);
        keeper.SetFolder(Folder());
        keeper.SetIntervals(1000000, 1000000); // written below, when the test says
        QRandomGenerator random(25);
        int replayed = 0;
        for (int step = 0; step < 120; ++step) {
            const qsizetype size = view.GetWholeText().size();
            const qsizetype a = random.bounded(size + 1);
            const qsizetype b = step % 9 == 0 ? qMin(size, a + random.bounded(20000))
                                              : qMin(size, a + random.bounded(30));
            QTextCursor c = view.textCursor();
            c.setPosition(view.PanePosition(a));
            c.setPosition(view.PanePosition(b), QTextCursor::KeepAnchor);
            switch (random.bounded(6)) {
            case 0:
                view.InsertText(c, QString(int(random.bounded(2500)), u'q'));
                break;
            case 1:
                view.InsertText(c, u"a\r\n日\nc"_s);
                break;
            case 2:
                c.removeSelectedText();
                break;
            case 3:
                view.document()->undo();
                break;
            case 4:
                view.document()->redo();
                break;
            default:
                view.setTextCursor(c);
                QTest::keyClicks(&view, u"xy"_s);
                QTest::keyClick(&view, Qt::Key_Return);
                break;
            }
            if (step % 6 != 5)
                continue;
            if (step % 30 == 29) {
                keeper.WriteChanges();
                keeper.WaitForWorker();
                keeper.WriteChanges(true); // a new base on the worker...
                QTest::keyClicks(&view, u"zz"_s); // ...while typing goes on
            }
            keeper.WriteChanges();
            keeper.WaitForWorker();
            io::Journal j;
            QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
            QVERIFY(!j.editsStopped);
            QCOMPARE(j.text, view.GetWholeText());
            if (step % 30 == 29)
                QVERIFY(j.edits <= 1); // a new base, and what was typed after it
            replayed += j.edits;
        }
        QVERIFY(replayed > 5); // edits were appended, not all written whole
        keeper.Release();
    }

    void tornOrCorruptEditRecords() {
        io::Journal base = SampleJournal();
        const QDateTime later = base.written.addSecs(5);
        const std::vector<io::JournalEdit> edits = {
            {3, 0, u"新"_s}, {0, 2, QString()}, {4, 1, u"x"_s + QChar(0xDC81)}};
        QByteArray bytes = io::SerializeJournal(base);
        QString expected = base.text;
        QList<qsizetype> ends{bytes.size()};
        QStringList texts{expected};
        for (const io::JournalEdit& edit : edits) {
            bytes += io::SerializeEdits({edit}, later);
            QVERIFY(io::ApplyEdit(expected, edit));
            ends << bytes.size();
            texts << expected;
        }
        io::Journal j;
        QCOMPARE(io::ParseJournal(bytes, j), io::JournalError::None);
        QCOMPARE(j.text, expected);
        QCOMPARE(j.edits, 3);
        QCOMPARE(j.written, later);
        // Every cut of the last record: what came before it, without a word.
        for (qsizetype size = ends[2]; size < ends[3]; ++size) {
            QCOMPARE(io::ParseJournal(bytes.first(size), j), io::JournalError::None);
            QCOMPARE(j.text, texts[2]);
            QCOMPARE(j.edits, 2);
            QVERIFY(!j.editsStopped);
        }
        // A damaged record before the last stops the replay there, and says so.
        for (qsizetype at : {ends[1], ends[1] + 5, ends[1] + 30, ends[2] - 1}) {
            QByteArray damaged = bytes;
            damaged[at] = char(damaged[at] ^ 0x04);
            QCOMPARE(io::ParseJournal(damaged, j), io::JournalError::None);
            QCOMPARE(j.text, texts[1]);
            QVERIFY(j.editsStopped);
        }
        // An edit out of the text's bounds is damage too.
        QCOMPARE(io::ParseJournal(bytes + io::SerializeEdits({{99, 0, u"a"_s}}, later) +
                                      io::SerializeEdits({{0, 0, u"b"_s}}, later),
                                  j),
                 io::JournalError::None);
        QCOMPARE(j.text, expected);
        QVERIFY(j.editsStopped);

        // The recovery question says that later changes are lost.
        QByteArray dead = io::SerializeJournal(DeadJournal(QString(), u"abc"_s)) +
                          io::SerializeEdits({{3, 0, u"d"_s}}, later);
        dead += io::SerializeEdits({{4, 0, u"e"_s}}, later);
        dead[dead.size() - 20] = char(dead[dead.size() - 20] ^ 1);
        dead += io::SerializeEdits({{5, 0, u"f"_s}}, later);
        QVERIFY(io::EnsureJournalFolder(Folder()));
        QCOMPARE(io::WriteJournalFile(QDir(Folder()).filePath(u"stopped.vjr"_s), dead),
                 io::JournalError::None);
        AppFixture f;
        f.ui.recoverQuestions.clear();
        f.ui.recoverAnswers.enqueue(RecoveryAnswer::Recover);
        QVERIFY(f.Start({}));
        QCOMPARE(f.ui.recoverQuestions.size(), 1);
        QVERIFY(f.ui.recoverQuestions[0].endsWith(res::LoadString(res::IDS_JOURNAL_EDITS_STOPPED)));
        QCOMPARE(f.View()->GetWholeText(), u"abcd"_s);
    }

    void keeperWritesAfterPauseAndRemovesWhenDone() {
        testing::FakeUi ui;
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        doc.OnNewDocument();
        CRecoveryKeeper keeper(&doc);
        keeper.SetFolder(Folder());
        keeper.SetIntervals(50, 5000);

        // Untitled: nothing until there is a change, then the text.
        QVERIFY(io::ListJournalFiles(Folder()).isEmpty());
        TypeAtEnd(&view, u"abc"_s);
        QTRY_VERIFY(!keeper.JournalFile().isEmpty() && QFile::exists(keeper.JournalFile()));
        keeper.WaitForWorker();
        io::Journal j;
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QVERIFY(j.hasText && j.path.isEmpty());
        QCOMPARE(j.text, u"abc"_s);
        QCOMPARE(j.owner, io::CurrentOwner());

        // A new document replaces it: the journal goes.
        const QString untitled = keeper.JournalFile();
        doc.OnNewDocument();
        QVERIFY(!QFile::exists(untitled));

        // A file: the owner record while unchanged, the text while changed,
        // the record again after a save.
        const QString page = Path(u"keeper.html"_s);
        WriteBytes(page, "<P>\x82\xa0</P>\r\n\x80");
        QVERIFY((testing::Load(doc, page) == CDocumentLoad::Result::Loaded));
        doc.SetPathName(page);
        QVERIFY(QFile::exists(keeper.JournalFile()));
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QVERIFY(!j.hasText);
        QCOMPARE(j.path, QFileInfo(page).absoluteFilePath());
        QCOMPARE(j.identity, doc.FileIdentity());

        QCoreApplication::sendPostedEvents(); // earlier writes are reported
        QSignalSpy written(&keeper, &CRecoveryKeeper::journalWritten);
        TypeAtEnd(&view, u"z"_s);
        QTRY_VERIFY(!written.isEmpty());
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QVERIFY(j.hasText);
        QCOMPARE(j.text, view.GetWholeText());
        QVERIFY(j.text.contains(QChar(0xDC80)));

        QVERIFY(doc.DoFileSave());
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QVERIFY(!j.hasText);

        // Discarding at the save question drops the text, keeps the record.
        TypeAtEnd(&view, u"y"_s);
        written.clear();
        QTRY_VERIFY(!written.isEmpty());
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QVERIFY(j.hasText);
        ui.saveAnswers.enqueue(CUiServices::Answer::No);
        QVERIFY(doc.SaveModified());
        QCOMPARE(io::ReadJournal(keeper.JournalFile(), j), io::JournalError::None);
        QVERIFY(!j.hasText);

        // Closing unmodified removes it.
        const QString lock = keeper.JournalFile();
        keeper.Release();
        QVERIFY(!QFile::exists(lock));
        QVERIFY(io::ListJournalFiles(Folder()).isEmpty());
    }

    void continuousTypingStillWrites() {
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        doc.OnNewDocument();
        CRecoveryKeeper keeper(&doc);
        keeper.SetFolder(Folder());
        keeper.SetIntervals(400, 100); // the pause never comes
        QSignalSpy written(&keeper, &CRecoveryKeeper::journalWritten);
        for (int i = 0; i < 40 && written.isEmpty(); ++i) {
            TypeAtEnd(&view, u"k"_s);
            QTest::qWait(20);
        }
        QVERIFY(!written.isEmpty());
        QVERIFY(written.first().first().toBool());
    }

    void failedWriteIsShownOnceAndRetried() {
        CEditorDoc doc;
        CEditorView view;
        doc.SetView(&view);
        doc.OnNewDocument();
        CRecoveryKeeper keeper(&doc);
        // A regular file where the folder's parent should be: mkdir fails,
        // whoever runs the test.
        WriteBytes(Path(u"blocked"_s), "x");
        keeper.SetFolder(Path(u"blocked/recovery"_s));
        keeper.SetIntervals(20, 60);
        QSignalSpy messages(&keeper, &CRecoveryKeeper::messageText);
        TypeAtEnd(&view, u"a"_s);
        QTRY_COMPARE(messages.size(), 1);
        QVERIFY(messages.first().first().toString().contains(u"blocked"_s));
        TypeAtEnd(&view, u"b"_s);
        QTest::qWait(300);
        QCOMPARE(messages.size(), 1); // once, not per attempt

        // The next attempt succeeds once the folder can be made.
        QVERIFY(QFile::remove(Path(u"blocked"_s)));
        QTRY_VERIFY(!keeper.JournalFile().isEmpty() && QFile::exists(keeper.JournalFile()));
        QCOMPARE(messages.size(), 1);

        // The worker's write fails: a folder stands where the journal goes.
        const QString file = keeper.JournalFile();
        keeper.WaitForWorker();
        QCoreApplication::sendPostedEvents(); // the last success is reported
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkdir(file));
        QSignalSpy written(&keeper, &CRecoveryKeeper::journalWritten);
        TypeAtEnd(&view, u"c"_s);
        QTRY_COMPARE(messages.size(), 2);
        // (A pause without a text change, after colouring, writes nothing and succeeds.)
        QVERIFY(std::any_of(written.cbegin(), written.cend(),
                            [](const QList<QVariant>& w) { return !w.first().toBool(); }));
        TypeAtEnd(&view, u"d"_s);
        QTRY_VERIFY(written.size() >= 2);
        QTest::qWait(100);
        QCOMPARE(messages.size(), 2);
        // No temporary file is left behind by the failures.
        QCOMPARE(QDir(keeper.Folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(QDir().rmdir(file));
        keeper.Release();
    }

    // ---- the application

    void recoveryAtStartRestoresTheDocument() {
        const QString page = Path(u"recovered.html"_s);
        WriteBytes(page, "<P>old</P>");
        io::Journal dead = DeadJournal(page, HardText());
        const QString old = WriteJournal(Folder(), dead, u"old-journal.vjr"_s);

        AppFixture f; // the first start keeps what it is offered
        f.ui.recoverQuestions.clear();
        f.ui.recoverAnswers.enqueue(RecoveryAnswer::Recover);
        QVERIFY(f.Start({}));
        QCOMPARE(f.ui.recoverQuestions.size(), 1);
        QVERIFY(f.ui.recoverQuestions.first().startsWith(
            u"保存されていない変更が見つかりました。復元しますか?\n"_s +
            QDir::toNativeSeparators(page)));
        QCOMPARE(f.View()->GetWholeText(), HardText());
        QVERIFY(f.Doc()->IsModified());
        QCOMPARE(f.Doc()->GetPathName(), page);
        QCOMPARE(f.Doc()->FileIdentity(), dead.identity);
        QCOMPARE(f.Doc()->TextFormat(), dead.format);
        // Taken over: this process's journal holds the text, the old one is gone.
        QVERIFY(!QFile::exists(old));
        io::Journal mine;
        QCOMPARE(io::ReadJournal(f.app->GetRecoveryKeeper()->JournalFile(), mine),
                 io::JournalError::None);
        QCOMPARE(mine.text, HardText());
        QCOMPARE(mine.owner, io::CurrentOwner());
    }

    // The program was killed while it rewrote a hard-linked file in place,
    // its unsaved text in the journal: the next start puts the old bytes
    // back and says so, then offers the text; the file restored is not
    // taken for a change by another program.
    void saveInterruptedInPlaceIsSettledBeforeTheJournal() {
        const QString page = Path(u"linked.html"_s);
        const QByteArray before = QByteArray(2 << 20, 'o');
        WriteBytes(page, before);
        QVERIFY(::link(QFile::encodeName(page).constData(),
                       QFile::encodeName(Path(u"linked-too.html"_s)).constData()) == 0);
        io::Journal dead = DeadJournal(page, u"<P>unsaved</P>"_s);
        dead.identity = io::IdentityOf(page);
        WriteJournal(Folder(), dead, io::JournalFileName(page, dead.owner, 0));
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            io::testing::s_saveStep = [](io::testing::SaveStep step) {
                if (step == io::testing::SaveStep::Rewriting)
                    ::raise(SIGKILL);
            };
            ::_exit(int(WriteWholeFile(page, QByteArray(3 << 20, 'n'))));
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QVERIFY(ReadBytes(page) != before);

        AppFixture f; // keeps the journal it is offered
        QCOMPARE(f.ui.warnings,
                 QStringList{page + u" の保存が中断されたため、保存前の内容に戻しました。"_s});
        QVERIFY(ReadBytes(page) == before);
        f.ui.recoverQuestions.clear();
        f.ui.recoverAnswers.enqueue(RecoveryAnswer::Recover);
        QVERIFY(f.Start({}));
        QCOMPARE(f.ui.recoverQuestions.size(), 1);
        QCOMPARE(f.View()->GetWholeText(), u"<P>unsaved</P>"_s);
        f.ui.yesNoQuestions.clear();
        f.Doc()->CheckFileOnDisk();
        QVERIFY(f.Frame()->RouteCommand(57603));
        QCOMPARE(f.ui.yesNoQuestions, QStringList());
        QCOMPARE(ReadBytes(page), QByteArray("<P>unsaved</P>"));
    }

    // The state folder is made for the user alone whatever the umask.
    void stateFolderIsPrivateWhateverTheUmask() {
        const QByteArray previous = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(Path(u"umask/state"_s)));
        const mode_t mask = ::umask(0);
        const bool made = io::EnsureJournalFolder(io::JournalFolder());
        ::umask(mask);
        const QString folder = io::JournalFolder();
        qputenv("XDG_STATE_HOME", previous);
        QVERIFY(made);
        for (const QString& each : {Path(u"umask"_s), Path(u"umask/state"_s),
                                    Path(u"umask/state/velm"_s), folder}) {
            struct stat st {};
            QCOMPARE(::lstat(QFile::encodeName(each).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
        }
    }

    // A journal planted where another user could have put it is never
    // offered: through a link, in a folder others may write to, or in a
    // file owned by someone else. The status bar says why once.
    void plantedJournalsAreNotBelieved_data() {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder is a link") << u"link"_s << u"シンボリックリンクなので使いません"_s;
        QTest::newRow("folder open to others") << u"open"_s << u"ほかのユーザーも書き込めるフォルダーなので使いません"_s;
        QTest::newRow("journal of another user") << u"foreign"_s << QString();
    }
    void plantedJournalsAreNotBelieved() {
        QFETCH(QString, plant);
        QFETCH(QString, message);
        const QString page = Path(u"planted.html"_s);
        WriteBytes(page, "<P>mine</P>");
        const io::Journal dead = DeadJournal(page, u"<P>planted</P>"_s);
        const QString elsewhere = Path(u"elsewhere"_s);
        QDir(elsewhere).removeRecursively();
        if (plant == u"link") {
            WriteJournal(elsewhere, dead, u"planted.vjr"_s);
            QVERIFY(QFile::link(elsewhere, Folder()));
        } else {
            const QString file = WriteJournal(Folder(), dead, u"planted.vjr"_s);
            if (plant == u"open")
                QVERIFY(::chmod(QFile::encodeName(Folder()).constData(), 0777) == 0);
            else if (::chown(QFile::encodeName(file).constData(), 65534, 65534) != 0)
                QSKIP("the journal cannot be given to another user here (not root)");
        }
        AppFixture f;
        QCOMPARE(f.ui.recoverQuestions, QStringList());
        const QString shown = f.Frame()->findChild<QLabel*>(u"messagePane"_s)->text();
        if (message.isEmpty())
            QVERIFY(!shown.contains(u"使いません"_s));
        else
            QVERIFY2(shown.contains(message) && shown.contains(u"保存していない変更を残せません"_s),
                     qPrintable(shown));
        // Typing and saving writes nothing there either.
        f.ui.saveAnswers.enqueue(CUiServices::Answer::No);
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.View()->GetWholeText(), u"<P>mine</P>"_s);
        QFile::remove(Folder()); // the link
        ::chmod(QFile::encodeName(Folder()).constData(), 0700);
    }

    // The record that the file is open here stays through a reload after a
    // change on disk, and goes when the document leaves the file.
    void lockFollowsTheDocument() {
        const QString page = Path(u"locked.html"_s);
        WriteBytes(page, "<P>one</P>");
        AppFixture f({page});
        QVERIFY(f.started);
        CRecoveryKeeper* keeper = f.app->GetRecoveryKeeper();
        const auto lockOf = [&](const QString& path) {
            io::Journal j;
            return io::ReadJournal(keeper->JournalFile(), j) == io::JournalError::None &&
                   !j.hasText && j.path == path && j.owner == io::CurrentOwner();
        };
        QVERIFY(lockOf(page));
        WriteBytes(page, "<P>two, longer</P>");
        f.ui.yesNoAnswers.enqueue(true);
        QCOMPARE(testing::WaitFor(f.Doc()->CheckFileOnDisk()), CDocumentLoad::Result::Loaded);
        QCOMPARE(f.View()->GetWholeText(), u"<P>two, longer</P>"_s);
        QVERIFY(lockOf(page));
        io::Journal j;
        QCOMPARE(io::ReadJournal(keeper->JournalFile(), j), io::JournalError::None);
        QCOMPARE(j.identity, io::IdentityOf(page));
        const QString lock = keeper->JournalFile();
        QVERIFY(f.Frame()->RouteCommand(57600)); // New
        QVERIFY(!QFile::exists(lock));
    }

    // A state folder that cannot be made: opening a file says once that
    // other windows cannot be told it is open.
    void unusableStateFolderIsSaidOnce() {
        const QString page = Path(u"nolock.html"_s);
        WriteBytes(page, "<P>x</P>");
        const QString blocker = Path(u"not-a-folder"_s);
        WriteBytes(blocker, "x");
        const QByteArray previous = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(blocker));
        AppFixture f({page});
        qputenv("XDG_STATE_HOME", previous);
        QVERIFY(f.started);
        QCOMPARE(f.Doc()->GetPathName(), page);
        QCOMPARE(f.Frame()->findChild<QLabel*>(u"messagePane"_s)->text(),
                 blocker + u"/velm に書き込めないため、このファイルを開いていることをほかのウィンドウに知らせられません (Not a directory)。"_s);
    }

    void recoveryAtStartKeptOrDiscarded() {
        const QString a = WriteJournal(Folder(), DeadJournal(QString(), u"a"_s), u"a.vjr"_s);
        io::Journal earlier = DeadJournal(Path(u"b.html"_s), u"b"_s);
        earlier.written = earlier.written.addSecs(-60);
        const QString b = WriteJournal(Folder(), earlier, u"b.vjr"_s);
        // Not offered at all: a corrupt journal and a live owner's.
        WriteBytes(QDir(Folder()).filePath(u"c.vjr"_s), "VELMJRNL\x01");
        io::Journal live = DeadJournal(Path(u"d.html"_s), u"d"_s);
        live.owner = io::CurrentOwner();
        live.owner.pid = 1; // init: alive, and not us
        live.owner.startTime = io::ProcessStartTime(1);
        WriteJournal(Folder(), live, u"d.vjr"_s);

        AppFixture f;
        f.ui.recoverQuestions.clear();
        for (RecoveryAnswer answer :
             {RecoveryAnswer::Keep, RecoveryAnswer::Discard, RecoveryAnswer::Discard})
            f.ui.recoverAnswers.enqueue(answer);
        f.ui.discardAnswers << false << true;
        QVERIFY(f.Start({}));
        // The latest first: a kept; b discarded after its confirmation said
        // no once.
        QCOMPARE(f.ui.recoverQuestions.size(), 3);
        QVERIFY(f.ui.recoverQuestions.first().contains(u"\n無題 ("_s));
        QCOMPARE(f.ui.discardQuestions.size(), 2);
        QVERIFY(QFile::exists(a));
        QVERIFY(!QFile::exists(b));
        QVERIFY(QFile::exists(QDir(Folder()).filePath(u"c.vjr"_s)));
        QVERIFY(QFile::exists(QDir(Folder()).filePath(u"d.vjr"_s)));
        QVERIFY(!f.Doc()->IsModified());
    }

    void openingAFileOffersItsJournalFirst() {
        const QString page = Path(u"offered.html"_s);
        WriteBytes(page, "<P>disk</P>");
        io::Journal dead = DeadJournal(page, u"<P>unsaved</P>"_s);
        dead.identity = io::IdentityOf(page); // the file as the crashed editor knew it
        WriteJournal(Folder(), dead, io::JournalFileName(page, dead.owner, 0));
        // Given on the command line: asked once, before the file opens.
        AppFixture f; // the first start keeps what it is offered
        f.ui.recoverQuestions.clear();
        f.ui.recoverAnswers.enqueue(RecoveryAnswer::Recover);
        QVERIFY(f.Start({page}));
        QCOMPARE(f.ui.recoverQuestions.size(), 1);
        QCOMPARE(f.View()->GetWholeText(), u"<P>unsaved</P>"_s);
        QVERIFY(f.Doc()->IsModified());
        // Ctrl+S writes to the kept path.
        QVERIFY(f.Frame()->RouteCommand(57603));
        QCOMPARE(ReadBytes(page), QByteArray("<P>unsaved</P>"));
        io::Journal mine;
        QCOMPARE(io::ReadJournal(f.app->GetRecoveryKeeper()->JournalFile(), mine),
                 io::JournalError::None);
        QVERIFY(!mine.hasText);
    }

    void recoveredDocumentOfAFileChangedSinceAsksBeforeOverwriting() {
        const QString page = Path(u"changed.html"_s);
        WriteBytes(page, "<P>disk</P>");
        io::Journal dead = DeadJournal(page, u"<P>unsaved</P>"_s);
        dead.identity = io::IdentityOf(page);
        WriteJournal(Folder(), dead, io::JournalFileName(page, dead.owner, 0));
        WriteBytes(page, "<P>changed by another program</P>");

        AppFixture f;
        f.ui.recoverQuestions.clear();
        f.ui.recoverAnswers.enqueue(RecoveryAnswer::Recover);
        QVERIFY(f.Start({page}));
        QCOMPARE(f.View()->GetWholeText(), u"<P>unsaved</P>"_s);
        f.ui.yesNoQuestions.clear();
        QVERIFY(f.Frame()->RouteCommand(57603)); // いいえ: nothing written
        QCOMPARE(f.ui.yesNoQuestions.size(), 1);
        QCOMPARE(ReadBytes(page), QByteArray("<P>changed by another program</P>"));
        QVERIFY(f.Doc()->IsModified());
        f.ui.yesNoAnswers.enqueue(true);
        QVERIFY(f.Frame()->RouteCommand(57603));
        QCOMPARE(ReadBytes(page), QByteArray("<P>unsaved</P>"));
    }

    void recoveredDocumentComesBeforeTheCommandLineFile() {
        const QString recovered = Path(u"first.html"_s);
        const QString given = Path(u"given.html"_s);
        WriteBytes(given, "<P>given</P>");
        WriteJournal(Folder(), DeadJournal(recovered, u"<P>kept</P>"_s), u"first.vjr"_s);
        AppFixture f; // the first start keeps what it is offered
        f.ui.recoverQuestions.clear();
        f.ui.saveQuestions.clear();
        f.ui.recoverAnswers.enqueue(RecoveryAnswer::Recover);
        f.ui.saveAnswers.enqueue(CUiServices::Answer::Cancel);
        // The file then opens as any other: the save question comes, and
        // cancelling it keeps the recovered document and the program.
        QVERIFY(f.Start({given}));
        QCOMPARE(f.ui.recoverQuestions.size(), 1);
        QCOMPARE(f.ui.saveQuestions.size(), 1);
        QCOMPARE(f.Doc()->GetPathName(), recovered);
        QCOMPARE(f.View()->GetWholeText(), u"<P>kept</P>"_s);
        QVERIFY(f.Doc()->IsModified());
        // Opened after all: the recovered changes were saved first.
        f.ui.saveAnswers.enqueue(CUiServices::Answer::Yes);
        QCOMPARE(testing::Open(*f.app, given), CEditorApp::OpenResult::Opened);
        QCOMPARE(ReadBytes(recovered), QByteArray("<P>kept</P>"));
        QCOMPARE(f.View()->GetWholeText(), u"<P>given</P>"_s);
    }

    void fileInUseAsksBeforeOpening() {
        const QString page = Path(u"inuse.html"_s);
        WriteBytes(page, "<P>x</P>");
        QProcess other;
        other.start(u"sleep"_s, {u"30"_s});
        QVERIFY(other.waitForStarted());
        // The other window opened it through a symbolic link.
        const QString link = Path(u"link.html"_s);
        QVERIFY(QFile::link(page, link));
        io::Journal lock = DeadJournal(link, QString());
        lock.hasText = false;
        lock.owner = io::CurrentOwner();
        lock.owner.pid = other.processId();
        lock.owner.startTime = io::ProcessStartTime(lock.owner.pid);
        WriteJournal(Folder(), lock, io::JournalFileName(link, lock.owner, 0));

        AppFixture f;
        testing::SetText(f.View(), u"mine"_s, 0, 0);
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Cancelled);
        QCOMPARE(f.ui.inUseQuestions,
                 QStringList{u"%1 はほかのｳｨﾝﾄﾞｳで編集中です。開きますか?"_s.arg(page)});
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
        QVERIFY(f.Doc()->GetPathName().isEmpty());

        f.ui.inUseAnswers.enqueue(true);
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.View()->GetWholeText(), u"<P>x</P>"_s);
        other.kill();
        other.waitForFinished();
        // Its owner gone, the record without text is no lock any more.
        f.ui.inUseQuestions.clear();
        QVERIFY(testing::Open(*f.app, Path(u"none.html"_s)) != CEditorApp::OpenResult::Cancelled);
    }

    // Last: leaving the event loop stays in force for the rest of the process.
    void terminationSignalKeepsTheChanges() {
        const QString page = Path(u"signal.html"_s);
        WriteBytes(page, "<P>a</P>");
        AppFixture f;
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        TypeAtEnd(f.View(), u"<B>"_s);
        ::raise(SIGHUP); // through the socket pair and the event loop
        CRecoveryKeeper* keeper = f.app->GetRecoveryKeeper();
        io::Journal j;
        QTRY_VERIFY(io::ReadJournal(keeper->JournalFile(), j) == io::JournalError::None &&
                    j.hasText);
        QCOMPARE(j.text, u"<P>a</P><B>"_s);
        QCOMPARE(f.app->ExitCode(), 0);
        QVERIFY(f.ui.saveQuestions.isEmpty());
        const QString file = keeper->JournalFile();
        f.Stop(); // the end does not take the journal away
        QCOMPARE(io::ReadJournal(file, j), io::JournalError::None);
        QVERIFY(j.hasText);
        QCOMPARE(ReadBytes(page), QByteArray("<P>a</P>"));
    }
};

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
