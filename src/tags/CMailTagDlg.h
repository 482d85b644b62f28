#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class MailTagDlg;
}

// The mailto dialog: the address and the link text.
class CMailTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CMailTagDlg(QWidget* parent = nullptr);
    ~CMailTagDlg() override;

    QString m_address;
    QString m_text;

protected:
    void DoDataExchange(bool save) override;

private:
    std::unique_ptr<Ui::MailTagDlg> m_ui;
};
