#include "app/CMainFrame.h"
#include "check/CCheckDock.h"
#include "check/CPageChecker.h"
#include "check/HtmlCheck.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "tags/TagText.h"
#include "tags/WrapText.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTextCursor>

using namespace Qt::StringLiterals;

namespace {

const QString kHtml5Head = u"<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n"_s;

// Each problem as "line:column message" (1-based, as the list shows them).
QStringList Found(const check::Result& result) {
    QStringList found;
    for (const check::Problem& p : result.problems)
        found << u"%1:%2 %3"_s.arg(p.line + 1).arg(p.column + 1).arg(p.message);
    return found;
}

// A page of every doctype the page command offers (and none), the skeleton
// around the output of every tag command, built by the commands' own
// builders.
QString SkeletonPage(const QString& doctype, bool useImage) {
    tags::PageSkeleton page;
    page.useDoctype = !doctype.isEmpty();
    page.doctype = doctype;
    page.useImage = useImage;
    page.background = useImage ? u"back.gif"_s : QString();
    QString body;
    for (const tags::WrapTags& wrap : tags::WrapCommands())
        if (wrap.id != ID_TABLE_ROW && wrap.id != ID_TABLE_DATA && wrap.id != ID_TABLE_HEADER)
            body += tags::WrapText(wrap, u"文字"_s) + tags::LineBreakText();
    tags::FontAttributes font{u"#FF0000"_s, u"3"_s, u"ＭＳ Ｐゴシック"_s, true, true, true};
    body += tags::BuildFontTag(font, u"字"_s) + tags::BuildFontTag({}, u"字"_s);
    body += tags::BuildLinkTag(u"a.html"_s, u"リンク"_s, u"_blank"_s, true) +
            tags::BuildLinkTag(QString(), QString(), QString(), false) +
            tags::BuildMailTag(u"a@example.com"_s, u"メール"_s) + u"\r\n"_s;
    body += tags::BuildImageTag({u"a.gif"_s, QString(), QString(), QString(), true, true}) +
            tags::BuildImageTag({u"b.gif"_s, u"10"_s, u"20"_s, u"0"_s, true, true});
    body += tags::BuildHrTag(QString(), QString(), true) + tags::BuildHrTag(u"2"_s, u"50%"_s, true);
    tags::TableAttributes table{u"100%"_s, u"1"_s, u"0"_s, u"2"_s, u"#000000"_s,
                                true,      true,   true,   true,   true};
    body += tags::BuildTableTag(table) + tags::BuildTableTag({}) + u"\n<TABLE>"_s +
            tags::WrapText(ID_TABLE_ROW, tags::WrapText(ID_TABLE_HEADER, u"見出し"_s) +
                                             tags::WrapText(ID_TABLE_DATA, u"中身"_s)) +
            u"</TABLE>"_s;
    for (const char16_t* color : {u"#FFFFFF", u"", u"red"})
        body += tags::BuildFontTag({QString::fromUtf16(color), {}, {}, true, false, false}, u"x"_s);
    QString text = tags::BuildPageSkeleton(page);
    return text.insert(text.indexOf(u"</BODY>"_s), body + u"\r\n"_s);
}

} // namespace

