#include "tags/CTableTagDlg.h"

#include "ui_TableTagDlg.h"

CTableTagDlg::CTableTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::TableTagDlg) {
    m_ui->setupUi(this);
    connect(m_ui->id1042, &QCheckBox::clicked, this, &CTableTagDlg::OnWidthClicked);
    connect(m_ui->id1043, &QCheckBox::clicked, this, &CTableTagDlg::OnBorderClicked);
    connect(m_ui->id1044, &QCheckBox::clicked, this, &CTableTagDlg::OnCellSpacingClicked);
    connect(m_ui->id1045, &QCheckBox::clicked, this, &CTableTagDlg::OnCellPaddingClicked);
    connect(m_ui->id1047, &QCheckBox::clicked, this, &CTableTagDlg::OnBorderColorClicked);
}

CTableTagDlg::~CTableTagDlg() = default;

void CTableTagDlg::DoDataExchange(bool save) {
    ExchangeText(m_ui->id1014, m_border, save);
    ExchangeCheck(m_ui->id1043, m_useBorder, save);
    ExchangeText(m_ui->id1017, m_borderColor, save);
    ExchangeCheck(m_ui->id1047, m_useBorderColor, save);
    ExchangeText(m_ui->id1016, m_cellPadding, save);
    ExchangeCheck(m_ui->id1045, m_useCellPadding, save);
    ExchangeText(m_ui->id1015, m_cellSpacing, save);
    ExchangeCheck(m_ui->id1044, m_useCellSpacing, save);
    ExchangeCheck(m_ui->id1042, m_useWidth, save);
    ExchangeText(m_ui->id1011, m_width, save);
}

void CTableTagDlg::OnWidthClicked() {
    m_ui->id1011->setEnabled(m_ui->id1042->isChecked());
}
void CTableTagDlg::OnBorderClicked() {
    m_ui->id1014->setEnabled(m_ui->id1043->isChecked());
}
void CTableTagDlg::OnCellSpacingClicked() {
    m_ui->id1015->setEnabled(m_ui->id1044->isChecked());
}
void CTableTagDlg::OnCellPaddingClicked() {
    m_ui->id1016->setEnabled(m_ui->id1045->isChecked());
}
void CTableTagDlg::OnBorderColorClicked() {
    m_ui->id1017->setEnabled(m_ui->id1047->isChecked());
}
