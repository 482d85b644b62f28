#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class ImageTagDlg;
}

// The IMG dialog: location, optional height and width, optional border.
class CImageTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CImageTagDlg(QWidget* parent = nullptr);
    ~CImageTagDlg() override;

    QString m_height;
    QString m_border;
    int m_useBorder = 0;
    QString m_location;
    int m_useSize = 0;
    QString m_width;

protected:
    void DoDataExchange(bool save) override;

    void OnSizeClicked();
    void OnBorderClicked();

private:
    std::unique_ptr<Ui::ImageTagDlg> m_ui;
};
