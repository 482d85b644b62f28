#include "tags/CHrTagDlg.h"

#include "ui_HrTagDlg.h"

CHrTagDlg::CHrTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::HrTagDlg) {
    m_ui->setupUi(this);
    connect(m_ui->id1021, &QCheckBox::clicked, this, &CHrTagDlg::OnWidthClicked);
}

CHrTagDlg::~CHrTagDlg() = default;

void CHrTagDlg::DoDataExchange(bool save) {
    ExchangeCheck(m_ui->id1021, m_useWidth, save);
    ExchangeText(m_ui->id1020, m_width, save);
    ExchangeText(m_ui->id1019, m_size, save);
}

void CHrTagDlg::OnWidthClicked() {
    m_ui->id1020->setEnabled(m_ui->id1021->isChecked());
}
