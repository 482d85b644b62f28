#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class LinkTagDlg;
}

// The anchor dialog: location, link text and an optional target frame.
class CLinkTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CLinkTagDlg(QWidget* parent = nullptr);
    ~CLinkTagDlg() override;

    QString m_location;
    QString m_text;
    QString m_target;
    int m_useTarget = 0;

protected:
    void DoDataExchange(bool save) override;

    void OnTargetClicked();

private:
    std::unique_ptr<Ui::LinkTagDlg> m_ui;
};
