#include "app/CMainFrame.h"
#include "dict/CTagDictionaryDlg.h"
#include "dict/TagDictionary.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "io/CodePage932.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>

using namespace Qt::StringLiterals;

namespace {

const QString kNothingSelected = u"タグが選択されていません。"_s;
const QString kNotFound = u"検索した結果、発見されませんでした。\n\n連絡先:"_s;

// What the dialog showed, read from its controls.
struct Shown {
    QString title;
    QString selected;
    QString tag;
    QString description;
};

} // namespace

// The tag dictionary: the lookup and the dialog that shows its result.
class TestTagDictionary : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;

    CEditorView* View() const { return fx->View(); }

    void SetText(const QString& text, int anchor, int position) {
        testing::SetText(View(), text, anchor, position);
    }

    // Runs the command; `drive` gets the open dialog, which is closed with
    // OK afterwards if it is still open.
    Shown RunDictionary(const std::function<void(QDialog*)>& drive = {}) {
        Shown shown;
        bool opened = false;
        testing::WhenModalShows([&](QWidget* modal) {
            opened = true;
            auto* dlg = qobject_cast<CTagDictionaryDlg*>(modal);
            if (!dlg) {
                modal->close();
                return;
            }
            shown.title = dlg->windowTitle();
            shown.selected = dlg->findChild<QLineEdit*>(u"id1031"_s)->text();
            shown.tag = dlg->findChild<QLineEdit*>(u"id1033"_s)->text();
            shown.description = dlg->findChild<QPlainTextEdit*>(u"id1034"_s)->toPlainText();
            if (drive)
                drive(dlg);
            if (dlg->isVisible())
                QTest::mouseClick(dlg->findChild<QPushButton*>(u"id1"_s), Qt::LeftButton);
        });
        if (!fx->Frame()->RouteCommand(ID_TAG_DICTIONARY))
            shown.title = u"<not routed>"_s;
        else if (!opened)
            shown.title = u"<no dialog>"_s;
        return shown;
    }

