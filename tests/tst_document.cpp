#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "doc/UiServices.h"
#include "io/FileIo.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTest>

#include <csignal>
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
        QCOMPARE(f.app->OpenDocumentFile(Path(u"page.html"_s)), CEditorApp::OpenResult::Opened);
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
        QCOMPARE(f.app->OpenDocumentFile(Path(u"lf.html"_s)), CEditorApp::OpenResult::Opened);
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
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
        QCOMPARE(f.View()->GetSelectedText(), u"mine"_s);
        QVERIFY(f.Doc()->IsModified());
        // Cancelling the dialog itself changes nothing and asks nothing.
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_OPEN));
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
        QCOMPARE(f.ui.warnings, QStringList{Path(u"missing.html"_s) + u" が見つかりませんでした。"_s});
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
        QVERIFY(f.Doc()->IsModified());
        QCOMPARE(f.Frame()->windowTitle(), u"無題 - Velm HTML Editor"_s);
        // A folder is not a document.
        f.ui.saveAnswers.enqueue(Answer::No);
        QCOMPARE(f.app->OpenDocumentFile(dir.path()), CEditorApp::OpenResult::Failed);
        QCOMPARE(f.ui.warnings.last(), dir.path() + u" へのｱｸｾｽは拒否されました。"_s);
        QCOMPARE(f.View()->GetWholeText(), u"mine"_s);
    }

    void sameFileIsNotOpenedAgain() {
        AppFixture f;
        WriteBytes(Path(u"same.html"_s), "disk");
        QCOMPARE(f.app->OpenDocumentFile(Path(u"same.html"_s)), CEditorApp::OpenResult::Opened);
        f.View()->ReplaceSelection(u"edit "_s, false);
        // By its own name, and by another name of the same file: no question,
        // no reload.
        QCOMPARE(f.app->OpenDocumentFile(Path(u"same.html"_s)), CEditorApp::OpenResult::AlreadyOpen);
        QVERIFY(QFile::link(Path(u"same.html"_s), Path(u"link.html"_s)));
        QCOMPARE(f.app->OpenDocumentFile(u"\""_s + Path(u"link.html"_s) + u"\""_s),
                 CEditorApp::OpenResult::AlreadyOpen);
        QVERIFY(f.ui.saveQuestions.isEmpty());
        QCOMPARE(f.View()->GetWholeText(), u"edit disk"_s);
        // A name differing in letter case is another file here.
        WriteBytes(Path(u"SAME.html"_s), "upper");
        f.ui.saveAnswers.enqueue(Answer::No);
        QCOMPARE(f.app->OpenDocumentFile(Path(u"SAME.html"_s)), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.ui.saveQuestions.size(), 1);
        QCOMPARE(f.View()->GetWholeText(), u"upper"_s);
    }

    void failedSaveKeepsTheOldFile() {
        AppFixture f;
        const QString path = Path(u"guarded.html"_s);
        WriteBytes(path, kPage);
        QCOMPARE(f.app->OpenDocumentFile(path), CEditorApp::OpenResult::Opened);
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
        QCOMPARE(f.app->OpenDocumentFile(path), CEditorApp::OpenResult::Opened);
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
        QCOMPARE(f.app->OpenDocumentFile(path), CEditorApp::OpenResult::Opened);
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
        QCOMPARE(f.app->OpenDocumentFile(path), CEditorApp::OpenResult::Opened);
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
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
