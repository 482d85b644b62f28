#include "app/CMainFrame.h"
#include "app/CToolBar.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"
#include "tags/ColorCode.h"
#include "tags/Palette.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("QColorDialog", text);
}

// The widget that the label reading `text` stands for.
QWidget* Labelled(QWidget* dialog, const QString& text) {
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->text() == text)
            return label->buddy();
    return nullptr;
}

QPushButton* DialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    auto* box = dialog->findChild<QDialogButtonBox*>();
    return box ? box->button(which) : nullptr;
}

// Types `code` into the chooser's HTML field, as a person would.
void TypeCode(QWidget* dialog, const QString& code) {
    auto* html = qobject_cast<QLineEdit*>(Labelled(dialog, Tr("&HTML:")));
    QVERIFY(html);
    html->setFocus();
    html->selectAll();
    QTest::keyClicks(html, code);
}

} // namespace

// The palette's sixteen colours, the colour code command and the chooser.
class TestColors : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;

    CEditorView* View() const { return fx->View(); }

    void SetText(const QString& text, int anchor, int position) {
        testing::SetText(View(), text, anchor, position);
    }

    // Runs the colour code command; `drive` works the real chooser.
    QString RunChooser(const std::function<void(QColorDialog*)>& drive) {
        bool shown = false;
        testing::WhenModalShows([&](QWidget* modal) {
            shown = true;
            auto* dialog = qobject_cast<QColorDialog*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            drive(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        const QString code = PickColorCode();
        return shown ? code : u"<no chooser>"_s;
    }

private slots:
    void initTestCase() {
        // A custom colour that an earlier run or another program left in
        // Qt's own settings, before the chooser's table is first read.
        QSettings qt(QSettings::UserScope, u"QtProject"_s);
        qt.setValue(u"Qt/customColors/0"_s, QColor(Qt::red).rgba());
        qt.sync();
    }

    void init() {
        fx = std::make_unique<testing::AppFixture>(QStringList{u"-Embedding"_s});
        QVERIFY(fx->started);
    }
    void cleanup() { fx.reset(); }

    // Runs first, before any test sets the custom colours itself.
    void customColorsStartWhite() {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QCOMPARE(QColorDialog::customColor(i), QColor(Qt::white));
    }

    void codesAreRedGreenBlueInUpperCaseHex() {
        QCOMPARE(FormatColorCode(QColor(0, 0, 128)), u"#000080"_s); // navy
        QCOMPARE(FormatColorCode(QColor(128, 0, 0)), u"#800000"_s); // maroon
        QCOMPARE(FormatColorCode(QColor(1, 2, 3)), u"#010203"_s);
        QCOMPARE(FormatColorCode(QColor(0xAB, 0xCD, 0xEF)), u"#ABCDEF"_s);
        QCOMPARE(FormatColorCode(QColor::fromHsv(0, 255, 255)), u"#FF0000"_s);
        const QRegularExpression form(u"^#[0-9A-F]{6}$"_s);
        for (int v = 0; v < 256; v += 15)
            QVERIFY(form.match(FormatColorCode(QColor(v, 255 - v, v / 2))).hasMatch());
    }

    void paletteTableMatchesItsCodes() {
        const QStringList expected = {u"#000000"_s, u"#FFFFFF"_s, u"#808080"_s, u"#C0C0C0"_s,
                                      u"#800000"_s, u"#FF0000"_s, u"#008000"_s, u"#00FF00"_s,
                                      u"#000080"_s, u"#0000FF"_s, u"#808000"_s, u"#FFFF00"_s,
                                      u"#008080"_s, u"#00FFFF"_s, u"#800080"_s, u"#FF00FF"_s};
        QCOMPARE(tags::PaletteColors().size(), 16u);
        QCOMPARE(tags::PaletteColors()[0].id, int(ID_COLOR_BLACK));
        for (int i = 0; i < 16; ++i) {
            const tags::PaletteColor& c = tags::PaletteColors()[i];
            QCOMPARE(tags::FixedColorCode(c.id), expected[i]);
            QCOMPARE(FormatColorCode(QColor::fromRgb(c.rgb)), expected[i]);
        }
        QCOMPARE(tags::FixedColorCode(ID_COLOR_CODE), QString());
        QCOMPARE(tags::FixedColorCode(ID_BOLD), QString());
    }

    void everyPaletteButtonReplacesTheSelectionWithItsCode() {
        QSignalSpy repaints(View(), &CEditorView::repaintRequested);
        CToolBar* bar = fx->Frame()->ColorBar();
        QVERIFY(bar);
        for (const tags::PaletteColor& color : tags::PaletteColors()) {
            SetText(u"ab 日本 cd"_s, 3, 5);
            QToolButton* button = bar->Button(color.id);
            QVERIFY(button);
            QVERIFY(button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
            const QString code = QString::fromLatin1(color.code);
            QCOMPARE(View()->GetWholeText(), u"ab "_s + code + u" cd"_s);
            QVERIFY(!View()->textCursor().hasSelection());
            QCOMPARE(View()->textCursor().position(), 3 + 7);
        }
        // At the caret, with nothing selected.
        SetText(u"xy"_s, 1, 1);
        QVERIFY(fx->Frame()->RouteCommand(ID_COLOR_NAVY));
        QCOMPARE(View()->GetWholeText(), u"x#000080y"_s);
        QCOMPARE(View()->textCursor().position(), 8);
        QCOMPARE(repaints.count(), 0);
        // Not an undo step.
        View()->undo();
        QCOMPARE(View()->GetWholeText(), u"x#000080y"_s);
    }

    void colorCodeCommandInsertsThePickOrNothing() {
        testing::FakeColorChooser chooser;
        QSignalSpy repaints(View(), &CEditorView::repaintRequested);
        chooser.answers << QColor(0, 0, 128) << std::nullopt << QColor(128, 0, 0);

        SetText(u"abc def"_s, 4, 7);
        QTest::mouseClick(fx->Frame()->ColorBar()->Button(ID_COLOR_CODE), Qt::LeftButton);
        QCOMPARE(View()->GetWholeText(), u"abc #000080"_s);
        QCOMPARE(View()->textCursor().position(), 11);
        // The chooser starts on black, owned by the active main window.
        QCOMPARE(chooser.initials.value(0), QColor(0, 0, 0));
        QCOMPARE(chooser.owners.value(0), fx->Frame());

        // Cancelled: text, selection and modified flag stay as they were.
        SetText(u"abc def"_s, 7, 4);
        QVERIFY(fx->Frame()->RouteCommand(ID_COLOR_CODE));
        QCOMPARE(View()->GetWholeText(), u"abc def"_s);
        QCOMPARE(View()->textCursor().anchor(), 7);
        QCOMPARE(View()->textCursor().position(), 4);
        QVERIFY(!fx->Doc()->IsModified());

        QVERIFY(fx->Frame()->RouteCommand(ID_COLOR_CODE));
        QCOMPARE(View()->GetWholeText(), u"abc #800000"_s);
        QCOMPARE(chooser.initials.size(), 3);
        QCOMPARE(repaints.count(), 0);
    }

    void realChooserConfirmedAndCancelled() {
        // Confirmed without touching it: black.
        QString title;
        QWidget* owner = nullptr;
        bool modal = false;
        QCOMPARE(RunChooser([&](QColorDialog* d) {
                     title = d->windowTitle();
                     owner = d->parentWidget();
                     modal = d->isModal();
                     QTest::mouseClick(DialogButton(d, QDialogButtonBox::Ok), Qt::LeftButton);
                 }),
                 u"#000000"_s);
        QCOMPARE(owner, fx->Frame());
        QVERIFY(modal);
        // In Japanese, as Qt's own translation has it.
        QCOMPARE(title, Tr("Select Color"));
        QVERIFY(title != u"Select Color"_s);

        // A typed colour whose red and blue differ comes back red first.
        QCOMPARE(RunChooser([](QColorDialog* d) {
                     TypeCode(d, u"#000080"_s);
                     QTest::mouseClick(DialogButton(d, QDialogButtonBox::Ok), Qt::LeftButton);
                 }),
                 u"#000080"_s);

        // Cancel button and Esc both give nothing.
        QCOMPARE(RunChooser([](QColorDialog* d) {
                     TypeCode(d, u"#123456"_s);
                     QTest::mouseClick(DialogButton(d, QDialogButtonBox::Cancel), Qt::LeftButton);
                 }),
                 QString());
        QCOMPARE(RunChooser([](QColorDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }),
                 QString());

        // Through the command, a cancelled chooser leaves the selection be.
        SetText(u"abc"_s, 1, 2);
        testing::WhenModalShows([](QWidget* m) {
            QTest::mouseClick(DialogButton(m, QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        QVERIFY(fx->Frame()->RouteCommand(ID_COLOR_CODE));
        QCOMPARE(View()->GetWholeText(), u"abc"_s);
        QCOMPARE(View()->GetSelectedText(), u"b"_s);
        testing::WhenModalShows([](QWidget* m) {
            TypeCode(m, u"#800000"_s);
            QTest::mouseClick(DialogButton(m, QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QVERIFY(fx->Frame()->RouteCommand(ID_COLOR_CODE));
        QCOMPARE(View()->GetWholeText(), u"a#800000c"_s);
    }

    void customColorIsOfferedAgainInTheNextRun() {
        // What other Qt programs stored as their custom colours stays.
        QSettings shared(QSettings::UserScope, u"QtProject"_s);
        shared.setValue(u"Qt/customColors/0"_s, 0xffff0000u);
        shared.sync();
        ResetCustomColors();
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QCOMPARE(QColorDialog::customColor(i), QColor(Qt::white));

        // From the palette: mix maroon, add it to the custom colours, cancel.
        testing::WhenModalShows([](QWidget* m) {
            TypeCode(m, u"#800000"_s);
            auto buttons = m->findChildren<QPushButton*>();
            for (QPushButton* b : buttons)
                if (b->text() == Tr("&Add to Custom Colors"))
                    QTest::mouseClick(b, Qt::LeftButton);
            QTest::mouseClick(DialogButton(m, QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        SetText(QString(), 0, 0);
        QVERIFY(fx->Frame()->RouteCommand(ID_COLOR_CODE));
        QCOMPARE(View()->GetWholeText(), QString());
        QCOMPARE(QColorDialog::customColor(0), QColor(128, 0, 0));

        // Another run (as a dialog's browse button does): the first custom
        // slot holds maroon; picking it gives its code.
        QCOMPARE(RunChooser([](QColorDialog* d) {
                     QWidget* custom = Labelled(d, Tr("&Custom colors"));
                     QVERIFY(custom);
                     QTest::mouseClick(custom, Qt::LeftButton, {}, QPoint(4, 4));
                     QTest::mouseClick(DialogButton(d, QDialogButtonBox::Ok), Qt::LeftButton);
                 }),
                 u"#800000"_s);
        ResetCustomColors();

        shared.sync();
        QStringList stored = shared.allKeys();
        stored.removeIf([](const QString& key) { return !key.startsWith(u"Qt/customColors"); });
        QCOMPARE(stored, QStringList{u"Qt/customColors/0"_s});
        QCOMPARE(shared.value(u"Qt/customColors/0"_s).toUInt(), 0xffff0000u);
    }
};

QTEST_MAIN(TestColors)
#include "tst_colors.moc"
