#pragma once

// find: plain-string search and the find/replace dialogs and commands.
// May include doc, io and res.

#include "find/FindText.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class FindDlg;
class ReplaceDlg;
} // namespace Ui

// The modeless find dialog (template 1540) or replace dialog (template 1541).
// It only gathers the search and tells what was asked for; the pane does the
// searching.
class CFindReplaceDlg : public QDialog {
    Q_OBJECT

public:
    CFindReplaceDlg(bool findOnly, QWidget* parent);
    ~CFindReplaceDlg() override;

    bool IsFindOnly() const { return m_findUi != nullptr; }

    // The search as the controls show it. The replace dialog always searches
    // downwards.
    find::FindOptions Options() const;
    QString ReplaceWith() const;

    // Fills the controls; the search string is selected.
    void SetOptions(const find::FindOptions& options, const QString& replaceWith);

signals:
    void findNextClicked();
    void replaceClicked();
    void replaceAllClicked();

private:
    void UpdateButtons();

    std::unique_ptr<Ui::FindDlg> m_findUi;
    std::unique_ptr<Ui::ReplaceDlg> m_replaceUi;
    QLineEdit* m_findWhat = nullptr;
    QLineEdit* m_replaceWith = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QRadioButton* m_up = nullptr;
    QRadioButton* m_down = nullptr;
    QPushButton* m_findNext = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_replaceAll = nullptr;
};