private slots:
    void init() {
        fx = std::make_unique<testing::AppFixture>();
        QVERIFY(fx->started);
    }

    void cleanup() { fx.reset(); }

    void lookupFindsEveryEntryInAnyLetterCase_data() {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("description");
        const QString html = u"<HTML>～</HTML>"_s;
        const QString htmlText =
            u"HTML文書だと証明するようなタグ。\nHTML文書には必ず、最初と最後につきます。"_s;
        QTest::newRow("html") << u"html"_s << html << htmlText;
        QTest::newRow("HTML") << u"HTML"_s << html << htmlText;
        QTest::newRow("HtMl") << u"HtMl"_s << html << htmlText;
        QTest::newRow("b") << u"b"_s << u"<B>～</B>"_s << u"太字。"_s;
        QTest::newRow("B") << u"B"_s << u"<B>～</B>"_s << u"太字。"_s;
        QTest::newRow("br") << u"br"_s << u"<BR>"_s << u"改行。"_s;
        QTest::newRow("Br") << u"Br"_s << u"<BR>"_s << u"改行。"_s;
        QTest::newRow("bR") << u"bR"_s << u"<BR>"_s << u"改行。"_s;
        const QString blinkText = u"点滅文字。\nNetscapeのみ。"_s;
        QTest::newRow("blink") << u"blink"_s << u"<BLINK>～</BLINK>"_s << blinkText;
        QTest::newRow("BLINK") << u"BLINK"_s << u"<BLINK>～</BLINK>"_s << blinkText;
        const QString bgcolor = u"<BODY BGCOLOR=\"*****\">"_s;
        QTest::newRow("bgcolor") << u"bgcolor"_s << bgcolor << u"背景色。"_s;
        QTest::newRow("BGCOLOR") << u"BGCOLOR"_s << bgcolor << u"背景色。"_s;
        QTest::newRow("BgColor") << u"BgColor"_s << bgcolor << u"背景色。"_s;
        const QString background = u"<BODY BACKGROUND=\"*****\">"_s;
        QTest::newRow("background") << u"background"_s << background << u"背景画像。"_s;
        QTest::newRow("BackGround") << u"BackGround"_s << background << u"背景画像。"_s;
        QTest::newRow("BACKGROUND") << u"BACKGROUND"_s << background << u"背景画像。"_s;
    }

    void lookupFindsEveryEntryInAnyLetterCase() {
        QFETCH(QString, selection);
        QFETCH(QString, tag);
        QFETCH(QString, description);
        const dict::Lookup found = dict::LookUp(selection);
        QCOMPARE(found.tag, tag);
        QCOMPARE(found.description, description);
    }

    void lookupMissesAnythingButTheBareName_data() {
        QTest::addColumn<QString>("selection");
        QTest::newRow("angle brackets") << u"<b>"_s;
        QTest::newRow("closing tag") << u"</B>"_s;
        QTest::newRow("space before") << u" b"_s;
        QTest::newRow("space after") << u"br "_s;
        QTest::newRow("line break") << u"b\r\n"_s;
        QTest::newRow("two lines") << u"b\r\nr"_s;
        QTest::newRow("body") << u"body"_s;
        QTest::newRow("font") << u"FONT"_s;
        QTest::newRow("attribute with value") << u"bgcolor=\"#FFFFFF\""_s;
        QTest::newRow("prefix of an entry") << u"blin"_s;
        QTest::newRow("full-width small b") << u"ｂ"_s;
        QTest::newRow("full-width capital B") << u"Ｂ"_s;
        QTest::newRow("full-width BR") << u"ＢＲ"_s;
        QTest::newRow("Japanese") << u"太字"_s;
        QTest::newRow("raw byte") << QString(QChar(cp932::RawByteChar(0x80)));
    }

    void lookupMissesAnythingButTheBareName() {
        QFETCH(QString, selection);
        const dict::Lookup found = dict::LookUp(selection);
        QCOMPARE(found.tag, QString());
        QVERIFY2(found.description.startsWith(kNotFound), qPrintable(found.description));
        // The contact address follows the colon directly.
        const QString contact = found.description.mid(kNotFound.size());
        QVERIFY(!contact.isEmpty());
        QVERIFY(!contact.front().isSpace());
        QVERIFY(contact.contains(u'@'));
        QVERIFY(contact.endsWith(u"example.com"_s));
    }

    void lookupOfNothingSaysNothingIsSelected() {
        const dict::Lookup found = dict::LookUp(QString());
        QCOMPARE(found.tag, QString());
        QCOMPARE(found.description, kNothingSelected);
    }

    void lowerCaseFollowsTheCodePage() {
        // ASCII and full-width Latin capitals are lowered; kana, kanji,
        // Greek, half-width katakana and raw bytes stay as they are.
        const QString raw(QChar(cp932::RawByteChar(0x81)));
        QCOMPARE(dict::ToLowerCodePage(u"AZaz@[`{ＡＺａｚ＠［あ漢ΑΩｱ"_s + raw),
                 u"azaz@[`{ａｚａｚ＠［あ漢ΑΩｱ"_s + raw);
        // Full-width capitals are 0x8260-0x8279 and lower to 0x8281-0x829A.
        QCOMPARE(cp932::Encode(dict::ToLowerCodePage(cp932::Decode("\x82\x60\x82\x79"))),
                 QByteArray("\x82\x81\x82\x9A"));
    }

    void entriesSaveBackAsShiftJis() {
        // "～" is written as 0x81 0x60, line breaks as a bare line feed.
        const auto entries = dict::Entries();
        QCOMPARE(entries.size(), size_t(6));
        QCOMPARE(cp932::Encode(QString::fromUtf16(entries[1].tag)), QByteArray("<B>\x81\x60</B>"));
        QCOMPARE(cp932::Encode(QString::fromUtf16(entries[3].description)),
                 QByteArray(
                     "\x93\x5f\x96\xc5\x95\xb6\x8e\x9a\x81\x42\nNetscape\x82\xcc\x82\xdd\x81\x42"));
        for (const dict::Entry& e : entries) {
            QVERIFY(!cp932::FindUnencodable(QString::fromUtf16(e.tag)));
            QVERIFY(!cp932::FindUnencodable(QString::fromUtf16(e.description)));
        }
    }

    void dialogShowsTheMatchAndTheSelectionInItsOwnCase() {
        SetText(u"<BODY BackGround=\"a.gif\">"_s, 6, 16);
        QCOMPARE(View()->GetSelectedText(), u"BackGround"_s);
        const Shown shown = RunDictionary();
        QCOMPARE(shown.title, u"タグ辞書"_s);
        QCOMPARE(shown.selected, u"BackGround"_s);
        QCOMPARE(shown.tag, u"<BODY BACKGROUND=\"*****\">"_s);
        QCOMPARE(shown.description, u"背景画像。"_s);
    }

    void dialogWithoutSelection() {
        SetText(u"html"_s, 2, 2);
        const Shown shown = RunDictionary();
        QCOMPARE(shown.selected, QString());
        QCOMPARE(shown.tag, QString());
        QCOMPARE(shown.description, kNothingSelected);
    }

    void dialogForAMissShowsAMultiLineSelectionUnchanged() {
        SetText(u"a\nbr\nc"_s, 2, 6);
        const QString selection = View()->GetSelectedText();
        QCOMPARE(selection, u"br\r\nc"_s);
        const Shown shown = RunDictionary();
        QCOMPARE(shown.selected, selection);
        QCOMPARE(shown.tag, QString());
        QVERIFY(shown.description.startsWith(kNotFound));
        QVERIFY(shown.description.size() > kNotFound.size());
    }

    void dialogLayoutAndKeyboard() {
        SetText(u"b"_s, 0, 1);
        RunDictionary([](QDialog* dlg) {
            QVERIFY(dlg->isModal());
            QVERIFY(dlg->windowFlags() & Qt::WindowCloseButtonHint);
            QCOMPARE(dlg->windowType(), Qt::Tool);
            auto* ok = dlg->findChild<QPushButton*>(u"id1"_s);
            QVERIFY(ok && ok->isDefault());
            QCOMPARE(ok->text(), u"OK"_s);
            QCOMPARE(dlg->findChildren<QPushButton*>().size(), 1); // no cancel
            auto* selected = dlg->findChild<QLineEdit*>(u"id1031"_s);
            auto* tag = dlg->findChild<QLineEdit*>(u"id1033"_s);
            auto* description = dlg->findChild<QPlainTextEdit*>(u"id1034"_s);
            QVERIFY(!selected->isReadOnly() && !tag->isReadOnly() && !description->isReadOnly());
            QCOMPARE(description->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(description->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            // Top to bottom: selection, tag, description, OK at the right.
            QVERIFY(selected->y() < tag->y());
            QVERIFY(tag->y() < description->y());
            QVERIFY(description->geometry().bottom() < ok->y());
            QVERIFY(ok->geometry().right() > description->geometry().center().x());
            QCOMPARE(selected->accessibleName(), u"選択された文字"_s);
            QCOMPARE(tag->accessibleName(), u"該当するタグ"_s);
            QVERIFY(!description->accessibleName().isEmpty());
            // Focus starts on OK; Tab goes on to 1031, 1033 and 1034.
            QTRY_COMPARE(QApplication::focusWidget(), ok);
            const QList<QWidget*> order = {selected, tag, description, ok};
            for (QWidget* next : order) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), next);
            }
        });
    }

    void escAndCloseBoxCloseTheDialog() {
        SetText(u"br"_s, 0, 2);
        bool closed = false;
        RunDictionary([&](QDialog* dlg) {
            QTest::keyClick(dlg, Qt::Key_Escape);
            closed = !dlg->isVisible();
        });
        QVERIFY(closed);
        closed = false;
        RunDictionary([&](QDialog* dlg) {
            dlg->close();
            closed = !dlg->isVisible();
        });
        QVERIFY(closed);
    }

    void paneIsRepaintedBeforeTheDialogAndTheDocumentStaysAsItWas() {
        SetText(u"<B>x</B>"_s, 1, 2);
        fx->Doc()->SetModifiedFlag(false);
        QSignalSpy repaints(View(), &CEditorView::repaintRequested);
        int repaintsWhenShown = -1;
        RunDictionary([&](QDialog* dlg) {
            repaintsWhenShown = int(repaints.size());
            // Whatever is typed into the fields goes nowhere.
            for (QLineEdit* edit : dlg->findChildren<QLineEdit*>()) {
                edit->setFocus();
                QTest::keyClicks(edit, u"zz"_s);
            }
            auto* description = dlg->findChild<QPlainTextEdit*>(u"id1034"_s);
            description->setFocus();
            QTest::keyClicks(description, u"zz"_s);
        });
        QCOMPARE(repaintsWhenShown, 1);
        QCOMPARE(View()->GetWholeText(), u"<B>x</B>"_s);
        QCOMPARE(View()->GetSelectedText(), u"B"_s);
        QVERIFY(!fx->Doc()->IsModified());
    }

    void dialogReadsTheControlsBackOnOk() {
        CTagDictionaryDlg dlg;
        dlg.m_selectedText = u"a\r\nb"_s;
        dlg.m_tag = u"<BR>"_s;
        dlg.m_description = u"one\ntwo"_s;
        testing::WhenModalShows([](QWidget* modal) {
            auto* tag = modal->findChild<QLineEdit*>(u"id1033"_s);
            tag->setText(tag->text() + u"!"_s);
            QTest::mouseClick(modal->findChild<QPushButton*>(u"id1"_s), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_tag, u"<BR>!"_s);
        QCOMPARE(dlg.m_selectedText, u"a\r\nb"_s);
        QCOMPARE(dlg.m_description, u"one\ntwo"_s);
    }
};

QTEST_MAIN(TestTagDictionary)
#include "tst_tagdictionary.moc"
