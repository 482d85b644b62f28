#include "tags/SingleLineText.h"
#include "tags/TagText.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The texts the tag dialogs put in, and how a multi-line value survives a
// one-line field.
class TestTagText : public QObject {
    Q_OBJECT

private slots:
    void fontTag_data() {
        QTest::addColumn<bool>("color");
        QTest::addColumn<bool>("size");
        QTest::addColumn<bool>("face");
        QTest::addColumn<QString>("expected");
        const QString s = u"abc"_s;
        QTest::newRow("none") << false << false << false << u"<FONT>abc</FONT>"_s;
        QTest::newRow("color") << true << false << false << u"<FONT COLOR=\"#FF0000\">abc</FONT>"_s;
        QTest::newRow("size") << false << true << false << u"<FONT SIZE=\"3\">abc</FONT>"_s;
        QTest::newRow("face") << false << false << true
                              << u"<FONT FACE=\"ＭＳ Ｐゴシック\">abc</FONT>"_s;
        QTest::newRow("color size")
            << true << true << false << u"<FONT COLOR=\"#FF0000\" SIZE=\"3\">abc</FONT>"_s;
        QTest::newRow("color face")
            << true << false << true
            << u"<FONT COLOR=\"#FF0000\" FACE=\"ＭＳ Ｐゴシック\">abc</FONT>"_s;
        QTest::newRow("size face")
            << false << true << true << u"<FONT SIZE=\"3\" FACE=\"ＭＳ Ｐゴシック\">abc</FONT>"_s;
        QTest::newRow("all")
            << true << true << true
            << u"<FONT COLOR=\"#FF0000\" SIZE=\"3\" FACE=\"ＭＳ Ｐゴシック\">abc</FONT>"_s;
    }

    void fontTag() {
        QFETCH(bool, color);
        QFETCH(bool, size);
        QFETCH(bool, face);
        QFETCH(QString, expected);
        tags::FontAttributes font{u"#FF0000"_s, u"3"_s, u"ＭＳ Ｐゴシック"_s, color, size, face};
        QCOMPARE(tags::BuildFontTag(font, u"abc"_s), expected);
    }

    void fontTagKeepsValuesAsTyped() {
        // Switched-off values are ignored; switched-on ones go in unescaped,
        // empty ones as an empty pair of quotes; the content keeps its breaks.
        tags::FontAttributes font{u" \"a&b\" "_s, u""_s, u"<x>"_s, true, true, false};
        QCOMPARE(tags::BuildFontTag(font, u"1\r\n2"_s),
                 u"<FONT COLOR=\" \"a&b\" \" SIZE=\"\">1\r\n2</FONT>"_s);
        QCOMPARE(tags::BuildFontTag({}, QString()), u"<FONT></FONT>"_s);
    }

    void imageTag_data() {
        QTest::addColumn<bool>("size");
        QTest::addColumn<bool>("border");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << false << false << u"<IMG SRC=\"a.gif\">"_s;
        QTest::newRow("size") << true << false
                              << u"<IMG SRC=\"a.gif\" HEIGHT=\"10\" WIDTH=\"20\">"_s;
        QTest::newRow("border") << false << true << u"<IMG SRC=\"a.gif\" BORDER=\"0\">"_s;
        QTest::newRow("both") << true << true
                              << u"<IMG SRC=\"a.gif\" HEIGHT=\"10\" WIDTH=\"20\" BORDER=\"0\">"_s;
    }

    void imageTag() {
        QFETCH(bool, size);
        QFETCH(bool, border);
        QFETCH(QString, expected);
        tags::ImageAttributes image{u"a.gif"_s, u"10"_s, u"20"_s, u"0"_s, size, border};
        QCOMPARE(tags::BuildImageTag(image), expected);
    }

    void imageTagWithEmptyValues() {
        QCOMPARE(tags::BuildImageTag({}), u"<IMG SRC=\"\">"_s);
        tags::ImageAttributes heightOnly{QString(), u"5"_s, QString(), QString(), true, true};
        QCOMPARE(tags::BuildImageTag(heightOnly),
                 u"<IMG SRC=\"\" HEIGHT=\"5\" WIDTH=\"\" BORDER=\"\">"_s);
    }

    void linkAndMailTags() {
        QCOMPARE(tags::BuildLinkTag(u"a.html"_s, u"here"_s, u"main"_s, false),
                 u"<A HREF=\"a.html\">here</A>"_s);
        QCOMPARE(tags::BuildLinkTag(u"a.html"_s, u"here"_s, u"main"_s, true),
                 u"<A HREF=\"a.html\" TARGET=\"main\">here</A>"_s);
        QCOMPARE(tags::BuildLinkTag({}, {}, {}, false), u"<A HREF=\"\"></A>"_s);
        QCOMPARE(tags::BuildLinkTag({}, {}, {}, true), u"<A HREF=\"\" TARGET=\"\"></A>"_s);
        QCOMPARE(tags::BuildLinkTag(u"a\"b"_s, u"x"_s, {}, false), u"<A HREF=\"a\"b\">x</A>"_s);

        QCOMPARE(tags::BuildMailTag(u"a@b.jp"_s, u"メール"_s),
                 u"<A HREF=\"mailto:a@b.jp\">メール</A>"_s);
        QCOMPARE(tags::BuildMailTag({}, {}), u"<A HREF=\"mailto:\"></A>"_s);
    }

