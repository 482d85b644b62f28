#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDlg;
}

// The about box: name, version and makers of the program, with buttons that
// open the makers' home pages and a mail message to the programmer. It stays
// open while the desktop handles an address.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    void OnProgrammerHomePage(); // 1022
    void OnProgrammerMail();     // 1024
    void OnGraphicsHomePage();   // 1023

private:
    std::unique_ptr<Ui::AboutDlg> m_ui;
};
