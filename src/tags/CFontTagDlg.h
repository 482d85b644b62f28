#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "tags/CTagDlg.h"

#include <memory>

namespace Ui {
class FontTagDlg;
}

// The FONT dialog: colour, size and face, each switched on by its check box.
class CFontTagDlg : public CTagDlg {
    Q_OBJECT

public:
    explicit CFontTagDlg(QWidget* parent = nullptr);
    ~CFontTagDlg() override;

    QString m_color;
    QString m_face;
    QString m_size;
    int m_useColor = 0;
    int m_useFace = 0;
    int m_useSize = 0;

protected:
    void DoDataExchange(bool save) override;

    void OnColorClicked();
    void OnSizeClicked();
    void OnFaceClicked();
    void OnBrowseColor();

private:
    std::unique_ptr<Ui::FontTagDlg> m_ui;
};
