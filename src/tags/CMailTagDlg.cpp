#include "tags/CMailTagDlg.h"

#include "ui_MailTagDlg.h"

CMailTagDlg::CMailTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::MailTagDlg) {
    m_ui->setupUi(this);
}

CMailTagDlg::~CMailTagDlg() = default;

void CMailTagDlg::DoDataExchange(bool save) {
    ExchangeText(m_ui->id1005, m_address, save);
    ExchangeText(m_ui->id1006, m_text, save);
}
