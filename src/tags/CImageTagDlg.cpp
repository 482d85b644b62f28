#include "tags/CImageTagDlg.h"

#include "ui_ImageTagDlg.h"

CImageTagDlg::CImageTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::ImageTagDlg) {
    m_ui->setupUi(this);
    connect(m_ui->id1013, &QCheckBox::clicked, this, &CImageTagDlg::OnSizeClicked);
    connect(m_ui->id1014, &QCheckBox::clicked, this, &CImageTagDlg::OnBorderClicked);
}

CImageTagDlg::~CImageTagDlg() = default;

void CImageTagDlg::DoDataExchange(bool save) {
    ExchangeText(m_ui->id1010, m_height, save);
    ExchangeText(m_ui->id1012, m_border, save);
    ExchangeCheck(m_ui->id1014, m_useBorder, save);
    ExchangeText(m_ui->id1006, m_location, save);
    ExchangeCheck(m_ui->id1013, m_useSize, save);
    ExchangeText(m_ui->id1011, m_width, save);
}

void CImageTagDlg::OnSizeClicked() {
    const bool on = m_ui->id1013->isChecked();
    m_ui->id1010->setEnabled(on);
    m_ui->id1011->setEnabled(on);
}

void CImageTagDlg::OnBorderClicked() {
    m_ui->id1012->setEnabled(m_ui->id1014->isChecked());
}
