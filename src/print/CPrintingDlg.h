#pragma once

// print: printing, the print layout, print preview, the printing box and the
// printer services. May include find, doc, io and res.

#include "print/PrintLayout.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PrintingDlg;
}

// The box shown while a job prints: the document, the printer, where it goes
// and the page being printed, with a button that stops the job after the
// page in progress. It keeps the rest of the program waiting.
class CPrintingDlg : public QDialog, public print::CPrintMonitor {
    Q_OBJECT

public:
    explicit CPrintingDlg(QWidget* parent);
    ~CPrintingDlg() override;

    // `port` may be empty: that line stays empty.
    void SetJob(const QString& documentName, const QString& printerName, const QString& port);

    // Shows the page number, lets waiting events (a click on ｷｬﾝｾﾙ) through
    // and tells whether to go on.
    bool StartingPage(int page) override;

    bool IsCancelled() const { return m_cancelled; }

    // The page line as shown.
    QString PageText() const;

signals:
    // Before the events are let through for page `page`.
    void pageStarting(int page);

public slots:
    // ｷｬﾝｾﾙ, Esc and the close box stop the job; the box stays until it ends.
    void reject() override;

private:
    std::unique_ptr<Ui::PrintingDlg> m_ui;
    bool m_cancelled = false;
};