    void hrTag() {
        QCOMPARE(tags::BuildHrTag(u"2"_s, u"80"_s, false), u"<HR SIZE=\"2\">"_s);
        QCOMPARE(tags::BuildHrTag(u"2"_s, u"80"_s, true), u"<HR SIZE=\"2\" WIDTH=\"80\">"_s);
        QCOMPARE(tags::BuildHrTag({}, {}, false), u"<HR SIZE=\"\">"_s);
        QCOMPARE(tags::BuildHrTag({}, {}, true), u"<HR SIZE=\"\" WIDTH=\"\">"_s);
    }

    void tableTag() {
        const QString tail = u">\n<TR><TD>\n\n</TD></TR>\n</TABLE>"_s;
        QCOMPARE(tags::BuildTableTag({}), u"<TABLE"_s + tail);

        tags::TableAttributes all{u"100%"_s, u"1"_s, u"2"_s, u"3"_s, u"red"_s,
                                  true,      true,   true,   true,   true};
        QCOMPARE(tags::BuildTableTag(all),
                 u"<TABLE WIDTH=\"100%\" BORDER=\"1\" CELLSPACING=\"2\" CELLPADDING=\"3\" "
                 "BORDERCOLOR=\"red\""_s +
                     tail);

        tags::TableAttributes some = all;
        some.useWidth = false;
        some.useCellPadding = false;
        some.cellSpacing.clear();
        QCOMPARE(tags::BuildTableTag(some),
                 u"<TABLE BORDER=\"1\" CELLSPACING=\"\" BORDERCOLOR=\"red\""_s + tail);
        QVERIFY(!tags::BuildTableTag(all).contains(u'\r'));
    }

    void pageSkeleton_data() {
        QTest::addColumn<bool>("image");
        QTest::addColumn<bool>("doctype");
        QTest::addColumn<QString>("head");
        const QString page = u"<HTML>\r\n\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY "_s;
        const QString dt = u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">\r\n\r\n"_s;
        QTest::newRow("colour") << false << false << page + u"BGCOLOR=\""_s;
        QTest::newRow("colour doctype") << false << true << dt + page + u"BGCOLOR=\""_s;
        QTest::newRow("image") << true << false << page + u"BACKGROUND=\""_s;
        QTest::newRow("image doctype") << true << true << dt + page + u"BACKGROUND=\""_s;
    }

    void pageSkeleton() {
        QFETCH(bool, image);
        QFETCH(bool, doctype);
        QFETCH(QString, head);
        tags::PageSkeleton page;
        page.doctype = u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">"_s;
        page.background = u"#000000"_s;
        page.text = u"#111111"_s;
        page.link = u"#222222"_s;
        page.alink = u"#333333"_s;
        page.vlink = u"#444444"_s;
        page.useDoctype = doctype;
        page.useImage = image;
        // ALINK before VLINK, whatever order the fields stand in.
        QCOMPARE(tags::BuildPageSkeleton(page),
                 head + u"#000000\" TEXT=\"#111111\" LINK=\"#222222\" ALINK=\"#333333\" "
                        "VLINK=\"#444444\">\r\n\r\n</BODY>\r\n\r\n</HTML>"_s);
    }

    void pageSkeletonWithEmptyValues() {
        QCOMPARE(tags::BuildPageSkeleton({}),
                 u"<HTML>\r\n\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY BGCOLOR=\"\" "
                 "TEXT=\"\" LINK=\"\" ALINK=\"\" VLINK=\"\">\r\n\r\n</BODY>\r\n\r\n</HTML>"_s);
        tags::PageSkeleton emptyDoctype;
        emptyDoctype.useDoctype = true;
        QVERIFY(tags::BuildPageSkeleton(emptyDoctype).startsWith(u"\r\n\r\n<HTML>\r\n"_s));
        // A DOCTYPE left over while its box is off is not written.
        tags::PageSkeleton unused;
        unused.doctype = u"<!DOCTYPE x>"_s;
        QVERIFY(!tags::BuildPageSkeleton(unused).contains(u"DOCTYPE"_s));
    }

    void singleLineRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain") << u"abc ⏎"_s;
        QTest::newRow("lines") << u"one\r\ntwo\r\n\r\n"_s;
        QTest::newRow("lines and first mark") << u"a⏎\r\nb"_s;
        QTest::newRow("lines and every mark") << u"\u23CE\u21B5\u2424\u21A9\r\nx"_s;
        QTest::newRow("lone breaks") << u"a\rb\nc\r\n"_s;
    }

    void singleLineRoundTrip() {
        QFETCH(QString, value);
        const tags::SingleLineText text = tags::ToSingleLine(value);
        QCOMPARE(tags::FromSingleLine(text.shown, text.mark), value);
    }

    void singleLineShowsBreaksAsMarks() {
        const tags::SingleLineText text = tags::ToSingleLine(u"one\r\ntwo"_s);
        QCOMPARE(text.shown, u"one⏎two"_s);
        // Edited around the mark, the line break is still there.
        QCOMPARE(tags::FromSingleLine(u"<one>⏎two!"_s, text.mark), u"<one>\r\ntwo!"_s);
        // A mark the value already held is kept as a character.
        const tags::SingleLineText taken = tags::ToSingleLine(u"⏎\r\n"_s);
        QVERIFY(taken.mark != QChar(u'⏎'));
        QCOMPARE(taken.shown.count(u'⏎'), 1);
        // Without line breaks, a typed mark stays a mark.
        const tags::SingleLineText plain = tags::ToSingleLine(u"x"_s);
        QCOMPARE(tags::FromSingleLine(u"x⏎"_s, plain.mark), u"x⏎"_s);
    }
};

QTEST_MAIN(TestTagText)
#include "tst_tagtext.moc"
