#include "app/AppIcon.h"
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/DesktopShell.h"
#include "res/CommandIds.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Records the addresses instead of opening them.
class FakeShell : public CDesktopShell {
public:
    FakeShell() : m_previous(CDesktopShell::Set(this)) {}
    ~FakeShell() override { CDesktopShell::Set(m_previous); }
    void Open(const QString& address) override { opened << address; }

    QStringList opened;

private:
    CDesktopShell* m_previous;
};

QLabel* LabelWithText(QWidget* dlg, const QString& text) {
    for (QLabel* label : dlg->findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

bool IsReservedExampleHost(const QString& host) {
    for (const QString& domain : {u"example.com"_s, u"example.org"_s, u"example.net"_s})
        if (host == domain || host.endsWith(u'.' + domain))
            return true;
    return false;
}

} // namespace

// The about box and its three buttons that hand addresses to the desktop.
class TestAboutBox : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::AppFixture> fx;
    std::unique_ptr<FakeShell> shell;

    // Runs the about command; `drive` gets the open box, which is closed
    // afterwards if it is still open. False when no about box opened.
    bool RunAbout(const std::function<void(QDialog*)>& drive) {
        bool opened = false;
        testing::WhenModalShows([&](QWidget* modal) {
            auto* dlg = qobject_cast<CAboutDlg*>(modal);
            if (!dlg) {
                modal->close();
                return;
            }
            opened = true;
            drive(dlg);
            if (dlg->isVisible())
                dlg->close();
        });
        return fx->Frame()->RouteCommand(ID_APP_ABOUT) && opened;
    }

private slots:
    void init() {
        shell = std::make_unique<FakeShell>();
        fx = std::make_unique<testing::AppFixture>();
        QVERIFY(fx->started);
    }

    void cleanup() {
        fx.reset();
        shell.reset();
    }

    void aboutCommandBelongsToTheApplicationAndIsEnabled() {
        QVERIFY(fx->Frame()->IsCommandEnabled(ID_APP_ABOUT));
        fx->Frame()->UpdateCommandUI();
        QVERIFY(fx->Frame()->Action(ID_APP_ABOUT)->isEnabled());
        // The menu item opens the box too.
        bool opened = false;
        testing::WhenModalShows([&](QWidget* modal) {
            opened = qobject_cast<CAboutDlg*>(modal) != nullptr;
            modal->close();
        });
        fx->Frame()->Action(ID_APP_ABOUT)->trigger();
        QVERIFY(opened);
    }

    void boxShowsNameVersionAndMakers() {
        QVERIFY(RunAbout([](QDialog* dlg) {
            QCOMPARE(dlg->windowTitle(), u"Velm HTML Editor のﾊﾞｰｼﾞｮﾝ情報"_s);
            QVERIFY(dlg->isModal());
            QVERIFY(dlg->windowFlags() & Qt::WindowSystemMenuHint);
            QVERIFY(dlg->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(dlg->windowFlags() & Qt::WindowContextHelpButtonHint));

            QLabel* version = LabelWithText(dlg, u"Velm HTML Editor version 0.53 Beta"_s);
            QVERIFY(version);
            QLabel* year = nullptr;
            for (QLabel* label : dlg->findChildren<QLabel*>())
                if (label->text().contains(u"2000"_s))
                    year = label;
            QVERIFY(year);
            QLabel* heading = LabelWithText(dlg, u"制作者"_s);
            QLabel* programming = LabelWithText(dlg, u"プログラミング"_s);
            QLabel* graphics = LabelWithText(dlg, u"グラフィックス"_s);
            QVERIFY(heading && programming && graphics);

            QLabel* icon = nullptr;
            for (QLabel* label : dlg->findChildren<QLabel*>())
                if (!label->pixmap().isNull())
                    icon = label;
            QVERIFY(icon);
            QCOMPARE(icon->pixmap().size(), QSize(32, 32));
            QCOMPARE(icon->pixmap().toImage(),
                     ApplicationIcon().pixmap(32, 32).toImage().convertToFormat(
                         icon->pixmap().toImage().format()));

            auto* ok = dlg->findChild<QPushButton*>(u"id1"_s);
            auto* home = dlg->findChild<QPushButton*>(u"id1022"_s);
            auto* mail = dlg->findChild<QPushButton*>(u"id1024"_s);
            auto* graphicsHome = dlg->findChild<QPushButton*>(u"id1023"_s);
            QVERIFY(ok && home && mail && graphicsHome);
            QCOMPARE(ok->text(), u"OK"_s);
            QVERIFY(ok->isDefault());
            QCOMPARE(home->text(), u"ホームページ"_s);
            QCOMPARE(graphicsHome->text(), u"ホームページ"_s);
            QCOMPARE(mail->text(), u"メール"_s);
            for (QPushButton* b : {ok, home, mail, graphicsHome})
                QVERIFY(!b->accessibleName().isEmpty());

            // Icon left of the version line, the year line below it, OK at
            // the top right; the heading, then the programming row (name,
            // home page, mail) above the graphics row.
            auto rect = [dlg](QWidget* w) { return QRect(w->mapTo(dlg, QPoint()), w->size()); };
            QVERIFY(rect(icon).right() < rect(version).left());
            QVERIFY(rect(version).bottom() <= rect(year).top());
            QVERIFY(rect(ok).left() > rect(version).right());
            QVERIFY(rect(ok).bottom() < rect(heading).top());
            QVERIFY(rect(year).bottom() < rect(heading).top());
            QVERIFY(rect(heading).bottom() < rect(programming).top());
            QVERIFY(rect(programming).bottom() < rect(graphics).top());
            const int programmingRow = rect(programming).center().y();
            for (QWidget* w : {static_cast<QWidget*>(home), static_cast<QWidget*>(mail)})
                QVERIFY(rect(w).top() <= programmingRow && programmingRow <= rect(w).bottom());
            QVERIFY(rect(programming).right() < rect(home).left());
            QVERIFY(rect(home).right() < rect(mail).left());
            const int graphicsRow = rect(graphics).center().y();
            QVERIFY(rect(graphicsHome).top() <= graphicsRow && graphicsRow <= rect(graphicsHome).bottom());
            QCOMPARE(rect(graphicsHome).left(), rect(home).left());
            // Everything fits inside the box.
            for (QWidget* w : dlg->findChildren<QWidget*>())
                if (w->isVisible())
                    QVERIFY2(dlg->rect().contains(rect(w)), qPrintable(w->objectName()));
        }));
    }

    void buttonsHandTheirAddressesToTheDesktopAndTheBoxStaysOpen() {
        QVERIFY(RunAbout([this](QDialog* dlg) {
            QTest::mouseClick(dlg->findChild<QPushButton*>(u"id1022"_s), Qt::LeftButton);
            QVERIFY(dlg->isVisible());
            QTest::mouseClick(dlg->findChild<QPushButton*>(u"id1024"_s), Qt::LeftButton);
            QTest::mouseClick(dlg->findChild<QPushButton*>(u"id1024"_s), Qt::LeftButton);
            QVERIFY(dlg->isVisible());
            QTest::mouseClick(dlg->findChild<QPushButton*>(u"id1023"_s), Qt::LeftButton);
            QVERIFY(dlg->isVisible());
        }));
        QCOMPARE(shell->opened.size(), 4);
        const QUrl home(shell->opened[0], QUrl::StrictMode);
        const QUrl mail(shell->opened[1], QUrl::StrictMode);
        const QUrl graphics(shell->opened[3], QUrl::StrictMode);
        // Clicking メール twice asks for two mail messages.
        QCOMPARE(shell->opened[2], shell->opened[1]);
        QVERIFY(home.isValid() && mail.isValid() && graphics.isValid());
        QVERIFY(home.scheme().startsWith(u"http"_s));
        QVERIFY(graphics.scheme().startsWith(u"http"_s));
        QCOMPARE(mail.scheme(), u"mailto"_s);
        QVERIFY(home != graphics);
        QVERIFY(IsReservedExampleHost(home.host()));
        QVERIFY(IsReservedExampleHost(graphics.host()));
        QVERIFY(IsReservedExampleHost(mail.path().section(u'@', 1)));
    }

    void enterRightAfterOpeningClosesTheBox() {
        bool closed = false;
        QVERIFY(RunAbout([&](QDialog* dlg) {
            auto* ok = dlg->findChild<QPushButton*>(u"id1"_s);
            QTRY_COMPARE(QApplication::focusWidget(), ok);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            closed = !dlg->isVisible();
        }));
        QVERIFY(closed);
        QVERIFY(shell->opened.isEmpty());
    }

    void escAndCloseBoxCloseTheBox() {
        bool closed = false;
        QVERIFY(RunAbout([&](QDialog* dlg) {
            QTRY_VERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            closed = !dlg->isVisible();
        }));
        QVERIFY(closed);
        closed = false;
        QVERIFY(RunAbout([&](QDialog* dlg) {
            dlg->close();
            closed = !dlg->isVisible();
        }));
        QVERIFY(closed);
        QVERIFY(shell->opened.isEmpty());
    }

    void applicationIconCarriesEverySize() {
        const QIcon icon = QApplication::windowIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 32, 48, 64, 128, 256})
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
        QVERIFY(!fx->Frame()->windowIcon().isNull());
    }
};

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
