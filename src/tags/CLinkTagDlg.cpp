#include "tags/CLinkTagDlg.h"

#include "ui_LinkTagDlg.h"

CLinkTagDlg::CLinkTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::LinkTagDlg) {
    m_ui->setupUi(this);
    connect(m_ui->id1030, &QCheckBox::clicked, this, &CLinkTagDlg::OnTargetClicked);
}

CLinkTagDlg::~CLinkTagDlg() = default;

void CLinkTagDlg::DoDataExchange(bool save) {
    ExchangeText(m_ui->id1027, m_location, save);
    ExchangeText(m_ui->id1006, m_text, save);
    ExchangeText(m_ui->id1029, m_target, save);
    ExchangeCheck(m_ui->id1030, m_useTarget, save);
}

void CLinkTagDlg::OnTargetClicked() {
    m_ui->id1029->setEnabled(m_ui->id1030->isChecked());
}
