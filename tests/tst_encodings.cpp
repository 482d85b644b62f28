#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/EncodingPane.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "io/RecoveryJournal.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace testing;

// A document in each encoding: opened, shown, converted, read again,
// saved and recovered in its own encoding.
class TestEncodings : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }

    static void TypeAtEnd(CEditorView* view, const QString& text) {
        QTextCursor c = view->textCursor();
        c.movePosition(QTextCursor::End);
        view->setTextCursor(c);
        view->ReplaceSelection(text, false);
    }

private slots:
    void initTestCase() { platform::Initialize(); }

    void utf8PageOpensReadableAndSavesAsUtf8() {
        AppFixture f;
        const QString page = Path(u"utf8.html"_s);
        WriteBytes(page, "<meta charset=\"Shift_JIS\">\n<p>\xe6\x97\xa5\xe6\x9c\xac</p>\n");
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.View()->GetWholeText(), u"<meta charset=\"Shift_JIS\">\u2029<p>日本</p>\u2029"_s);
        QCOMPARE(f.Frame()->EncodingPane()->accessibleName(), u"文字コード"_s);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"UTF-8 (宣言: Shift_JIS)"_s);
        TypeAtEnd(f.View(), u"語"_s);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(page), QByteArray("<meta charset=\"Shift_JIS\">\n<p>\xe6\x97\xa5\xe6\x9c\xac</p>\n\xe8\xaa\x9e"));
        QVERIFY(f.ui.referenceQuestions.isEmpty());
    }

    void unencodableCharacterIsNamedWithTheEncoding() {
        AppFixture f;
        const QString page = Path(u"euc.html"_s);
        WriteBytes(page, "<meta charset=euc-jp>\xc6\xfc");
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"EUC-JP"_s);
        TypeAtEnd(f.View(), u"한"_s);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QVERIFY(f.Doc()->IsModified());
        QCOMPARE(f.ui.referenceQuestions.size(), 1);
        QVERIFY(f.ui.referenceQuestions.first().contains(u"は EUC-JP で保存できません"_s));
        QCOMPARE(ReadBytes(page), QByteArray("<meta charset=euc-jp>\xc6\xfc")); // declined
        f.ui.writeReferences = true;
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(page), QByteArray("<meta charset=euc-jp>\xc6\xfc&#54620;"));
    }

    void conversionRewritesTheDeclarationInOneUndoStep() {
        AppFixture f;
        const QString page = Path(u"convert.html"_s);
        const QByteArray sjis =
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">\r\n\x93\xfa\x96\x7b";
        WriteBytes(page, sjis);
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"Shift_JIS"_s);
        const QString before = f.View()->GetWholeText();
        f.Doc()->ConvertToEncoding(io::Encoding::Utf8);
        const QString after = f.View()->GetWholeText();
        QCOMPARE(after, QString(before).replace(u"charset=Shift_JIS"_s, u"charset=UTF-8"_s));
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"UTF-8"_s);
        QVERIFY(f.Doc()->IsModified());
        // One undo takes back both the declaration and the encoding.
        QVERIFY(f.Frame()->RouteCommand(ID_EDIT_UNDO));
        QCOMPARE(f.View()->GetWholeText(), before);
        QCOMPARE(f.Doc()->TextFormat().encoding, io::Encoding::ShiftJis);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"Shift_JIS"_s);
        QVERIFY(!f.View()->document()->isUndoAvailable());
        f.View()->redo();
        QCOMPARE(f.View()->GetWholeText(), after);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"UTF-8"_s);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(page),
                 QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"
                            "\xe6\x97\xa5\xe6\x9c\xac"));
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"UTF-8"_s);
    }

    void reopenReadsAgainInTheChosenEncodingAndRemembersIt() {
        AppFixture f;
        const QString page = Path(u"reopen.html"_s);
        // ｱｲｳｴ in Shift_JIS, or 渦慨 in EUC-JP: detection takes Shift_JIS.
        WriteBytes(page, "\xb1\xb2\xb3\xb4");
        QCOMPARE(testing::Open(*f.app, page), CEditorApp::OpenResult::Opened);
        QCOMPARE(f.View()->GetWholeText(), u"ｱｲｳｴ"_s);
        // Changes are asked about first; cancel keeps them.
        TypeAtEnd(f.View(), u"x"_s);
        f.ui.saveAnswers.enqueue(CUiServices::Answer::Cancel);
        QVERIFY(!f.Doc()->ReopenInEncoding(io::Encoding::EucJp));
        QCOMPARE(f.View()->GetWholeText(), u"ｱｲｳｴx"_s);
        f.ui.saveAnswers.enqueue(CUiServices::Answer::No);
        QCOMPARE(testing::WaitFor(f.Doc()->ReopenInEncoding(io::Encoding::EucJp)),
                 CDocumentLoad::Result::Loaded);
        QCOMPARE(f.ui.saveQuestions.size(), 2);
        QCOMPARE(f.View()->GetWholeText(), u"渦慨"_s);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"EUC-JP"_s);
        QVERIFY(!f.Doc()->IsModified());
        // The next start opens it so.
        f.Stop();
        QVERIFY(f.Start({page}));
        QCOMPARE(f.View()->GetWholeText(), u"渦慨"_s);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"EUC-JP"_s);
    }

    void journalKeepsTheEncoding() {
        io::Journal j;
        j.path = Path(u"j.html"_s);
        j.format.encoding = io::Encoding::Utf16Be;
        j.format.tail = "\x7a";
        j.hasText = true;
        j.text = u"日本"_s;
        const QByteArray bytes = io::SerializeJournal(j);
        io::Journal back;
        QCOMPARE(io::ParseJournal(bytes, back), io::JournalError::None);
        QCOMPARE(back.format, j.format);

        // A journal of the first version has no encoding: Shift_JIS.
        const qsizetype formatAt = 8 + 4 + 4 + 4 + 2 * j.path.size() + 1 + 4 * 8 + 1;
        QByteArray old = bytes;
        old.remove(formatAt, 1 + 1 + 4 + 1);
        old[8] = 1;
        const qsizetype body = old.size() - 12;
        const quint64 length = qToLittleEndian(quint64(body));
        old.replace(body, 8, reinterpret_cast<const char*>(&length), 8);
        const quint32 crc = qToLittleEndian(io::Crc32(old.constData(), body + 8));
        old.replace(body + 8, 4, reinterpret_cast<const char*>(&crc), 4);
        QCOMPARE(io::ParseJournal(old, back), io::JournalError::None);
        QCOMPARE(back.format.encoding, io::Encoding::ShiftJis);
        QCOMPARE(back.text, j.text);

        // A restored UTF-8 document saves as UTF-8.
        AppFixture f;
        io::TextFormat utf8;
        utf8.encoding = io::Encoding::Utf8;
        f.Doc()->RestoreFromJournal(Path(u"restored.html"_s), u"日本\u2029"_s, {}, utf8);
        QCOMPARE(f.Frame()->EncodingPane()->text(), u"UTF-8"_s);
        QVERIFY(f.Frame()->RouteCommand(ID_FILE_SAVE));
        QCOMPARE(ReadBytes(Path(u"restored.html"_s)), QByteArray("\xe6\x97\xa5\xe6\x9c\xac\r\n"));
    }
};

QTEST_MAIN(TestEncodings)
#include "tst_encodings.moc"
