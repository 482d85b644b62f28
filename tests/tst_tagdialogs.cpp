#include "app/CMainFrame.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextCursor>

using namespace Qt::StringLiterals;

namespace {

using Drive = std::function<void(QDialog*)>;

template <class T> T* Control(QWidget* dialog, int id) {
    return dialog->findChild<T*>(u"id%1"_s.arg(id));
}
QLineEdit* Edit(QWidget* dialog, int id) {
    return Control<QLineEdit>(dialog, id);
}
QCheckBox* Box(QWidget* dialog, int id) {
    return Control<QCheckBox>(dialog, id);
}
QPushButton* Button(QWidget* dialog, int id) {
    return Control<QPushButton>(dialog, id);
}

// A mouse click where a person would click: on the indicator of a check box.
void Click(QAbstractButton* button) {
    QVERIFY(button);
    QPoint at = button->rect().center();
    if (auto* box = qobject_cast<QCheckBox*>(button)) {
        QStyleOptionButton option;
        option.initFrom(box);
        at = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}
void Click(QWidget* dialog, int id) {
    Click(Control<QAbstractButton>(dialog, id));
}

void Type(QWidget* dialog, int id, const QString& text) {
    QWidget* field = dialog->findChild<QWidget*>(u"id%1"_s.arg(id));
    QVERIFY(field);
    if (auto* combo = qobject_cast<QComboBox*>(field))
        field = combo->lineEdit();
    QTest::keyClicks(field, text);
}

void PickListEntry(QComboBox* combo, int row) {
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    const QRect item = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
}

QString Lines(QString text) {
    return text.replace(u"\r\n"_s, u"\n"_s);
}

enum class Ending { Cancel, Escape, CloseBox };

} // namespace

// The seven tag dialogs, driven through their commands as a person would.
class TestTagDialogs : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fixture;
    CEditorView* view = nullptr;

    void SetText(const QString& text, int selStart = -1, int selEnd = -1) {
        view->SetWholeText(text);
        if (selStart >= 0)
            testing::Select(view, selStart, selEnd);
    }

    // Runs command `id` and lets `drive` work its dialog; a dialog that
    // `drive` leaves open is cancelled. False when no dialog showed.
    bool Run(int id, const Drive& drive) {
        bool shown = false;
        testing::WhenModalShows([&](QWidget* modal) {
            shown = true;
            QPointer<QDialog> dialog = qobject_cast<QDialog*>(modal);
            if (!dialog)
                return;
            drive(dialog);
            if (dialog && dialog->isVisible())
                dialog->reject();
        });
        if (!fixture->Frame()->RouteCommand(id))
            return false;
        return shown;
    }

