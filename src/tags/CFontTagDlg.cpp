#include "tags/CFontTagDlg.h"

#include "tags/ColorCode.h"

#include "ui_FontTagDlg.h"

CFontTagDlg::CFontTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::FontTagDlg) {
    m_ui->setupUi(this);
    connect(m_ui->id1035, &QCheckBox::clicked, this, &CFontTagDlg::OnColorClicked);
    connect(m_ui->id1036, &QCheckBox::clicked, this, &CFontTagDlg::OnSizeClicked);
    connect(m_ui->id1038, &QCheckBox::clicked, this, &CFontTagDlg::OnFaceClicked);
    connect(m_ui->id1004, &QPushButton::clicked, this, &CFontTagDlg::OnBrowseColor);
}

CFontTagDlg::~CFontTagDlg() = default;

void CFontTagDlg::DoDataExchange(bool save) {
    ExchangeText(m_ui->id1001, m_color, save);
    ExchangeText(m_ui->id1003, m_face, save);
    ExchangeText(m_ui->id1002, m_size, save);
    ExchangeCheck(m_ui->id1035, m_useColor, save);
    ExchangeCheck(m_ui->id1038, m_useFace, save);
    ExchangeCheck(m_ui->id1036, m_useSize, save);
}

void CFontTagDlg::OnColorClicked() {
    const bool on = m_ui->id1035->isChecked();
    m_ui->id1001->setEnabled(on);
    m_ui->id1004->setEnabled(on);
}

void CFontTagDlg::OnSizeClicked() {
    m_ui->id1002->setEnabled(m_ui->id1036->isChecked());
}

void CFontTagDlg::OnFaceClicked() {
    m_ui->id1003->setEnabled(m_ui->id1038->isChecked());
}

void CFontTagDlg::OnBrowseColor() {
    // A cancelled chooser empties the field.
    const QString code = PickColorCode();
    m_ui->id1001->setText(code);
    if (!code.isEmpty())
        m_color = code;
}
