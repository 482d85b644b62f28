#pragma once

#include "app/CEditorApp.h"
#include "doc/CEditorDoc.h"
#include "doc/UiServices.h"
#include "tags/ColorCode.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QQueue>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

class CEditorApp;
class CEditorDoc;
class CEditorView;
class CMainFrame;

class QPlainTextEdit;

namespace testing {

// The settings store lives in a fresh temporary folder while this exists.
class ScopedSettings {
public:
    ScopedSettings();
    ~ScopedSettings();
    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Message boxes and file dialogs answered by the test, every question kept.
class FakeUi : public CUiServices {
public:
    FakeUi();
    ~FakeUi() override;

    void Warning(const QString& text) override { warnings << text; }
    void Information(const QString& text) override { informations << text; }
    Answer AskSaveChanges(const QString& text) override;
    bool AskWriteReferences(const QString& text) override;
    RecoveryAnswer AskRecover(const QString& text) override;
    bool ConfirmDiscardRecovery(const QString& text) override;
    bool AskOpenInUse(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    bool AskWriteAnyway(const QString& text) override;
    std::optional<QString> ChooseFileToOpen(QWidget* owner) override;
    std::optional<QString> ChooseDocumentToOpen(QWidget* owner) override;
    std::optional<QString> ChooseFileToSaveAs(QWidget* owner, const QString& proposed) override;

    QStringList warnings;
    QStringList informations;
    QStringList saveQuestions;
    QStringList referenceQuestions;
    QStringList yesNoQuestions;
    QStringList writeAnywayQuestions;
    QStringList proposedNames;
    QStringList recoverQuestions;
    QStringList discardQuestions;
    QStringList inUseQuestions;
    int openDialogs = 0;

    QQueue<Answer> saveAnswers;              // default: Cancel
    QQueue<std::optional<QString>> openPaths; // default: cancelled
    QQueue<std::optional<QString>> saveAsPaths;
    bool writeReferences = false;
    QQueue<RecoveryAnswer> recoverAnswers; // default: Keep
    QQueue<bool> discardAnswers;           // default: no
    QQueue<bool> inUseAnswers;             // default: no
    QQueue<bool> yesNoAnswers; // default: no
    std::function<void()> whileAskingYesNo; // runs while a yes/no box is up
    bool writeAnyway = false;

private:
    CUiServices* m_previous;
};

// A colour chooser answered by the test.
class FakeColorChooser : public CColorChooser {
public:
    FakeColorChooser();
    ~FakeColorChooser() override;
    std::optional<QColor> Choose(QWidget* owner, const QColor& initial) override;

    QQueue<std::optional<QColor>> answers; // default: cancelled
    QList<QColor> initials;
    QList<QWidget*> owners;

private:
    CColorChooser* m_previous;
};

// A started program with its own settings and answered dialogs.
class AppFixture {
public:
    explicit AppFixture(const QStringList& arguments = {});
    ~AppFixture();

    // Without it the program starts as with "-Embedding": no splash screen
    // takes the first key or click. Set it, then Start(), to get one.
    bool showSplash = false;
    bool started = false;
    ScopedSettings settings;
    FakeUi ui;
    std::unique_ptr<CEditorApp> app;

    CMainFrame* Frame() const;
    CEditorDoc* Doc() const;
    CEditorView* View() const;
    // Starts (again) with these arguments, after the previous run has ended.
    bool Start(const QStringList& arguments);
    void Stop();
};

// Waits until `load` has ended (null: Cancelled at once); a load that does
// not end within two minutes ends the test.
CDocumentLoad::Result WaitFor(CDocumentLoad* load);
// Reads `path` into `doc`, waited for.
CDocumentLoad::Result Load(CEditorDoc& doc, const QString& path,
                           std::optional<io::Encoding> encoding = std::nullopt);
// CEditorApp::OpenDocumentFile, waited for.
CEditorApp::OpenResult Open(CEditorApp& app, const QString& path);

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);

// Selects from `anchor` to `position` (the caret) in `edit`.
void Select(QPlainTextEdit* edit, int anchor, int position);
// The same in the pane, positions counted in its whole text (GetWholeText).
void Select(CEditorView* view, int anchor, int position);
// Gives the pane `text` and selects from `anchor` to `position` in it.
void SetText(CEditorView* view, const QString& text, int anchor, int position);

// Runs `action` on the modal widget that the next call opens.
void WhenModalShows(std::function<void(QWidget*)> action);

} // namespace testing
