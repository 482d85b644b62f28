#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class TableTagDlg;
}

// The TABLE dialog: five attributes, each switched on by its check box.
class CTableTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CTableTagDlg(QWidget* parent = nullptr);
    ~CTableTagDlg() override;

    QString m_border;
    int m_useBorder = 0;
    QString m_borderColor;
    int m_useBorderColor = 0;
    QString m_cellPadding;
    int m_useCellPadding = 0;
    QString m_cellSpacing;
    int m_useCellSpacing = 0;
    int m_useWidth = 0;
    QString m_width;

protected:
    void DoDataExchange(bool save) override;

    void OnWidthClicked();
    void OnBorderClicked();
    void OnCellSpacingClicked();
    void OnCellPaddingClicked();
    void OnBorderColorClicked();

private:
    std::unique_ptr<Ui::TableTagDlg> m_ui;
};