    void Ok(QDialog* dialog) { Click(dialog, 1); }

private slots:
    void initTestCase() {
        fixture = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fixture->started);
        view = fixture->View();
    }

    void cleanupTestCase() { fixture.reset(); }

    void init() { SetText(QString()); }

    void dialogsLookAsDesigned_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("points");
        QTest::addColumn<QStringList>("tabOrder");
        QTest::addColumn<QString>("focus");
        auto ids = [](std::initializer_list<int> list) {
            QStringList names;
            for (int id : list)
                names << u"id%1"_s.arg(id);
            return names;
        };
        QTest::newRow("page") << int(ID_NEW_HTML_DOCUMENT) << u"HTMLタグ挿入"_s << 10
                              << ids({1037, 1036, 1015, 1017, 1008, 1002, 1007, 1003, 1009, 1005,
                                      1010, 1006, 1011, 1, 2})
                              << u"id1037"_s;
        QTest::newRow("font") << int(ID_FONT_TAG) << u"フォントダイアログ"_s << 10
                              << ids({1001, 1004, 1002, 1003, 1, 2, 1035, 1036, 1038}) << u"id1"_s;
        QTest::newRow("link") << int(ID_LINK_TAG) << u"リンクタグ挿入"_s << 10
                              << ids({1027, 1006, 1029, 1, 2, 1030}) << u"id1027"_s;
        QTest::newRow("image") << int(ID_IMAGE_TAG) << u"イメージ挿入"_s << 10
                               << ids({1006, 1013, 1010, 1011, 1014, 1012, 1, 2}) << u"id1006"_s;
        QTest::newRow("table") << int(ID_TABLE_TAG) << u"TABLEタグ挿入"_s << 9
                               << ids({1, 2, 1011, 1042, 1043, 1044, 1045, 1014, 1047, 1015, 1016,
                                       1017})
                               << u"id1"_s;
        QTest::newRow("rule") << int(ID_HR_TAG) << u"HRタグの挿入"_s << 10
                              << ids({1, 2, 1019, 1020, 1021}) << u"id1"_s;
        QTest::newRow("mail") << int(ID_MAIL_TAG) << u"Eメールタグ挿入"_s << 10
                              << ids({1005, 1006, 1, 2}) << u"id1005"_s;
    }

    void dialogsLookAsDesigned() {
        QFETCH(int, command);
        QFETCH(QString, title);
        QFETCH(int, points);
        QFETCH(QStringList, tabOrder);
        QFETCH(QString, focus);
        const bool shown = Run(command, [&](QDialog* dlg) {
            QCOMPARE(dlg->windowTitle(), title);
            QCOMPARE(dlg->accessibleName(), title);
            QVERIFY(dlg->isModal());
            QCOMPARE(dlg->parentWidget(), fixture->Frame());
            QCOMPARE(dlg->windowType(), Qt::Tool);
            QVERIFY(dlg->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(dlg->windowFlags() &
                      (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QCOMPARE(dlg->font().family(), u"ＭＳ Ｐゴシック"_s);
            QCOMPARE(dlg->font().pointSize(), points);

            QCOMPARE(Button(dlg, 1)->text(), u"OK"_s);
            QVERIFY(Button(dlg, 1)->isDefault());
            QCOMPARE(Button(dlg, 2)->text(), u"ｷｬﾝｾﾙ"_s);
            QVERIFY(dlg->focusWidget());
            QCOMPARE(dlg->focusWidget()->objectName(), focus);

            // Tab order: every control that takes the focus, in this order.
            QWidget* first = dlg->findChild<QWidget*>(tabOrder.first());
            QStringList chain;
            QWidget* w = first;
            do {
                const bool inner = qobject_cast<QComboBox*>(w->parentWidget());
                if (dlg->isAncestorOf(w) && !inner && (w->focusPolicy() & Qt::TabFocus))
                    chain << w->objectName();
                w = w->nextInFocusChain();
            } while (w != first);
            QCOMPARE(chain, tabOrder);

            // The Japanese texts render in the fallback face, and every text
            // fits its control inside the dialog.
            const QRect inside = dlg->rect();
            for (QWidget* child : dlg->findChildren<QWidget*>()) {
                if (!child->isVisible() || child->window() != dlg)
                    continue;
                const QRect r(child->mapTo(dlg, QPoint(0, 0)), child->size());
                QVERIFY2(inside.contains(r), qPrintable(child->objectName()));
                QString text;
                if (auto* label = qobject_cast<QLabel*>(child))
                    text = label->text();
                else if (auto* button = qobject_cast<QAbstractButton*>(child))
                    text = button->text();
                if (text.isEmpty())
                    continue;
                const QFontMetrics metrics(child->font());
                for (const QChar c : text)
                    QVERIFY2(metrics.inFont(c), qPrintable(text));
                QVERIFY2(child->width() >= child->sizeHint().width(), qPrintable(text));
                QVERIFY2(child->height() >= child->sizeHint().height(), qPrintable(text));
            }

            // Screen readers and tests find every control by its name.
            for (QWidget* child : dlg->findChildren<QWidget*>()) {
                if (qobject_cast<QLineEdit*>(child) && qobject_cast<QComboBox*>(child->parent()))
                    continue;
                if (qobject_cast<QLineEdit*>(child) || qobject_cast<QComboBox*>(child) ||
                    qobject_cast<QAbstractButton*>(child))
                    QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));
                if (auto* label = qobject_cast<QLabel*>(child)) {
                    QVERIFY2(label->buddy(), qPrintable(label->text()));
                    QCOMPARE(label->buddy()->accessibleName(), label->text());
                }
            }
        });
        QVERIFY(shown);
    }

    void checkBoxesEnableTheirFields_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("box");
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<QList<int>>("alwaysEnabled");
        const QList<int> pageFields{1037, 1015, 1017, 1008, 1002, 1007,
                                    1003, 1009, 1005, 1010, 1006, 1011};
        QTest::newRow("page doctype")
            << int(ID_NEW_HTML_DOCUMENT) << 1037 << QList<int>{1036} << pageFields;
        QTest::newRow("font colour")
            << int(ID_FONT_TAG) << 1035 << QList<int>{1001, 1004} << QList<int>{1035, 1036, 1038};
        QTest::newRow("font size") << int(ID_FONT_TAG) << 1036 << QList<int>{1002} << QList<int>{};
        QTest::newRow("font face") << int(ID_FONT_TAG) << 1038 << QList<int>{1003} << QList<int>{};
        QTest::newRow("link target")
            << int(ID_LINK_TAG) << 1030 << QList<int>{1029} << QList<int>{1027, 1006, 1030};
        QTest::newRow("image size")
            << int(ID_IMAGE_TAG) << 1013 << QList<int>{1010, 1011} << QList<int>{1006, 1013, 1014};
        QTest::newRow("image border")
            << int(ID_IMAGE_TAG) << 1014 << QList<int>{1012} << QList<int>{};
        QTest::newRow("rule width")
            << int(ID_HR_TAG) << 1021 << QList<int>{1020} << QList<int>{1019, 1021};
        QTest::newRow("table width") << int(ID_TABLE_TAG) << 1042 << QList<int>{1011}
                                     << QList<int>{1042, 1043, 1044, 1045, 1047};
        QTest::newRow("table border")
            << int(ID_TABLE_TAG) << 1043 << QList<int>{1014} << QList<int>{};
        QTest::newRow("table cellspacing")
            << int(ID_TABLE_TAG) << 1044 << QList<int>{1015} << QList<int>{};
        QTest::newRow("table cellpadding")
            << int(ID_TABLE_TAG) << 1045 << QList<int>{1016} << QList<int>{};
        QTest::newRow("table bordercolor")
            << int(ID_TABLE_TAG) << 1047 << QList<int>{1017} << QList<int>{};
    }

    void checkBoxesEnableTheirFields() {
        QFETCH(int, command);
        QFETCH(int, box);
        QFETCH(QList<int>, fields);
        QFETCH(QList<int>, alwaysEnabled);
        auto enabled = [](QDialog* dlg, const QList<int>& ids, bool expected) {
            for (int id : ids) {
                QWidget* w = dlg->findChild<QWidget*>(u"id%1"_s.arg(id));
                QVERIFY2(w && w->isEnabled() == expected, qPrintable(QString::number(id)));
            }
        };
        const bool shown = Run(command, [&](QDialog* dlg) {
            QVERIFY(!Box(dlg, box)->isChecked());
            enabled(dlg, fields, false);
            enabled(dlg, alwaysEnabled, true);
            Click(dlg, box);
            QVERIFY(Box(dlg, box)->isChecked());
            enabled(dlg, fields, true);
            Click(dlg, box);
            enabled(dlg, fields, false);
            // The keyboard works the box too.
            Box(dlg, box)->setFocus();
            QTest::keyClick(Box(dlg, box), Qt::Key_Space);
            enabled(dlg, fields, true);
            enabled(dlg, alwaysEnabled, true);
        });
        QVERIFY(shown);
    }

    void endingWithoutOkChangesNothing_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("ending");
        const std::pair<const char*, int> commands[] = {
            {"page", ID_NEW_HTML_DOCUMENT}, {"font", ID_FONT_TAG},   {"link", ID_LINK_TAG},
            {"image", ID_IMAGE_TAG},        {"table", ID_TABLE_TAG}, {"rule", ID_HR_TAG},
            {"mail", ID_MAIL_TAG}};
        for (const auto& [name, id] : commands) {
            QTest::addRow("%s cancel", name) << id << int(Ending::Cancel);
            QTest::addRow("%s esc", name) << id << int(Ending::Escape);
            QTest::addRow("%s close box", name) << id << int(Ending::CloseBox);
        }
    }

    void endingWithoutOkChangesNothing() {
        QFETCH(int, command);
        QFETCH(int, ending);
        SetText(u"<P>first\r\nsecond</P>"_s, 12, 3);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        const bool shown = Run(command, [&](QDialog* dlg) {
            // Something typed, then dropped.
            for (QLineEdit* edit : dlg->findChildren<QLineEdit*>())
                if (edit->isEnabled()) {
                    QTest::keyClicks(edit, u"x"_s);
                    break;
                }
            switch (Ending(ending)) {
            case Ending::Cancel:
                Click(dlg, 2);
                break;
            case Ending::Escape:
                QTest::keyClick(dlg->focusWidget(), Qt::Key_Escape);
                break;
            case Ending::CloseBox:
                dlg->close();
                break;
            }
            QVERIFY(!dlg->isVisible());
            QCOMPARE(dlg->result(), int(QDialog::Rejected));
        });
        QVERIFY(shown);
        QCOMPARE(view->toPlainText(), u"<P>first\nsecond</P>"_s);
        QCOMPARE(view->textCursor().anchor(), 12);
        QCOMPARE(view->textCursor().position(), 3);
        QVERIFY(!fixture->Doc()->IsModified());
        QCOMPARE(repaints.count(), 0);
    }

    void eachRunStartsAfresh() {
        QPointer<QDialog> first;
        QVERIFY(Run(ID_IMAGE_TAG, [&](QDialog* dlg) {
            first = dlg;
            Type(dlg, 1006, u"a.gif"_s);
            Click(dlg, 1013);
        }));
        QVERIFY(!first); // gone when the command ended
        QVERIFY(Run(ID_IMAGE_TAG, [&](QDialog* dlg) {
            QCOMPARE(Edit(dlg, 1006)->text(), QString());
            QVERIFY(!Box(dlg, 1013)->isChecked());
            QVERIFY(!Edit(dlg, 1010)->isEnabled());
        }));
    }

    void pageSkeletonFromEmptyDialog() {
        SetText(u"old text"_s, 0, 3);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_NEW_HTML_DOCUMENT, [&](QDialog* dlg) {
            QCOMPARE(Control<QComboBox>(dlg, 1036)->currentIndex(), -1);
            QCOMPARE(Control<QComboBox>(dlg, 1036)->currentText(), QString());
            QCOMPARE(Control<QLabel>(dlg, 1016)->text(), u"bgcolor"_s);
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(
            view->toPlainText(),
            Lines(u"<HTML>\r\n\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY BGCOLOR=\"\" "
                  "TEXT=\"\" LINK=\"\" ALINK=\"\" VLINK=\"\">\r\n\r\n</BODY>\r\n\r\n</HTML>"_s) +
                u" text"_s);
        QCOMPARE(view->textCursor().position(), view->toPlainText().size() - 5);
        QVERIFY(!view->textCursor().hasSelection());
        QVERIFY(fixture->Doc()->IsModified());
    }

    void pageSkeletonWithDoctypeImageAndColours() {
        testing::FakeColorChooser chooser;
        chooser.answers << QColor(0x12, 0x34, 0x56) << QColor(0xAB, 0xCD, 0xEF) << QColor(1, 2, 3)
                        << QColor(4, 5, 6) << QColor(7, 8, 9) << std::nullopt;
        QVERIFY(Run(ID_NEW_HTML_DOCUMENT, [&](QDialog* dlg) {
            auto* doctypes = Control<QComboBox>(dlg, 1036);
            QCOMPARE(doctypes->count(), 7);
            QCOMPARE(doctypes->itemText(0), u"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">"_s);
            QCOMPARE(doctypes->itemText(6),
                     u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Frameset//EN\">"_s);
            Click(dlg, 1037);
            PickListEntry(doctypes, 4);
            Click(dlg, 1008); // bgcolor #123456
            Click(dlg, 1007); // text
            Click(dlg, 1009); // link
            Click(dlg, 1010); // vlink
            Click(dlg, 1011); // alink
            QCOMPARE(Edit(dlg, 1003)->text(), u"#010203"_s);
            Type(dlg, 1002, u"!"_s);
            // The image box switches the label, not the field, which stays
            // where it was.
            const QRect fieldAt = Edit(dlg, 1017)->geometry();
            Click(dlg, 1015);
            dlg->layout()->activate();
            QCOMPARE(Edit(dlg, 1017)->geometry(), fieldAt);
            QCOMPARE(Control<QLabel>(dlg, 1016)->text(), u"background"_s);
            QCOMPARE(Edit(dlg, 1017)->accessibleName(), u"background"_s);
            QVERIFY(!Button(dlg, 1008)->isEnabled());
            QVERIFY(Edit(dlg, 1017)->isEnabled());
            Click(dlg, 1015);
            QCOMPARE(Control<QLabel>(dlg, 1016)->text(), u"bgcolor"_s);
            QVERIFY(Button(dlg, 1008)->isEnabled());
            Click(dlg, 1015);
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(),
                 Lines(u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">\r\n\r\n<HTML>\r\n\r\n"
                       "<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n\r\n<BODY BACKGROUND=\"#123456\" "
                       "TEXT=\"#ABCDEF!\" LINK=\"#010203\" ALINK=\"#070809\" VLINK=\"#040506\">"
                       "\r\n\r\n</BODY>\r\n\r\n</HTML>"_s));
    }

    void pageSkeletonChooserCancelledEmptiesField() {
        testing::FakeColorChooser chooser; // answers cancel
        const QString longDoctype =
            u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
            "\"http://www.w3.org/TR/html4/loose.dtd\">"_s;
        QVERIFY(Run(ID_NEW_HTML_DOCUMENT, [&](QDialog* dlg) {
            Type(dlg, 1006, u"#FFFFFF"_s);
            Click(dlg, 1011);
            QCOMPARE(Edit(dlg, 1006)->text(), QString());
            // A DOCTYPE longer than the field is kept whole.
            Click(dlg, 1037);
            Type(dlg, 1036, longDoctype);
            Ok(dlg);
        }));
        QCOMPARE(chooser.initials.size(), 1);
        QVERIFY(view->toPlainText().startsWith(longDoctype + u"\n\n<HTML>"_s));
        QVERIFY(view->toPlainText().contains(u"ALINK=\"\" VLINK"_s));
    }

    // The list only offers texts: what is typed into a combo is what goes in,
    // not the entry it starts like nor one that differs only in case.
    void typedComboTextIsKeptAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::newRow("start of an entry, OK") << u"<!DOCTYPE HTML PUBLIC"_s << false;
        QTest::newRow("start of an entry, Enter") << u"<!DOCTYPE HTML PUBLIC \"-//W3C"_s << true;
        QTest::newRow("entry in lower case, Enter")
            << u"<!doctype html public \"-//ietf//dtd html//en\">"_s << true;
    }

    void typedComboTextIsKeptAsTyped() {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QVERIFY(Run(ID_NEW_HTML_DOCUMENT, [&](QDialog* dlg) {
            Click(dlg, 1037);
            // Tabbed into, as a person would; the field has the focus.
            QVERIFY(QTest::qWaitForWindowActive(dlg));
            QTest::keyClick(Box(dlg, 1037), Qt::Key_Tab);
            QVERIFY(Control<QComboBox>(dlg, 1036)->hasFocus());
            Type(dlg, 1036, typed);
            QCOMPARE(Control<QComboBox>(dlg, 1036)->currentText(), typed);
            if (enter)
                QTest::keyClick(Control<QComboBox>(dlg, 1036)->lineEdit(), Qt::Key_Return);
            else
                Ok(dlg);
        }));
        QVERIFY(view->toPlainText().startsWith(typed + u"\n\n<HTML>"_s));
    }

    void pageSkeletonDropsDoctypeSwitchedOff() {
        QVERIFY(Run(ID_NEW_HTML_DOCUMENT, [&](QDialog* dlg) {
            Click(dlg, 1037);
            Type(dlg, 1036, u"<!DOCTYPE typed>"_s);
            Click(dlg, 1037);
            QCOMPARE(Control<QComboBox>(dlg, 1036)->currentText(), u"<!DOCTYPE typed>"_s);
            Ok(dlg);
        }));
        QVERIFY(view->toPlainText().startsWith(u"<HTML>\n"_s));
    }

    void fontTagAroundSelection() {
        SetText(u"x abc y"_s, 2, 5);
        testing::FakeColorChooser chooser;
        chooser.answers << QColor(255, 0, 0);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_FONT_TAG, [&](QDialog* dlg) {
            QCOMPARE(Edit(dlg, 1003)->text(), u"ＭＳ Ｐゴシック"_s);
            QCOMPARE(Control<QComboBox>(dlg, 1002)->count(), 7);
            Click(dlg, 1035);
            Click(dlg, 1004);
            QCOMPARE(Edit(dlg, 1001)->text(), u"#FF0000"_s);
            Click(dlg, 1036);
            PickListEntry(Control<QComboBox>(dlg, 1002), 2);
            QCOMPARE(Control<QComboBox>(dlg, 1002)->currentText(), u"3"_s);
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(view->toPlainText(), u"x <FONT COLOR=\"#FF0000\" SIZE=\"3\">abc</FONT> y"_s);
        QCOMPARE(view->textCursor().position(), view->toPlainText().size() - 2);
    }

    void fontTagFaceAndDroppedValues() {
        testing::FakeColorChooser chooser; // cancelled
        QVERIFY(Run(ID_FONT_TAG, [&](QDialog* dlg) {
            Click(dlg, 1038); // face left as preset
            Click(dlg, 1036);
            Type(dlg, 1002, u"+1"_s);
            Click(dlg, 1036); // typed size dropped again
            Click(dlg, 1035);
            Type(dlg, 1001, u"red"_s);
            Click(dlg, 1004); // chooser cancelled: colour emptied
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), u"<FONT COLOR=\"\" FACE=\"ＭＳ Ｐゴシック\"></FONT>"_s);
    }

    void fontTagWithNothingTicked() {
        SetText(u"abc"_s, 0, 3);
        QVERIFY(Run(ID_FONT_TAG, [&](QDialog* dlg) { Ok(dlg); }));
        QCOMPARE(view->toPlainText(), u"<FONT>abc</FONT>"_s);
    }

    void linkTagTakesTheSelection() {
        SetText(u"see here now"_s, 4, 8);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_LINK_TAG, [&](QDialog* dlg) {
            QCOMPARE(Edit(dlg, 1006)->text(), u"here"_s);
            Type(dlg, 1027, u"a.html?x=\"1\"&y"_s);
            Click(dlg, 1030);
            Type(dlg, 1029, u"main"_s);
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(view->toPlainText(),
                 u"see <A HREF=\"a.html?x=\"1\"&y\" TARGET=\"main\">here</A> now"_s);
    }

    void linkTagEditedTextAndDroppedTarget() {
        SetText(u"word"_s, 0, 4);
        QVERIFY(Run(ID_LINK_TAG, [&](QDialog* dlg) {
            Edit(dlg, 1006)->selectAll();
            QTest::keyClicks(Edit(dlg, 1006), u"other"_s);
            Click(dlg, 1030);
            Type(dlg, 1029, u"_top"_s);
            Click(dlg, 1030);
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), u"<A HREF=\"\">other</A>"_s);

        SetText(QString());
        QVERIFY(Run(ID_LINK_TAG, [&](QDialog* dlg) {
            Click(dlg, 1030);
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), u"<A HREF=\"\" TARGET=\"\"></A>"_s);
    }

    void multiLineSelectionSurvivesTheTextField() {
        const QString lines = u"one\r\n  two\t⏎\r\n\r\nthree"_s;
        const int end = int(Lines(lines).size());
        SetText(lines + u"!"_s, 0, end);
        QCOMPARE(view->GetSelectedText(), lines);
        // Untouched, it comes back as it was.
        QVERIFY(Run(ID_LINK_TAG, [&](QDialog* dlg) {
            QVERIFY(!Edit(dlg, 1006)->text().contains(u'\n'));
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), Lines(u"<A HREF=\"\">"_s + lines + u"</A>!"_s));

        // Edited, its line breaks stay where they were.
        SetText(lines, 0, end);
        QVERIFY(Run(ID_MAIL_TAG, [&](QDialog* dlg) {
            Edit(dlg, 1006)->end(false);
            QTest::keyClicks(Edit(dlg, 1006), u"?"_s);
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), Lines(u"<A HREF=\"mailto:\">"_s + lines + u"?</A>"_s));
    }

    void longSelectionIsNotCut() {
        const QString text(40000, u'あ');
        SetText(text, 0, 40000);
        QVERIFY(Run(ID_MAIL_TAG, [&](QDialog* dlg) {
            Edit(dlg, 1006)->end(false);
            Type(dlg, 1006, u"z"_s);
            Ok(dlg);
        }));
        QCOMPARE(view->GetWholeText(), u"<A HREF=\"mailto:\">"_s + text + u"z</A>"_s);
    }

    void mailTagTakesTheSelection() {
        SetText(u"write me"_s, 6, 8);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_MAIL_TAG, [&](QDialog* dlg) {
            QCOMPARE(Edit(dlg, 1005)->text(), QString());
            QCOMPARE(Edit(dlg, 1006)->text(), u"me"_s);
            Type(dlg, 1005, u"a@b.jp"_s);
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(view->toPlainText(), u"write <A HREF=\"mailto:a@b.jp\">me</A>"_s);
    }

    void imageTagReplacesTheSelection() {
        SetText(u"old"_s, 0, 3);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_IMAGE_TAG, [&](QDialog* dlg) {
            Type(dlg, 1006, u"a.gif"_s);
            Click(dlg, 1013);
            Type(dlg, 1010, u"10"_s);
            Click(dlg, 1014);
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(view->toPlainText(),
                 u"<IMG SRC=\"a.gif\" HEIGHT=\"10\" WIDTH=\"\" BORDER=\"\">"_s);

        SetText(QString());
        QVERIFY(Run(ID_IMAGE_TAG, [&](QDialog* dlg) {
            Click(dlg, 1013);
            Type(dlg, 1010, u"10"_s);
            Click(dlg, 1013);
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), u"<IMG SRC=\"\">"_s);
    }

    void hrTag() {
        SetText(u"old"_s, 0, 3);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_HR_TAG, [&](QDialog* dlg) {
            Type(dlg, 1019, u"2"_s);
            Click(dlg, 1021);
            Type(dlg, 1020, u"80%"_s);
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(view->toPlainText(), u"<HR SIZE=\"2\" WIDTH=\"80%\">"_s);

        SetText(QString());
        QVERIFY(Run(ID_HR_TAG, [&](QDialog* dlg) {
            Click(dlg, 1021);
            Type(dlg, 1020, u"80"_s);
            Click(dlg, 1021);
            Ok(dlg);
        }));
        QCOMPARE(view->toPlainText(), u"<HR SIZE=\"\">"_s);
    }

    void tableTagOrdersAttributes() {
        SetText(u"old"_s, 0, 3);
        QSignalSpy repaints(view, &CEditorView::repaintRequested);
        QVERIFY(Run(ID_TABLE_TAG, [&](QDialog* dlg) {
            // Ticked from the bottom up.
            const int rows[][2] = {
                {1047, 1017}, {1045, 1016}, {1044, 1015}, {1043, 1014}, {1042, 1011}};
            for (const auto& [box, edit] : rows) {
                Click(dlg, box);
                Type(dlg, edit, QString::number(edit));
            }
            Click(dlg, 1045); // cellpadding off again
            Ok(dlg);
        }));
        QCOMPARE(repaints.count(), 1);
        QCOMPARE(
            view->toPlainText(),
            u"<TABLE WIDTH=\"1011\" BORDER=\"1014\" CELLSPACING=\"1015\" BORDERCOLOR=\"1017\">\n"
            "<TR><TD>\n\n</TD></TR>\n</TABLE>"_s);

        SetText(QString());
        QVERIFY(Run(ID_TABLE_TAG, [&](QDialog* dlg) { Ok(dlg); }));
        QCOMPARE(view->toPlainText(), u"<TABLE>\n<TR><TD>\n\n</TD></TR>\n</TABLE>"_s);
    }

    void enterPressesOk() {
        QVERIFY(Run(ID_NEW_HTML_DOCUMENT, [&](QDialog* dlg) {
            Click(dlg, 1037);
            Type(dlg, 1036, u"<!DOCTYPE x>"_s);
            QTest::keyClick(Control<QComboBox>(dlg, 1036)->lineEdit(), Qt::Key_Return);
            QVERIFY(!dlg->isVisible());
        }));
        QVERIFY(view->toPlainText().startsWith(u"<!DOCTYPE x>\n\n<HTML>"_s));
    }
};

QTEST_MAIN(TestTagDialogs)
#include "tst_tagdialogs.moc"
