#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "doc/UiServices.h"
#include "pane/PaneMemory.h"
#include "io/FileIo.h"
#include "io/MemoryRoom.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testing::AppFixture;
using testing::ReadBytes;
using testing::WriteBytes;
using Answer = CUiServices::Answer;

namespace {

// Shift-JIS text with an invalid byte and a duplicate-free mix of scripts.
const QByteArray kPage = "<HTML>\r\n<BODY>\r\n\x82\xa0\x82\xa2 \xc3\xbd\xc4 \x93\xfa\x96\x7b\r\n"
                         "\x80\xfd raw\r\n</BODY>\r\n</HTML>";

// While this exists, files are created with the rights of an ordinary user.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : m_previous(geteuid() == 0 ? setfsuid(65534) : -1) {}
    ~AsOrdinaryUser() {
        if (m_previous >= 0)
            setfsuid(m_previous);
    }

private:
    int m_previous;
};

// While this exists, no file may grow beyond `limit` bytes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit l = m_previous;
        l.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_previous); }

private:
    rlimit m_previous{};
};

// While this exists, the address space may not grow beyond `limit` bytes.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(qint64 limit) {
        getrlimit(RLIMIT_AS, &m_previous);
        rlimit l = m_previous;
        l.rlim_cur = rlim_t(limit);
        setrlimit(RLIMIT_AS, &l);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_previous); }

private:
    rlimit m_previous{};
};

} // namespace

