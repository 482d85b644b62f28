#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class HtmlTagDlg;
}

// The page skeleton dialog: an optional DOCTYPE line, the BODY's background
// colour or image, and its text and link colours.
class CHtmlTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CHtmlTagDlg(QWidget* parent = nullptr);
    ~CHtmlTagDlg() override;

    QString m_background;
    QString m_alinkColor;
    QString m_linkColor;
    QString m_textColor;
    QString m_vlinkColor;
    int m_useImage = 0;
    QString m_doctype;
    int m_useDoctype = 0;

protected:
    void DoDataExchange(bool save) override;

    void OnDoctypeClicked();
    void OnBackgroundImageClicked();
    void OnBrowseBackground();
    void OnBrowseText();
    void OnBrowseLink();
    void OnBrowseVlink();
    void OnBrowseAlink();

private:
    std::unique_ptr<Ui::HtmlTagDlg> m_ui;
};
