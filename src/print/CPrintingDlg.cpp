#include "print/CPrintingDlg.h"

#include "res/StringTable.h"

#include "ui_PrintingDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>

CPrintingDlg::CPrintingDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::PrintingDlg>()) {
    m_ui->setupUi(this);
    setWindowTitle(res::LoadString(res::IDS_APP_TITLE));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setWindowModality(Qt::ApplicationModal);
    connect(m_ui->id2, &QPushButton::clicked, this, &CPrintingDlg::reject);
}

CPrintingDlg::~CPrintingDlg() = default;

void CPrintingDlg::SetJob(const QString& documentName, const QString& printerName,
                          const QString& port) {
    m_ui->id1101->setText(documentName);
    m_ui->id1102->setText(printerName);
    m_ui->id1103->setText(port.isEmpty() ? QString()
                                         : res::LoadString(res::IDS_PRINT_PORT).arg(port));
}

bool CPrintingDlg::StartingPage(int page) {
    m_ui->id1104->setText(
        print::FormatUnsigned(res::LoadString(res::IDS_PRINT_PAGE), {unsigned(page)}));
    emit pageStarting(page);
    QCoreApplication::processEvents();
    return !m_cancelled;
}

QString CPrintingDlg::PageText() const {
    return m_ui->id1104->text();
}

void CPrintingDlg::reject() {
    m_cancelled = true;
    m_ui->id2->setEnabled(false);
}
