#pragma once

// dict: the tag dictionary and its dialog and command.
// May include print, find, doc, io and res.

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class TagDictionaryDlg;
}

// The tag dictionary's dialog: the selected text, the matching tag form and
// the description. Its fields are written into the controls when it opens
// and read back when it closes with OK; every field can be typed into.
class CTagDictionaryDlg : public QDialog {
    Q_OBJECT

public:
    explicit CTagDictionaryDlg(QWidget* parent = nullptr);
    ~CTagDictionaryDlg() override;

    // Writes the fields into the controls and runs the dialog modally.
    int exec() override;
    // Reads the controls back into the fields, then closes with OK.
    void accept() override;

    QString m_tag;
    QString m_selectedText;
    QString m_description;

protected:
    // Fields to controls (`save` false) or controls to fields (`save` true).
    void DoDataExchange(bool save);

private:
    std::unique_ptr<Ui::TagDictionaryDlg> m_ui;
};
