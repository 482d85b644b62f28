#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include <QDialog>
#include <QHash>

class QAbstractButton;
class QComboBox;
class QLineEdit;

// What every tag dialog shares: a modal tool window whose fields are written
// into the controls when it opens and read back, disabled controls included,
// when it closes with OK. A dialog class adds its data exchange and its
// click handlers.
class CTagDlg : public QDialog {
    Q_OBJECT

public:
    ~CTagDlg() override;

    // Writes the fields into the controls and runs the dialog modally.
    int exec() override;
    // Reads every control back into its field, then closes with OK.
    void accept() override;

protected:
    explicit CTagDlg(QWidget* parent);

    // Fields to controls (`save` false) or controls to fields (`save` true).
    virtual void DoDataExchange(bool save) = 0;

    // A single-line field. Text of any length; line breaks in the value are
    // shown as marks and come back unchanged.
    void ExchangeText(QLineEdit* edit, QString& value, bool save);
    // The edit part of an editable combo box; no list entry is selected
    // when the value is written.
    void ExchangeText(QComboBox* combo, QString& value, bool save);
    // A check box as 0 (unchecked) or 1 (checked).
    static void ExchangeCheck(QAbstractButton* box, int& state, bool save);

private:
    void FocusFirstControl();

    struct Shown {
        QString shown;
        QChar mark;
    };
    QHash<const QLineEdit*, Shown> m_shown;
};
