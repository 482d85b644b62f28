#include "support/TestSupport.h"

#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace testing {

namespace {
constexpr int kLoadWaitMs = 120000;
}

ScopedSettings::ScopedSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
}

ScopedSettings::~ScopedSettings() = default;

FakeUi::FakeUi() : m_previous(CUiServices::Set(this)) {}
FakeUi::~FakeUi() { CUiServices::Set(m_previous); }

CUiServices::Answer FakeUi::AskSaveChanges(const QString& text) {
    saveQuestions << text;
    return saveAnswers.isEmpty() ? Answer::Cancel : saveAnswers.dequeue();
}

bool FakeUi::AskWriteReferences(const QString& text) {
    referenceQuestions << text;
    return writeReferences;
}

CUiServices::RecoveryAnswer FakeUi::AskRecover(const QString& text) {
    recoverQuestions << text;
    return recoverAnswers.isEmpty() ? RecoveryAnswer::Keep : recoverAnswers.dequeue();
}

bool FakeUi::ConfirmDiscardRecovery(const QString& text) {
    discardQuestions << text;
    return !discardAnswers.isEmpty() && discardAnswers.dequeue();
}

bool FakeUi::AskOpenInUse(const QString& text) {
    inUseQuestions << text;
    return !inUseAnswers.isEmpty() && inUseAnswers.dequeue();
}

bool FakeUi::AskYesNo(const QString& text) {
    yesNoQuestions << text;
    if (whileAskingYesNo)
        whileAskingYesNo();
    return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
}

bool FakeUi::AskWriteAnyway(const QString& text) {
    writeAnywayQuestions << text;
    return writeAnyway;
}

std::optional<QString> FakeUi::ChooseFileToOpen(QWidget*) {
    ++openDialogs;
    return openPaths.isEmpty() ? std::nullopt : openPaths.dequeue();
}

std::optional<QString> FakeUi::ChooseDocumentToOpen(QWidget* owner) {
    return ChooseFileToOpen(owner);
}

std::optional<QString> FakeUi::ChooseFileToSaveAs(QWidget*, const QString& proposed) {
    proposedNames << proposed;
    return saveAsPaths.isEmpty() ? std::nullopt : saveAsPaths.dequeue();
}

FakeColorChooser::FakeColorChooser() : m_previous(CColorChooser::Set(this)) {}
FakeColorChooser::~FakeColorChooser() { CColorChooser::Set(m_previous); }

std::optional<QColor> FakeColorChooser::Choose(QWidget* owner, const QColor& initial) {
    owners << owner;
    initials << initial;
    return answers.isEmpty() ? std::nullopt : answers.dequeue();
}

AppFixture::AppFixture(const QStringList& arguments) { started = Start(arguments); }

AppFixture::~AppFixture() { Stop(); }

bool AppFixture::Start(const QStringList& arguments) {
    Stop();
    app = std::make_unique<CEditorApp>();
    // A file named on the command line loads in the event loop.
    auto goOn = std::make_shared<bool>(true);
    QObject::connect(app.get(), &CEditorApp::startupEnded, app.get(),
                     [goOn](bool on) { *goOn = on; });
    started = app->InitInstance(showSplash ? arguments : arguments + QStringList{u"-Embedding"_s});
    if (started && !QTest::qWaitFor([this] { return !app->IsStarting(); }, kLoadWaitMs))
        qFatal("the command line's file did not load");
    started = started && *goOn;
    if (started && Frame()) {
        started = QTest::qWaitForWindowExposed(Frame());
        Frame()->activateWindow();
        started = started && QTest::qWaitForWindowActive(Frame());
    }
    return started;
}

void AppFixture::Stop() {
    if (!app)
        return;
    if (started)
        app->ExitInstance();
    app.reset();
    started = false;
}

CDocumentLoad::Result WaitFor(CDocumentLoad* load) {
    if (!load)
        return CDocumentLoad::Result::Cancelled;
    auto result = std::make_shared<std::optional<CDocumentLoad::Result>>();
    QObject::connect(load, &CDocumentLoad::ended, load,
                     [result](CDocumentLoad::Result r) { *result = r; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, kLoadWaitMs))
        qFatal("a load did not end");
    return **result;
}

CDocumentLoad::Result Load(CEditorDoc& doc, const QString& path,
                           std::optional<io::Encoding> encoding) {
    return WaitFor(doc.StartLoad(path, encoding));
}

CEditorApp::OpenResult Open(CEditorApp& app, const QString& path) {
    auto result = std::make_shared<std::optional<CEditorApp::OpenResult>>();
    app.OpenDocumentFile(path, [result](CEditorApp::OpenResult r) { *result = r; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, kLoadWaitMs))
        qFatal("a file did not open");
    return **result;
}

CMainFrame* AppFixture::Frame() const { return app ? app->GetMainFrame() : nullptr; }
CEditorDoc* AppFixture::Doc() const { return app ? app->GetDocument() : nullptr; }
CEditorView* AppFixture::View() const { return app ? app->GetView() : nullptr; }

void Select(QPlainTextEdit* edit, int anchor, int position) {
    QTextCursor c = edit->textCursor();
    c.setPosition(anchor);
    c.setPosition(position, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
}

void Select(CEditorView* view, int anchor, int position) {
    Select(static_cast<QPlainTextEdit*>(view), view->PanePosition(anchor),
           view->PanePosition(position));
}

void SetText(CEditorView* view, const QString& text, int anchor, int position) {
    view->SetWholeText(text);
    Select(view, anchor, position);
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

void WhenModalShows(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace testing
