#include "tags/CHtmlTagDlg.h"

#include "res/StringTable.h"
#include "tags/ColorCode.h"

#include "ui_HtmlTagDlg.h"

#include <QFontMetrics>

#include <algorithm>

CHtmlTagDlg::CHtmlTagDlg(QWidget* parent) : CTagDlg(parent), m_ui(new Ui::HtmlTagDlg) {
    m_ui->setupUi(this);
    // Room for either label, so the fields do not move when it switches.
    const QFontMetrics metrics = m_ui->id1016->fontMetrics();
    m_ui->id1016->setMinimumWidth(
        std::max(metrics.horizontalAdvance(res::LoadString(res::IDS_LABEL_BGCOLOR)),
                 metrics.horizontalAdvance(res::LoadString(res::IDS_LABEL_BACKGROUND))));
    connect(m_ui->id1037, &QCheckBox::clicked, this, &CHtmlTagDlg::OnDoctypeClicked);
    connect(m_ui->id1015, &QCheckBox::clicked, this, &CHtmlTagDlg::OnBackgroundImageClicked);
    connect(m_ui->id1008, &QPushButton::clicked, this, &CHtmlTagDlg::OnBrowseBackground);
    connect(m_ui->id1007, &QPushButton::clicked, this, &CHtmlTagDlg::OnBrowseText);
    connect(m_ui->id1009, &QPushButton::clicked, this, &CHtmlTagDlg::OnBrowseLink);
    connect(m_ui->id1010, &QPushButton::clicked, this, &CHtmlTagDlg::OnBrowseVlink);
    connect(m_ui->id1011, &QPushButton::clicked, this, &CHtmlTagDlg::OnBrowseAlink);
}

CHtmlTagDlg::~CHtmlTagDlg() = default;

void CHtmlTagDlg::DoDataExchange(bool save) {
    ExchangeText(m_ui->id1017, m_background, save);
    ExchangeText(m_ui->id1006, m_alinkColor, save);
    ExchangeText(m_ui->id1003, m_linkColor, save);
    ExchangeText(m_ui->id1002, m_textColor, save);
    ExchangeText(m_ui->id1005, m_vlinkColor, save);
    ExchangeCheck(m_ui->id1015, m_useImage, save);
    ExchangeText(m_ui->id1036, m_doctype, save);
    ExchangeCheck(m_ui->id1037, m_useDoctype, save);
}

void CHtmlTagDlg::OnDoctypeClicked() {
    m_ui->id1036->setEnabled(m_ui->id1037->isChecked());
}

void CHtmlTagDlg::OnBackgroundImageClicked() {
    // One field holds the colour or the image; only its label changes.
    const bool image = m_ui->id1015->isChecked();
    const QString label =
        res::LoadString(image ? res::IDS_LABEL_BACKGROUND : res::IDS_LABEL_BGCOLOR);
    m_ui->id1016->setText(label);
    m_ui->id1017->setAccessibleName(label);
    m_ui->id1008->setEnabled(!image);
}

// A cancelled chooser empties the field.
void CHtmlTagDlg::OnBrowseBackground() {
    m_ui->id1017->setText(PickColorCode());
}
void CHtmlTagDlg::OnBrowseText() {
    m_ui->id1002->setText(PickColorCode());
}
void CHtmlTagDlg::OnBrowseLink() {
    m_ui->id1003->setText(PickColorCode());
}
void CHtmlTagDlg::OnBrowseVlink() {
    m_ui->id1005->setText(PickColorCode());
}
void CHtmlTagDlg::OnBrowseAlink() {
    m_ui->id1006->setText(PickColorCode());
}
