#include "doc/UiServices.h"

#include "res/StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

CDesktopUiServices g_desktop;
CUiServices* g_current = &g_desktop;

QString AppTitle() { return res::LoadString(res::IDS_APP_TITLE); }

std::optional<QString> RunFileDialog(QFileDialog* dialog) {
    std::unique_ptr<QFileDialog> owned(dialog);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

// The Save As dialog: a typed path whose folder does not exist is refused,
// and the dialog stays open.
class SaveAsDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo chosen(files.constFirst());
            if (!chosen.exists() && !chosen.absoluteDir().exists()) {
                CUiServices::Get().Warning(
                    res::LoadString(res::IDP_FILE_BAD_PATH)
                        .arg(QDir::toNativeSeparators(chosen.absoluteFilePath())));
                return;
            }
        }
        QFileDialog::accept();
    }
};

QFileDialog* NewFileDialog(QWidget* owner, QFileDialog* dialog = nullptr) {
    if (!dialog)
        dialog = new QFileDialog(owner);
    // The widget-based dialog speaks the program's language and honours the
    // filters below on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::ApplicationModal);
    // Size, type and date columns as wide as what they show.
    auto* tree = dialog->findChild<QTreeView*>(u"treeView"_s);
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (tree && model)
        QObject::connect(model, &QFileSystemModel::directoryLoaded, tree, [tree] {
            for (int column = 1; column < tree->header()->count(); ++column)
                tree->resizeColumnToContents(column);
        });
    const QSize size = dialog->sizeHint();
    dialog->resize(qMax(size.width(), 780), qMax(size.height(), 460));
    return dialog;
}

} // namespace

CUiServices::~CUiServices() = default;

CUiServices& CUiServices::Get() { return *g_current; }

CUiServices* CUiServices::Set(CUiServices* services) {
    CUiServices* previous = g_current;
    g_current = services ? services : &g_desktop;
    return previous;
}

void CDesktopUiServices::Warning(const QString& text) {
    QMessageBox::warning(QApplication::activeWindow(), AppTitle(), text);
}

void CDesktopUiServices::Information(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), AppTitle(), text);
}

CUiServices::Answer CDesktopUiServices::AskSaveChanges(const QString& text) {
    const auto button = QMessageBox::warning(
        QApplication::activeWindow(), AppTitle(), text,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes)
        return Answer::Yes;
    if (button == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

namespace {

// A warning with one button that goes ahead (labelled `accept`) and Cancel,
// which is the default.
bool AskGoAhead(const QString& text, int accept) {
    QMessageBox box(QMessageBox::Warning, AppTitle(), text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QPushButton* write = box.addButton(res::LoadString(accept), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == write;
}

} // namespace

bool CDesktopUiServices::AskWriteReferences(const QString& text) {
    return AskGoAhead(text, res::IDS_WRITE_REFERENCES);
}

bool CDesktopUiServices::AskWriteAnyway(const QString& text) {
    return AskGoAhead(text, res::IDS_WRITE_ANYWAY);
}

bool CDesktopUiServices::AskYesNo(const QString& text) {
    return QMessageBox::warning(QApplication::activeWindow(), AppTitle(), text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

CUiServices::RecoveryAnswer CDesktopUiServices::AskRecover(const QString& text) {
    QMessageBox box(QMessageBox::Warning, AppTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    QPushButton* discard =
        box.addButton(res::LoadString(res::IDS_RECOVER_DISCARD), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    const int result = box.exec();
    if (box.clickedButton() == discard)
        return RecoveryAnswer::Discard;
    return result == QMessageBox::Yes ? RecoveryAnswer::Recover : RecoveryAnswer::Keep;
}

bool CDesktopUiServices::ConfirmDiscardRecovery(const QString& text) { return AskYesNo(text); }

bool CDesktopUiServices::AskOpenInUse(const QString& text) { return AskYesNo(text); }

std::optional<QString> CDesktopUiServices::ChooseFileToOpen(QWidget* owner) {
    return RunFileDialog(MakeOpenFileDialog(owner));
}

std::optional<QString> CDesktopUiServices::ChooseDocumentToOpen(QWidget* owner) {
    return RunFileDialog(MakeDocumentOpenDialog(owner));
}

std::optional<QString> CDesktopUiServices::ChooseFileToSaveAs(QWidget* owner,
                                                              const QString& proposed) {
    return RunFileDialog(MakeSaveAsDialog(owner, proposed));
}

void SetFileDialogFilters(QFileDialog* dialog, const std::vector<FileFilter>& filters) {
    QStringList names;
    for (const auto& f : filters)
        names << f.first;
    dialog->setNameFilters(names);
    auto* model = dialog->findChild<QFileSystemModel*>();
    auto* combo = dialog->findChild<QComboBox*>(u"fileTypeCombo"_s);
    if (!model || !combo)
        return;
    // The dialog reads patterns out of the names and splits them at spaces
    // only; put the real patterns in place after it has applied its own.
    auto apply = [model, filters](int index) {
        if (index >= 0 && index < int(filters.size()))
            model->setNameFilters(filters[index].second);
    };
    QObject::connect(combo, &QComboBox::currentIndexChanged, dialog, apply,
                     Qt::QueuedConnection);
    apply(combo->currentIndex());
}

QFileDialog* MakeOpenFileDialog(QWidget* owner) {
    QFileDialog* dialog = NewFileDialog(owner);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // A name typed by hand goes to the open operation even if no such file
    // exists; the open operation reports it.
    dialog->setFileMode(QFileDialog::AnyFile);
    SetFileDialogFilters(dialog,
                         {{res::LoadString(res::IDS_OPEN_FILTER_HTML), {u"*.html"_s, u"*.htm"_s}},
                          {res::LoadString(res::IDS_OPEN_FILTER_ALL), {u"*"_s}}});
    return dialog;
}

QFileDialog* MakeDocumentOpenDialog(QWidget* owner) {
    QFileDialog* dialog = NewFileDialog(owner);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    SetFileDialogFilters(dialog, {{res::StringField(res::IDR_MAINFRAME, 3),
                                   {u"*"_s + res::StringField(res::IDR_MAINFRAME, 4)}},
                                  {res::LoadString(res::IDS_ALL_FILTER), {u"*"_s}}});
    return dialog;
}

QFileDialog* MakeSaveAsDialog(QWidget* owner, const QString& proposed) {
    QFileDialog* dialog = NewFileDialog(owner, new SaveAsDialog(owner));
    dialog->setWindowTitle(res::LoadString(res::IDS_SAVEFILE_TITLE));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    const QString extension = res::StringField(res::IDR_MAINFRAME, 4); // ".html"
    dialog->setDefaultSuffix(extension.mid(1));
    SetFileDialogFilters(dialog, {{res::StringField(res::IDR_MAINFRAME, 3), {u"*"_s + extension}},
                                  {res::LoadString(res::IDS_ALL_FILTER), {u"*"_s}}});
    if (!proposed.isEmpty())
        dialog->selectFile(proposed);
    return dialog;
}
