#include "app/CAboutDlg.h"

#include "app/DesktopShell.h"
#include "res/StringTable.h"

#include "ui_AboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDlg>()) {
    m_ui->setupUi(this);
    // Title bar with the system menu and a close box; no minimise, maximise
    // or help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    connect(m_ui->id1022, &QPushButton::clicked, this, &CAboutDlg::OnProgrammerHomePage);
    connect(m_ui->id1024, &QPushButton::clicked, this, &CAboutDlg::OnProgrammerMail);
    connect(m_ui->id1023, &QPushButton::clicked, this, &CAboutDlg::OnGraphicsHomePage);
    // Enter right after opening presses OK.
    m_ui->id1->setFocus(Qt::OtherFocusReason);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::OnProgrammerHomePage() {
    CDesktopShell::Get().Open(res::LoadString(res::IDS_ABOUT_HOME_PAGE));
}

void CAboutDlg::OnProgrammerMail() { CDesktopShell::Get().Open(res::LoadString(res::IDS_ABOUT_MAIL)); }

void CAboutDlg::OnGraphicsHomePage() {
    CDesktopShell::Get().Open(res::LoadString(res::IDS_ABOUT_GRAPHICS_PAGE));
}
