#pragma once

// doc: the document, the editing pane, its load, routing, the
// seams to the user. May include pane, io and res.

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

class QFileDialog;
class QWidget;

// The modal boxes and file dialogs through which the document and the
// application talk to the user. Tests put their own in place.
class CUiServices {
public:
    enum class Answer { Yes, No, Cancel };
    // The recovery question: restore, keep the journal for later, or discard.
    enum class RecoveryAnswer { Recover, Keep, Discard };

    virtual ~CUiServices();

    // A warning box titled with the application title and an OK button.
    virtual void Warning(const QString& text) = 0;
    // An information box titled with the application title.
    virtual void Information(const QString& text) = 0;
    // The save question: yes, no or cancel.
    virtual Answer AskSaveChanges(const QString& text) = 0;
    // Whether characters that cannot be written may go out as references.
    virtual bool AskWriteReferences(const QString& text) = 0;
    // Whether to restore unsaved changes found in a recovery journal (はい /
    // いいえ / 破棄).
    virtual RecoveryAnswer AskRecover(const QString& text) = 0;
    // Whether a recovery journal may really be deleted.
    virtual bool ConfirmDiscardRecovery(const QString& text) = 0;
    // Whether to open a file that another window is editing.
    virtual bool AskOpenInUse(const QString& text) = 0;
    // A question answered with yes (true) or no.
    virtual bool AskYesNo(const QString& text) = 0;
    // Whether text that will read back differently may be written anyway.
    virtual bool AskWriteAnyway(const QString& text) = 0;
    // The program's File Open dialog; nothing when cancelled.
    virtual std::optional<QString> ChooseFileToOpen(QWidget* owner) = 0;
    // The framework's open dialog for the document type.
    virtual std::optional<QString> ChooseDocumentToOpen(QWidget* owner) = 0;
    // The Save As dialog, proposing `proposed`; nothing when cancelled.
    virtual std::optional<QString> ChooseFileToSaveAs(QWidget* owner, const QString& proposed) = 0;

    static CUiServices& Get();
    // Installs `services` (not owned) and returns the previous ones.
    static CUiServices* Set(CUiServices* services);
};

// The services shown to a person: message boxes and file dialogs.
class CDesktopUiServices : public CUiServices {
public:
    void Warning(const QString& text) override;
    void Information(const QString& text) override;
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
};

// A file dialog filter: the name shown and the patterns it really applies.
// The names are shown exactly as given, whatever patterns they mention.
using FileFilter = std::pair<QString, QStringList>;

void SetFileDialogFilters(QFileDialog* dialog, const std::vector<FileFilter>& filters);

// The dialogs as the desktop services configure them (the caller owns them).
QFileDialog* MakeOpenFileDialog(QWidget* owner);
QFileDialog* MakeDocumentOpenDialog(QWidget* owner);
QFileDialog* MakeSaveAsDialog(QWidget* owner, const QString& proposed);