// The document's files: open, save, save as, new, and everything that can
// go wrong on the way.
class TestDocument : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() { platform::Initialize(); }

    void unchangedFileSavesBackByteForByte() {
        AppFixture f;
        WriteBytes(Path(u"page.html"_s), kPage);
        QCOMPARE(testing::Open(*f.app, Path(u"page.html"_s)), CEditorApp::OpenResult::Opened);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QVERIFY(f.ui.warnings.isEmpty());
        QCOMPARE(ReadBytes(Path(u"page.html"_s)), kPage);
        QVERIFY(!f.Doc()->IsModified());
    }

    void editedTextIsWrittenAsShiftJisWithCrLf() {
        AppFixture f;
        f.View()->ReplaceSelection(u"<P>日本語\nﾃｽﾄ</P>"_s, false);
        QVERIFY(f.Doc()->IsModified());
        f.ui.saveAsPaths.enqueue(Path(u"new.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(f.ui.proposedNames, QStringList{u"無題.html"_s});
        QCOMPARE(ReadBytes(Path(u"new.html"_s)), QByteArray("<P>\x93\xfa\x96\x7b\x8c\xea\r\n\xc3\xbd\xc4</P>"));
        QCOMPARE(f.Frame()->windowTitle(), u"new.html - Velm HTML Editor"_s);
        QCOMPARE(f.app->RecentFiles().Files().first(), Path(u"new.html"_s));
        QVERIFY(!f.Doc()->IsModified());
    }

    void emptyDocumentGivesAnEmptyFile() {
        AppFixture f;
        f.ui.saveAsPaths.enqueue(Path(u"empty.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE_AS));
        QVERIFY(QFile::exists(Path(u"empty.html"_s)));
        QCOMPARE(ReadBytes(Path(u"empty.html"_s)), QByteArray());
    }

    void bareLineEndsBecomeCrLf() {
        AppFixture f;
        WriteBytes(Path(u"lf.html"_s), "a\nb\rc\r\n");
        QCOMPARE(testing::Open(*f.app, Path(u"lf.html"_s)), CEditorApp::OpenResult::Opened);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(Path(u"lf.html"_s)), QByteArray("a\r\nb\r\nc\r\n"));
    }

    void proposedNames() {
        QCOMPARE(CEditorDoc::ProposedFileName(u"無題"_s), u"無題.html"_s);
        QCOMPARE(CEditorDoc::ProposedFileName(u"my page"_s), u"my.html"_s);
        QCOMPARE(CEditorDoc::ProposedFileName(u"a#b"_s), u"a.html"_s);
        QCOMPARE(CEditorDoc::ProposedFileName(u"x%y;z"_s), u"x.html"_s);
    }

    void fileDialogs() {
        WriteBytes(Path(u"a.html"_s), "");
        WriteBytes(Path(u"b.htm"_s), "");
        WriteBytes(Path(u"c.txt"_s), "");
        std::unique_ptr<QFileDialog> open(MakeOpenFileDialog(nullptr));
        QCOMPARE(open->nameFilters(),
                 QStringList({u"HTML Files(*.html;*.htm)"_s, u"すべてのファイル (*.*)"_s}));
        auto* model = open->findChild<QFileSystemModel*>();
        QVERIFY(model);
        QCOMPARE(model->nameFilters(), QStringList({u"*.html"_s, u"*.htm"_s}));
        auto* combo = open->findChild<QComboBox*>(u"fileTypeCombo"_s);
        combo->setCurrentIndex(1);
        QTRY_COMPARE(model->nameFilters(), QStringList{u"*"_s});
        combo->setCurrentIndex(0);
        QTRY_COMPARE(model->nameFilters(), QStringList({u"*.html"_s, u"*.htm"_s}));

        std::unique_ptr<QFileDialog> save(MakeSaveAsDialog(nullptr, Path(u"無題.html"_s)));
        QCOMPARE(save->windowTitle(), u"名前を付けて保存"_s);
        QCOMPARE(save->nameFilters(),
                 QStringList({u"HTML Files (*.html;*.htm)"_s, u"すべてのﾌｧｲﾙ (*.*)"_s}));
        QCOMPARE(save->findChild<QFileSystemModel*>()->nameFilters(), QStringList{u"*.html"_s});
        QCOMPARE(save->defaultSuffix(), u"html"_s);
        QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));

        // The folder of a typed path must exist: the dialog says so and stays.
        testing::FakeUi ui;
        const QString typed = Path(u"nowhere/page.html"_s);
        save->show();
        save->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(typed);
        QMetaObject::invokeMethod(save.get(), "accept");
        QCOMPARE(ui.warnings, QStringList{typed + u" には無効なﾊﾟｽが含まれています。"_s});
        QVERIFY(save->isVisible());
        QCOMPARE(save->result(), int(QDialog::Rejected));
        save->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(Path(u"fresh"_s));
        QMetaObject::invokeMethod(save.get(), "accept");
        QCOMPARE(save->result(), int(QDialog::Accepted));
        QCOMPARE(save->selectedFiles(), QStringList{Path(u"fresh.html"_s)});
        QCOMPARE(ui.warnings.size(), 1);
    }

    void saveQuestionOnNew() {
        AppFixture f;
        f.View()->ReplaceSelection(u"work"_s, false);
        // Cancel keeps everything.
        f.ui.saveAnswers.enqueue(Answer::Cancel);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_NEW));
        QCOMPARE(f.ui.saveQuestions, QStringList{u"無題 への変更を保存しますか?"_s});
        QCOMPARE(f.View()->GetWholeText(), u"work"_s);
        QVERIFY(f.Doc()->IsModified());
        // Yes saves through Save As first; cancelling that dialog stops New.
        f.ui.saveAnswers.enqueue(Answer::Yes);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_NEW));
        QCOMPARE(f.View()->GetWholeText(), u"work"_s);
        f.ui.saveAnswers.enqueue(Answer::Yes);
        f.ui.saveAsPaths.enqueue(Path(u"kept.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_NEW));
        QCOMPARE(ReadBytes(Path(u"kept.html"_s)), QByteArray("work"));
        QCOMPARE(f.View()->GetWholeText(), QString());
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
        // No discards.
        f.View()->ReplaceSelection(u"more"_s, false);
        f.ui.saveAnswers.enqueue(Answer::No);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_NEW));
        QCOMPARE(f.View()->GetWholeText(), QString());
        QVERIFY(!f.Doc()->IsModified());
    }

    void saveQuestionOnCloseAndExit() {
        AppFixture f;
        f.View()->ReplaceSelection(u"work"_s, false);
        f.ui.saveAnswers.enqueue(Answer::Cancel);
        QVERIFY(!f.Frame()->close());
        QVERIFY(f.Frame()->isVisible());
        f.ui.saveAnswers.enqueue(Answer::Cancel);
        QVERIFY(f.Frame()->RouteCommand(ID_APP_EXIT));
        QVERIFY(f.Frame()->isVisible());
        QCOMPARE(f.ui.saveQuestions.size(), 2);
        f.ui.saveAnswers.enqueue(Answer::No);
        QVERIFY(f.Frame()->close());
    }

    void openAsksFirstAndCancelKeepsTheDocument() {
        AppFixture f;
        WriteBytes(Path(u"other.html"_s), "other");
        f.View()->ReplaceSelection(u"mine"_s, false);
        f.View()->selectAll();
        f.ui.saveAnswers.enqueue(Answer::Cancel);
        f.ui.openPaths.enqueue(Path(u"other.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_OPEN));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
        QCOMPARE(f.View()->GetSelectedText(), u"mine"_s);
        QVERIFY(f.Doc()->IsModified());
        // Cancelling the dialog itself changes nothing and asks nothing.
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_OPEN));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.ui.saveQuestions.size(), 1);
        QCOMPARE(f.View()->GetSelectedText(), u"mine"_s);
        QVERIFY(f.Doc()->IsModified());
    }

    void missingOrUnreadableFilesLeaveTheDocument() {
        AppFixture f;
        f.View()->ReplaceSelection(u"mine"_s, false);
        f.ui.saveAnswers.enqueue(Answer::No);
        f.ui.openPaths.enqueue(Path(u"missing.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_OPEN));
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.ui.warnings, QStringList{Path(u"missing.html"_s) + u" が見つかりませんでした。"_s});
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
        QVERIFY(f.Doc()->IsModified());
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
        // A folder is not a document.
        f.ui.saveAnswers.enqueue(Answer::No);
        QCOMPARE(testing::Open(*f.app, dir.path()), CEditorApp::OpenResult::Failed);
        QCOMPARE(f.ui.warnings.last(), dir.path() + u" へのｱｸｾｽは拒否されました。"_s);
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
    }

    void sameFileIsNotOpenedAgain() {
        AppFixture f;
        WriteBytes(Path(u"same.html"_s), "disk");
        QCOMPARE(testing::Open(*f.app, Path(u"same.html"_s)), CEditorApp::OpenResult::Opened);
        f.View()->ReplaceSelection(u"edit "_s, false);
        // By its own name, and by another name of the same file: no question,
        // no reload.
        QCOMPARE(testing::Open(*f.app, Path(u"same.html"_s)), CEditorApp::OpenResult::AlreadyOpen);
        QVERIFY(QFile::link(Path(u"same.html"_s), Path(u"link.html"_s)));
        QCOMPARE(testing::Open(*f.app, u"\""_s + Path(u"link.html"_s) + u"\""_s),
                 CEditorApp::OpenResult::AlreadyOpen);
        QVERIFY(f.ui.saveQuestions.isEmpty());
        QCOMPARE(f.View()->GetWholeText(), u"edit disk"_s);
        // A name differing in letter case is another file here.
        WriteBytes(Path(u"SAME.html"_s), "upper");
        f.ui.saveAnswers.enqueue(Answer::No);
        QCOMPARE(testing::Open(*f.app, Path(u"SAME.html"_s)), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.ui.saveQuestions.size(), 1);
        QCOMPARE(f.View()->GetWholeText(), u"upper"_s);
    }

    void failedSaveKeepsTheOldFile() {
        AppFixture f;
        const QString path = Path(u"guarded.html"_s);
        WriteBytes(path, kPage);
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        f.View()->moveCursor(QTextCursor::End);
        f.View()->ReplaceSelection(QString(200000, u'x'), false);
        {
            // The disk fills up part-way.
            FileSizeLimit limit(4096);
            QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        }
        QCOMPARE(f.ui.warnings, QStringList{path + u" へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"_s});
        QCOMPARE(ReadBytes(path), kPage);
        QVERIFY(f.Doc()->IsModified());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(u"guarded"_s),
                 QStringList{u"guarded.html"_s});
        f.ui.saveAnswers.enqueue(Answer::No);
    }

    void saveIntoAReadOnlyFolderIsRefused() {
        AppFixture f;
        QTemporaryDir locked;
        const QString path = locked.filePath(u"old.html"_s);
        WriteBytes(path, "old");
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                 QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        f.View()->ReplaceSelection(u"new "_s, false);
        {
            AsOrdinaryUser user;
            QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        }
        QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(f.ui.warnings, QStringList{path + u" へのｱｸｾｽは拒否されました。"_s});
        QCOMPARE(ReadBytes(path), QByteArray("old"));
        QVERIFY(f.Doc()->IsModified());
        f.ui.saveAnswers.enqueue(Answer::No);
    }

    void charactersShiftJisCannotHoldAreAskedAbout() {
        AppFixture f;
        const QString path = Path(u"refs.html"_s);
        WriteBytes(path, "old");
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        f.View()->selectAll();
        f.View()->ReplaceSelection(u"line1\r\n€ and ©"_s, false);
        // Refused: nothing is written.
        f.ui.writeReferences = false;
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(f.ui.referenceQuestions.size(), 1);
        QVERIFY(f.ui.referenceQuestions[0].contains(u"2 行目の文字「€」(U+20AC)"_s));
        QVERIFY(f.ui.referenceQuestions[0].contains(u"全部で 2 個"_s));
        QCOMPARE(ReadBytes(path), QByteArray("old"));
        QVERIFY(f.Doc()->IsModified());
        // Accepted: written as character references.
        f.ui.writeReferences = true;
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(path), QByteArray("line1\r\n&#8364; and &#169;"));
        QVERIFY(!f.Doc()->IsModified());
        QVERIFY(f.ui.warnings.isEmpty());
    }

    void fileLargerThanTheOldLimitOpensWhole() {
        AppFixture f;
        const QString path = Path(u"big.html"_s);
        QByteArray line = "<P>\x82\xa0\x82\xa2\x82\xa4 0123456789 abcdefghij</P>\r\n";
        QByteArray big;
        while (big.size() <= 18 * 1024 * 1024)
            big += line;
        WriteBytes(path, big);
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        const QString text = f.View()->GetWholeText();
        QVERIFY(text.size() > 16777215);
        QVERIFY(text.endsWith(u"</P>\u2029"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(path), big);
        QFile::remove(path);
    }

    void errorMessages() {
        const QString p = u"/x/y.html"_s;
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(ENOENT), p, true), p + u" が見つかりませんでした。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(ENOTDIR), p, true),
                 p + u" には無効なﾊﾟｽが含まれています。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(EMFILE), p, true),
                 u"開いているﾌｧｲﾙが多すぎるため、"_s + p + u" を開けませんでした。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(EACCES), p, false), p + u" へのｱｸｾｽは拒否されました。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(ETXTBSY), p, false),
                 p + u" へのｱｸｾｽ中に共有違反が発生しました。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(ENOLCK), p, false),
                 p + u" へのｱｸｾｽ中にﾛｯｸ違反が発生しました。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(ENOSPC), p, false),
                 p + u" へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(EIO), p, false),
                 p + u" へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。"_s);
        QCOMPARE(FileErrorMessage(FileErrorFromErrno(EXDEV), p, false),
                 p + u" へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"_s);
        QCOMPARE(FileErrorMessage(FileError::Generic, QString(), true), u"ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。"_s);
        QCOMPARE(FileErrorMessage(FileError::Generic, QString(), false), u"ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。"_s);
    }

    void writeReplacesAtomicallyAndKeepsPermissions() {
        const QString path = Path(u"perm.html"_s);
        WriteBytes(path, "old");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QCOMPARE(WriteWholeFile(path, "new content"), FileError::None);
        QCOMPARE(ReadBytes(path), QByteArray("new content"));
        // Group and others keep exactly the rights they had.
        QCOMPARE(int(QFile::permissions(path) & 0x00FF), int(QFile::ReadGroup));
        QCOMPARE(WriteWholeFile(dir.path(), "x"), FileError::AccessDenied);
        // A folder that does not exist makes the path invalid, for writing
        // and for reading; a missing file in an existing folder is not found.
        QCOMPARE(WriteWholeFile(Path(u"no/such/folder.html"_s), "x"), FileError::BadPath);
        QByteArray bytes;
        QCOMPARE(ReadWholeFile(Path(u"no/such/folder.html"_s), bytes), FileError::BadPath);
        QCOMPARE(ReadWholeFile(Path(u"missing.html"_s), bytes), FileError::NotFound);
    }

    // Changes by other programs: at save and when the window is activated.
    void fileChangedByAnotherProgramIsAskedAboutAtSave() {
        AppFixture f;
        const QString path = Path(u"shared.html"_s);
        WriteBytes(path, "mine");
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        f.View()->ReplaceSelection(u"edit "_s, false);
        WriteBytes(path, "theirs, longer");
        // いいえ: nothing written, still modified, the save reports failure.
        QVERIFY(!f.Doc()->DoFileSave());
        QCOMPARE(f.ui.yesNoQuestions,
                 QStringList{path + u" は、開いた後でほかのﾌﾟﾛｸﾞﾗﾑによって変更されています。上書きしますか?"_s});
        QCOMPARE(ReadBytes(path), QByteArray("theirs, longer"));
        QVERIFY(f.Doc()->IsModified());
        // Asked again on the next save; はい overwrites.
        f.ui.yesNoAnswers.enqueue(true);
        QVERIFY(f.Doc()->DoFileSave());
        QCOMPARE(f.ui.yesNoQuestions.size(), 2);
        QCOMPARE(ReadBytes(path), QByteArray("edit mine"));
        QVERIFY(!f.Doc()->IsModified());
        // The file as written is the one known now: no question.
        f.View()->ReplaceSelection(u"more "_s, false);
        QVERIFY(f.Doc()->DoFileSave());
        QCOMPARE(f.ui.yesNoQuestions.size(), 2);
        QCOMPARE(ReadBytes(path), QByteArray("edit more mine"));
        // Replaced by a new file of the same size: still a change.
        const QString other = Path(u"other.html"_s);
        WriteBytes(other, "same size here");
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0);
        f.View()->ReplaceSelection(u"x"_s, false);
        QVERIFY(!f.Doc()->DoFileSave());
        QCOMPARE(f.ui.yesNoQuestions.size(), 3);
        QCOMPARE(ReadBytes(path), QByteArray("same size here"));
        QVERIFY(f.ui.warnings.isEmpty());
        f.ui.saveAnswers.enqueue(Answer::No);
    }

    void fileDeletedOnDiskIsSavedWithoutAQuestion() {
        AppFixture f;
        const QString path = Path(u"gone.html"_s);
        WriteBytes(path, "text");
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        QVERIFY(QFile::remove(path));
        f.View()->ReplaceSelection(u"new "_s, false);
        QVERIFY(f.Doc()->DoFileSave());
        QVERIFY(f.ui.yesNoQuestions.isEmpty());
        QCOMPARE(ReadBytes(path), QByteArray("new text"));
        // Deleted, the window activated: nothing to read again.
        QFile::remove(path);
        f.Doc()->CheckFileOnDisk();
        QVERIFY(f.ui.yesNoQuestions.isEmpty());
    }

    void activationAfterAChangeOffersToReadAgain() {
        AppFixture f;
        const QString path = Path(u"watched.html"_s);
        WriteBytes(path, "first");
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        auto activate = [&f] {
            QEvent activation(QEvent::WindowActivate);
            QApplication::sendEvent(f.Frame(), &activation);
            QCoreApplication::processEvents();
        };
        activate();
        QVERIFY(f.ui.yesNoQuestions.isEmpty());
        const QString question = path + u" は、ほかのﾌﾟﾛｸﾞﾗﾑによって変更されました。読み込み直しますか?"_s;
        // With changes in the pane the question says they will be lost.
        f.View()->ReplaceSelection(u"edit "_s, false);
        WriteBytes(path, "second");
        activate();
        QCOMPARE(f.ui.yesNoQuestions,
                 QStringList{question + u"\nこの文書の変更は失われます。"_s});
        QCOMPARE(f.View()->GetWholeText(), u"edit first"_s);
        QVERIFY(f.Doc()->IsModified());
        // いいえ: not asked again until the next change.
        activate();
        activate();
        QCOMPARE(f.ui.yesNoQuestions.size(), 1);
        WriteBytes(path, "third one");
        f.ui.yesNoAnswers.enqueue(true);
        activate();
        QTRY_VERIFY(!f.Doc()->IsLoading());
        QCOMPARE(f.ui.yesNoQuestions.size(), 2);
        // はい: read again through the open path, no save question.
        QCOMPARE(f.View()->GetWholeText(), u"third one"_s);
        QVERIFY(!f.Doc()->IsModified());
        QVERIFY(f.ui.saveQuestions.isEmpty());
        QCOMPARE(f.Doc()->GetPathName(), path);
        QCOMPARE(f.Frame()->windowTitle(), u"watched.html - Velm HTML Editor"_s);
        // Unmodified: the question has one line.
        WriteBytes(path, "fourth text");
        activate();
        QCOMPARE(f.ui.yesNoQuestions.size(), 3);
        QCOMPARE(f.ui.yesNoQuestions.last(), question);
        // A save now asks first, since the pane was kept over the change.
        f.View()->ReplaceSelection(u"x"_s, false);
        QVERIFY(!f.Doc()->DoFileSave());
        QCOMPARE(f.ui.yesNoQuestions.size(), 4);
        QCOMPARE(ReadBytes(path), QByteArray("fourth text"));
        QVERIFY(f.ui.warnings.isEmpty());
        f.ui.saveAnswers.enqueue(Answer::No);
    }

    void changeOnDiskDecisions() {
        io::FileIdentity read{true, 1, 10, 5, 1000};
        io::FileIdentity none;
        io::FileIdentity touched = read;
        touched.mtimeNs += 1;
        io::FileIdentity replaced = read;
        replaced.inode = 11;
        using io::ChangeOnDisk;
        QCOMPARE(io::Compare(none, touched, none), ChangeOnDisk::None); // never read
        QCOMPARE(io::Compare(read, read, none), ChangeOnDisk::None);
        QCOMPARE(io::Compare(read, none, none), ChangeOnDisk::Deleted);
        QCOMPARE(io::Compare(read, touched, none), ChangeOnDisk::Changed);
        QCOMPARE(io::Compare(read, replaced, none), ChangeOnDisk::Changed);
        QCOMPARE(io::Compare(read, touched, touched), ChangeOnDisk::Declined);
        QCOMPARE(io::Compare(read, replaced, touched), ChangeOnDisk::Changed);
    }

    void questionAboutTheDiskIsNotAskedTwiceAtOnce() {
        AppFixture f;
        const QString path = Path(u"busy.html"_s);
        WriteBytes(path, "one");
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        WriteBytes(path, "two!");
        // The box activates the window again while it is up, and once more
        // when it closes.
        auto activate = [&f] {
            QEvent activation(QEvent::WindowActivate);
            QApplication::sendEvent(f.Frame(), &activation);
            QCoreApplication::processEvents();
        };
        f.ui.whileAskingYesNo = [&] {
            f.Doc()->CheckFileOnDisk();
            activate();
        };
        f.Doc()->CheckFileOnDisk();
        f.ui.whileAskingYesNo = nullptr;
        activate();
        QCOMPARE(f.ui.yesNoQuestions.size(), 1);
        // The same while a save asks whether to overwrite.
        f.View()->ReplaceSelection(u"x"_s, false);
        WriteBytes(path, "three");
        f.ui.whileAskingYesNo = [&] { activate(); };
        QVERIFY(!f.Doc()->DoFileSave());
        f.ui.whileAskingYesNo = nullptr;
        activate();
        QCOMPARE(f.ui.yesNoQuestions.size(), 2);
        QVERIFY(f.ui.yesNoQuestions[1].contains(u"上書きしますか?"_s));
        f.ui.saveAnswers.enqueue(Answer::No);
    }

    // Memory: a file the pane cannot hold is refused, not crashed on.
    void memoryEstimateAgainstLimits() {
        io::MemoryRoom room;
        QVERIFY(!io::Headroom(room));
        QVERIFY(FitsInMemory(qint64(1) << 40, io::Headroom(room)));
        room.available = qint64(4) << 30;
        QCOMPARE(io::Headroom(room).value_or(-1), qint64(4) << 30);
        room.addressLimit = qint64(1) << 30;
        room.addressUsed = qint64(700) << 20;
        QCOMPARE(io::Headroom(room).value_or(-1), qint64(324) << 20);
        room.dataLimit = qint64(600) << 20;
        room.dataUsed = qint64(500) << 20;
        QCOMPARE(io::Headroom(room).value_or(-1), qint64(100) << 20);
        room.dataUsed = qint64(700) << 20; // over the limit already
        QCOMPARE(io::Headroom(room).value_or(-1), qint64(0));
        // A text of fewer lines than share paragraphs pays a paragraph for
        // each line.
        const qint64 lines = CEditorView::kGroupFrom - 1;
        QVERIFY(EstimateOpenCost(1 << 20, lines) >=
                EstimateOpenCost(1 << 20, 1) + (lines - 1) * kPaneBytesPerParagraph);
        // Many short lines share paragraphs: they cost more than one line,
        // but far less than a paragraph each.
        const qint64 shortLines = EstimateOpenCost(40 << 20, 4 << 20);
        const qint64 oneLine = EstimateOpenCost(40 << 20, 1);
        QVERIFY(shortLines > oneLine + (qint64(4) << 20));
        QVERIFY(shortLines < oneLine + (qint64(4) << 20) * kPaneBytesPerParagraph / 8);
        QVERIFY(FitsInMemory(oneLine, qint64(300) << 20));
        QVERIFY(!FitsInMemory(oneLine, qint64(200) << 20));
        // The real room of this process is known and positive.
        const std::optional<qint64> now = io::Headroom(io::CurrentMemoryRoom());
        QVERIFY(now && *now > 0);
        QVERIFY(io::CurrentMemoryRoom().addressUsed > 0);
    }

    void fileTooLargeForTheMemoryLimitIsRefused() {
        const QString prlimit = QStandardPaths::findExecutable(u"prlimit"_s);
        if (prlimit.isEmpty())
            QSKIP("prlimit is not installed: the memory limit cannot be staged");
        auto run = [&prlimit](const QStringList& arguments, qint64 limit) {
            QProcess helper;
            helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            if (limit > 0)
                helper.start(prlimit, QStringList{u"--as=%1:%1"_s.arg(limit), u"--"_s,
                                                  QString::fromLocal8Bit(VELM_OPEN_FILE)} + arguments);
            else
                helper.start(QString::fromLocal8Bit(VELM_OPEN_FILE), arguments);
            helper.waitForFinished(120000);
            return std::tuple{helper.exitStatus(), helper.exitCode(),
                              QString::fromUtf8(helper.readAll()).trimmed()};
        };
        const auto [probeStatus, probeCode, probe] = run({u"--vmsize"_s}, 0);
        QCOMPARE(probeCode, 0);
        const qint64 base = probe.toLongLong();
        QVERIFY2(base > 0, qPrintable(probe));
        // 3 million short lines: 30 MB of file, some 400 MB in the pane.
        const QString path = Path(u"lines.html"_s);
        {
            QByteArray lines;
            lines.reserve(30000000);
            for (int i = 0; i < 3000000; ++i)
                lines += "<P>a</P>\r\n";
            WriteBytes(path, lines);
        }
        const qint64 limit = base + (160 << 20);
        const auto [status, code, output] = run({path}, limit);
        QFile::remove(path);
        QCOMPARE(status, QProcess::NormalExit);
        QCOMPARE(code, 0);
        QCOMPARE(output, path + u" は大きすぎるため開けませんでした。"_s);
        // Larger than all the room left: the read itself cannot allocate.
        {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.write(QByteArray(200 << 20, 'a')) == (200 << 20));
        }
        const auto [bigStatus, bigCode, bigOutput] = run({path}, limit);
        QFile::remove(path);
        QCOMPARE(bigStatus, QProcess::NormalExit);
        QCOMPARE(bigCode, 0);
        QCOMPARE(bigOutput, path + u" は大きすぎるため開けませんでした。"_s);
        // Under the same limit a small file opens.
        WriteBytes(Path(u"small.html"_s), "<P>a</P>\r\n<P>b</P>\r\n");
        const auto [smallStatus, smallCode, small] = run({Path(u"small.html"_s)}, limit);
        QCOMPARE(smallStatus, QProcess::NormalExit);
        QCOMPARE(small, u"opened 3"_s);
    }

    void refusedForMemoryTheDocumentKeepsWhatItHad() {
        AppFixture f;
        const QString path = Path(u"many.html"_s);
        {
            QByteArray lines;
            for (int i = 0; i < 3000000; ++i)
                lines += "<P>a</P>\r\n";
            WriteBytes(path, lines);
        }
        f.View()->ReplaceSelection(u"mine"_s, false);
        f.ui.saveAnswers.enqueue(Answer::No);
        CEditorApp::OpenResult result;
        {
            // Room for the file's bytes, not for the pane.
            AddressSpaceLimit limit(io::CurrentMemoryRoom().addressUsed + (200 << 20));
            result = testing::Open(*f.app, path);
        }
        QFile::remove(path);
        QCOMPARE(result, CEditorApp::OpenResult::Failed);
        QCOMPARE(f.ui.warnings, QStringList{path + u" は大きすぎるため開けませんでした。"_s});
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
        f.ui.saveAnswers.enqueue(Answer::No);
    }

    // Round trip: line breaks and duplicate codes as the file had them.
    void lineBreaksOfTheFileComeBack() {
        AppFixture f;
        for (const QByteArray& bytes : {QByteArray("<P>\nb\n\nc\n"), QByteArray("<P>\rb\r\rc\r"),
                                        QByteArray("no break")}) {
            const QString path = Path(u"breaks.html"_s);
            WriteBytes(path, bytes);
            QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
            QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
            QCOMPARE(ReadBytes(path), bytes);
            f.app->OnFileNew();
        }
        // A lone CR is a line of its own in the pane.
        WriteBytes(Path(u"cr.html"_s), "a\rb\r");
        QCOMPARE(testing::Open(*f.app, Path(u"cr.html"_s)), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.View()->blockCount(), 3);
        // Typed lines take the file's break; Save As keeps it.
        f.View()->moveCursor(QTextCursor::End);
        f.View()->ReplaceSelection(u"x\ny"_s, false);
        f.ui.saveAsPaths.enqueue(Path(u"cr2.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE_AS));
        QCOMPARE(ReadBytes(Path(u"cr2.html"_s)), QByteArray("a\rb\rx\ry"));
        // A new document is written with CR LF.
        f.app->OnFileNew();
        f.View()->ReplaceSelection(u"p\nq"_s, false);
        f.ui.saveAsPaths.enqueue(Path(u"crlf.html"_s));
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(Path(u"crlf.html"_s)), QByteArray("p\r\nq"));
    }

    void duplicateCodesComeBackInTheFilesForm() {
        AppFixture f;
        // 纊 in its NEC-selected IBM form, ≒ in its NEC form, then each
        // again in the other form; Ⅰ in its IBM form after a stray byte.
        const QByteArray bytes = "\xED\x40\x87\x90\r\n\xFA\x5C\x81\xE0\r\n\x81\xFA\x4A";
        const QString path = Path(u"forms.html"_s);
        WriteBytes(path, bytes);
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        f.View()->moveCursor(QTextCursor::End);
        f.View()->ReplaceSelection(u"≒纊Ⅱ"_s, false);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QVERIFY(f.ui.writeAnywayQuestions.isEmpty());
        QCOMPARE(ReadBytes(path), QByteArray("\xED\x40\x87\x90\r\n\xED\x40\x87\x90\r\n\x81\xFA\x4A"
                                             "\x87\x90\xED\x40\x87\x55"));
    }

    void textThatWouldReadBackOtherwiseIsAskedAbout() {
        AppFixture f;
        const QString path = Path(u"stray.html"_s);
        const QByteArray bytes = "x\x81\r\nA";
        WriteBytes(path, bytes);
        QCOMPARE(testing::Open(*f.app, path), CEditorApp::OpenResult::Opened);
        // Joining the lines puts the stray lead byte before "A".
        QTextCursor c = f.View()->textCursor();
        c.setPosition(2);
        c.deleteChar();
        QCOMPARE(f.View()->GetWholeText(), u"x"_s + QChar(0xDC81) + u"A"_s);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(f.ui.writeAnywayQuestions.size(), 1);
        QVERIFY2(f.ui.writeAnywayQuestions[0].startsWith(u"1 行目 2 文字目"_s),
                 qPrintable(f.ui.writeAnywayQuestions[0]));
        QCOMPARE(ReadBytes(path), bytes);
        QVERIFY(f.Doc()->IsModified());
        // Written anyway on request.
        f.ui.writeAnyway = true;
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(path), QByteArray("x\x81" "A"));
        QVERIFY(!f.Doc()->IsModified());
        // The second line's column counts from that line's start.
        f.View()->selectAll();
        f.View()->ReplaceSelection(u"ab\ncd"_s + QChar(0xDC81) + QChar(0x2160), false);
        f.ui.writeAnyway = false;
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QVERIFY(f.ui.writeAnywayQuestions.last().startsWith(u"2 行目 3 文字目"_s));
        f.ui.saveAnswers.enqueue(Answer::No);
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
