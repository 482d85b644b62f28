#include "doc/UiServices.h"

#include "res/StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>

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

QFileDialog* NewFileDialog(QWidget* owner) {
    auto* dialog = new QFileDialog(owner);
    // The widget-based dialog speaks the program's language and honours the
    // filters below on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::ApplicationModal);
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

bool CDesktopUiServices::AskWriteReferences(const QString& text) {
    QMessageBox box(QMessageBox::Warning, AppTitle(), text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QPushButton* write =
        box.addButton(res::LoadString(res::IDS_WRITE_REFERENCES), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == write;
}

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
    QFileDialog* dialog = NewFileDialog(owner);
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
