#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class HrTagDlg;
}

// The HR dialog: size, and an optional width.
class CHrTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CHrTagDlg(QWidget* parent = nullptr);
    ~CHrTagDlg() override;

    int m_useWidth = 0;
    QString m_width;
    QString m_size;

protected:
    void DoDataExchange(bool save) override;

    void OnWidthClicked();

private:
    std::unique_ptr<Ui::HrTagDlg> m_ui;
};
