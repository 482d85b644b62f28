#include "dict/CTagDictionaryDlg.h"

#include "ui_TagDictionaryDlg.h"

#include <limits>

CTagDictionaryDlg::CTagDictionaryDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TagDictionaryDlg>()) {
    m_ui->setupUi(this);
    // Narrow caption with a close box; no minimise or maximise.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    // A field takes text of any length.
    m_ui->id1031->setMaxLength(std::numeric_limits<int>::max());
    m_ui->id1033->setMaxLength(std::numeric_limits<int>::max());
}

CTagDictionaryDlg::~CTagDictionaryDlg() = default;

int CTagDictionaryDlg::exec() {
    DoDataExchange(false);
    m_ui->id1->setFocus(Qt::OtherFocusReason);
    return QDialog::exec();
}

void CTagDictionaryDlg::accept() {
    DoDataExchange(true);
    QDialog::accept();
}

void CTagDictionaryDlg::DoDataExchange(bool save) {
    if (save) {
        m_tag = m_ui->id1033->text();
        m_selectedText = m_ui->id1031->text();
        m_description = m_ui->id1034->toPlainText();
        return;
    }
    // The selection goes in exactly as it is, line breaks included.
    m_ui->id1033->setText(m_tag);
    m_ui->id1033->setCursorPosition(0);
    m_ui->id1031->setText(m_selectedText);
    m_ui->id1031->setCursorPosition(0);
    m_ui->id1034->setPlainText(m_description);
}