class TestHtmlCheck : public QObject {
    Q_OBJECT

private slots:
    void messages_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("expected");
        const QString h = kHtml5Head; // its body starts on line 3
        QTest::newRow("clean") << h + u"<p>a <b>b</b></p>\n"_s << QStringList();
        QTest::newRow("missing end tag, told once")
            << h + u"<p>a <b>b\n<p>c\n<div>d</div>\n"_s
            << QStringList{u"3:6 <b> の終了タグ </b> が <p> の前にありません"_s};
        QTest::newRow("misspelt end tag")
            << h + u"<b>x</bb>\n"_s
            << QStringList{u"3:1 <b> の終了タグ </b> がありません"_s,
                           u"3:5 ここにある </bb> は対応するタグがないため無視されます"_s};
        QTest::newRow("stray end tag")
            << h + u"<p>x</p></p>\n"_s
            << QStringList{u"3:9 終了タグ </p> に対応する開始タグがありません"_s};
        QTest::newRow("unknown element, its end tag folded")
            << h + u"<foo>z</foo>\n"_s
            << QStringList{u"3:1 <foo> は HTML にない要素です"_s};
        QTest::newRow("unknown attribute")
            << h + u"<p foo=\"x\" data-a=\"1\">a</p>\n"_s
            << QStringList{u"3:1 <p> の属性 foo は知られていない属性です"_s};
        QTest::newRow("duplicate attribute")
            << h + u"<div class=\"a\" class=\"b\">x</div>\n"_s
            << QStringList{u"3:1 <div> に属性 class が二度書かれています"_s};
        QTest::newRow("nested anchors")
            << h + u"<a href=\"x\">a<a href=\"y\">b</a></a>\n"_s
            << QStringList{u"3:1 リンク <a> の中に別のリンク <a> があります (</a> がありません)"_s,
                           u"3:31 ここにある </a> は対応するタグがないため無視されます"_s};
        QTest::newRow("unescaped ampersand, after a tab and a wide letter")
            << h + u"\t日本 <p>a&b &amp c</p>\n"_s
            << QStringList{u"3:9 & がそのまま書かれているか、「&b」は知られていない文字参照です (& は &amp; と書きます)"_s,
                           u"3:12 文字参照「&amp」の後に ; がありません"_s};
        QTest::newRow("unclosed quote")
            << h + u"<p title=\"a>b</p>\n<p>c</p>\n"_s
            << QStringList{u"5:1 <p> の属性の引用符が閉じられていません (ファイルの終わりまで続いています)"_s};
        QTest::newRow("missing title")
            << u"<html><body>x</body></html>"_s
            << QStringList{u"1:7 <title> がありません"_s};
        QTest::newRow("an empty text, a piece of a page") << u"\n<p>x</p>\n"_s << QStringList();
        QTest::newRow("obsolete in HTML5")
            << h + u"<center>c</center><font color=\"red\">f</font>\n"_s
            << QStringList{u"3:1 <center> は HTML5 で廃止された要素です"_s,
                           u"3:19 <font> は HTML5 で廃止された要素です"_s};
        QTest::newRow("not obsolete in HTML 4.0")
            << u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n"
               u"<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY>\n<CENTER>c</CENTER><FONT COLOR=\"red\">f</FONT>\n"_s
            << QStringList();
        QTest::newRow("custom element")
            << h + u"<my-card a=\"1\">x</my-card>\n"_s << QStringList();
        QTest::newRow("raw byte and astral letter before the mistake")
            << h + u"\xDC81😀<b>x\n"_s
            << QStringList{u"3:4 <b> の終了タグ </b> がありません"_s};
    }

    void messages() {
        QFETCH(QString, page);
        QFETCH(QStringList, expected);
        const check::Result result = check::CheckPage(check::PageOf(page));
        QCOMPARE(result.outcome, check::Outcome::Checked);
        QCOMPARE(Found(result), expected);
    }

    // The program's own pages: every doctype of the page command, the
    // skeleton with every tag command's output in it.
    void ownPages_data() {
        QTest::addColumn<QString>("doctype");
        QTest::newRow("no doctype") << QString();
        for (const char* d : {"-//IETF//DTD HTML//EN", "-//IETF//DTD HTML 2.0//EN",
                              "-//W3C//DTD HTML 3.2 Final//EN", "-//W3C//DTD HTML 3.2//EN",
                              "-//W3C//DTD HTML 4.0//EN", "-//W3C//DTD HTML 4.0 Transitional//EN",
                              "-//W3C//DTD HTML 4.0 Frameset//EN"})
            QTest::newRow(d) << u"<!DOCTYPE HTML PUBLIC \"%1\">"_s.arg(QLatin1StringView(d));
    }

    void ownPages() {
        QFETCH(QString, doctype);
        for (const bool useImage : {false, true}) {
            const check::Result result = check::CheckPage(check::PageOf(SkeletonPage(doctype, useImage)));
            QCOMPARE(Found(result), QStringList());
        }
    }

    // A result made from the text before an edit is never shown; the check
    // after the edit is.
    void staleResultDropped() {
        CEditorView view;
        CPageChecker checker(&view);
        checker.SetPause(3600 * 1000); // only CheckNow starts a check
        view.SetWholeText(kHtml5Head + u"<b>x\n"_s);
        checker.CheckNow();
        checker.WaitForWorker(); // its result waits in the event queue
        QTextCursor body(view.document());
        body.setPosition(int(kHtml5Head.size()));
        view.InsertText(body, u"<i>y\n"_s);
        QCoreApplication::processEvents();
        QCOMPARE(checker.DroppedResults(), 1);
        QCOMPARE(checker.GetState(), CPageChecker::State::Waiting);
        QVERIFY(view.LineMarks().empty());

        checker.CheckNow();
        QTRY_COMPARE(checker.GetState(), CPageChecker::State::Checked);
        QStringList found;
        for (const check::Problem& p : checker.Problems())
            found << u"%1:%2"_s.arg(p.line + 1).arg(p.column + 1);
        QCOMPARE(found, (QStringList{u"3:1"_s, u"4:1"_s}));
        QCOMPARE(view.LineMarks().size(), size_t(2));
    }

    // Until the next check, marks move with lines inserted above them, and
    // the list's entry still leads to the mark; a mark whose text is
    // removed goes.
    void marksFollowInsertedLines() {
        CEditorView view;
        CPageChecker checker(&view);
        checker.SetPause(3600 * 1000);
        const QString page = kHtml5Head + u"<p>a</p>\n<foo>b</foo> <b>c\n"_s;
        view.SetWholeText(page);
        checker.CheckNow();
        QTRY_COMPARE(checker.GetState(), CPageChecker::State::Checked);
        QCOMPARE(view.LineMarks().size(), size_t(2));
        const int foo = int(page.indexOf(u"<foo>"_s));
        QCOMPARE(view.LineMarks()[0].position, foo);
        QCOMPARE(view.LineMarks()[0].length, 5);
        QCOMPARE(view.LineMarkTips(foo + 2), u"<foo> は HTML にない要素です"_s);

        QTextCursor at(view.document());
        at.setPosition(int(kHtml5Head.size()));
        view.InsertText(at, u"<p>new</p>\n<p>lines</p>\n"_s);
        const int moved = foo + 24;
        QCOMPARE(view.LineMarks()[0].position, moved);
        QCOMPARE(view.LineMarks()[1].position, int(page.indexOf(u"<b>"_s)) + 24);
        checker.GoTo(0);
        QCOMPARE(view.textCursor().position(), moved);

        at.setPosition(moved);
        at.setPosition(moved + 12, QTextCursor::KeepAnchor); // "<foo>b</foo>"
        view.InsertText(at, QString());
        QCOMPARE(view.LineMarks().size(), size_t(1));
        QCOMPARE(view.LineMarks()[0].position, int(page.indexOf(u"<b>"_s)) + 12);
    }

    // A page above the memory limit is not checked; one just below is.
    void sizeLimit_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("tooLarge");
        // Plain text: the limit in bytes; tags: the limit in tags.
        const qsizetype plain = check::kMaxCheckMemory / check::kBytesPerByte;
        const qsizetype tags = check::kMaxCheckMemory / (check::kBytesPerByte + check::kBytesPerTag);
        QTest::newRow("plain text at the limit") << QString(plain - 1, u'x') << false;
        QTest::newRow("plain text past it") << QString(plain + 1, u'x') << true;
        QTest::newRow("tags at the limit") << QString(tags - 1, u'<') << false;
        QTest::newRow("tags past it") << QString(tags + 1, u'<') << true;
    }

    void sizeLimit() {
        QFETCH(QString, line);
        QFETCH(bool, tooLarge);
        QCOMPARE(check::TooLargeToCheck({{line}}), tooLarge);
        // Marks of an earlier check go when the page grows too large.
        CEditorView view;
        CPageChecker checker(&view);
        checker.SetPause(3600 * 1000);
        view.SetWholeText(u"<b>x"_s);
        checker.CheckNow();
        QTRY_VERIFY(!view.LineMarks().empty());
        if (!tooLarge)
            return;
        view.SetWholeText(line);
        checker.CheckNow();
        QTRY_COMPARE(checker.GetState(), CPageChecker::State::TooLarge);
        QVERIFY(view.LineMarks().empty());
        QVERIFY(checker.Problems().empty());
    }

    // The pane tells the state; the dock's box switches the check off, and
    // the next start remembers it.
    void switchRemembered() {
        testing::AppFixture fx(QStringList{u"-Embedding"_s});
        QVERIFY(fx.started);
        CMainFrame* frame = fx.Frame();
        frame->Checker()->SetPause(0);
        fx.View()->SetWholeText(kHtml5Head + u"<b>x"_s);
        QTRY_COMPARE(frame->CheckPane()->text(), u"問題 1"_s);
        QCOMPARE(frame->CheckPane()->accessibleName(), u"検査"_s);
        frame->CheckPane()->click();
        QVERIFY(frame->CheckDock()->isVisible());
        QCOMPARE(frame->CheckDock()->List()->model()->rowCount(), 1);

        frame->CheckDock()->EnabledBox()->click();
        QCOMPARE(frame->CheckPane()->text(), u"検査なし"_s);
        QVERIFY(fx.View()->LineMarks().empty());
        QCOMPARE(frame->CheckDock()->List()->model()->rowCount(), 0);

        fx.Stop();
        QVERIFY(fx.Start({u"-Embedding"_s}));
        QCOMPARE(fx.Frame()->CheckPane()->text(), u"検査なし"_s);
        QVERIFY(!fx.Frame()->CheckDock()->EnabledBox()->isChecked());
        fx.Frame()->SetCheckEnabled(true);
        fx.Frame()->Checker()->SetPause(0);
        fx.View()->SetWholeText(kHtml5Head); // whatever the journal gave back
        QTRY_COMPARE(fx.Frame()->CheckPane()->text(), u"問題なし"_s);
    }
};

QTEST_MAIN(TestHtmlCheck)
#include "tst_htmlcheck.moc"
