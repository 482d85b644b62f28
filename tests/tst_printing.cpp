#include "app/CEditorApp.h"
#include "app/CMainFrame.h"
#include "app/Platform.h"
#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"
#include "print/CPrintPreview.h"
#include "print/CPrintingDlg.h"
#include "print/PrintLayout.h"
#include "print/PrintServices.h"
#include "print/Printing.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "support/TestSupport.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QQueue>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Printers that are PDF files in a folder of the test, and dialogs answered
// by the test. No test reaches a real printer.
class FakePrintServices : public CPrintServices {
public:
    FakePrintServices() : m_previous(CPrintServices::Set(this)) {}
    ~FakePrintServices() override { CPrintServices::Set(m_previous); }

    QStringList PrinterNames() override { return printers; }
    QString DefaultPrinterName() override { return defaultPrinter; }
    void SelectPrinter(QPrinter& printer, const QString& name) override {
        selected << name;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder + u'/' + name + u".pdf"_s);
    }
    bool RunPrintDialog(QPrinter& printer, QWidget*, bool hasSelection) override {
        selectionOffered << hasSelection;
        return onPrintDialog ? onPrintDialog(printer) : false;
    }
    bool RunPrintSetupDialog(QPrinter& printer, QWidget*) override {
        ++setupDialogs;
        return onSetup ? onSetup(printer) : false;
    }
    std::optional<QString> ChoosePrintFile(QWidget*, const QString& proposed) override {
        proposedFiles << proposed;
        return printFiles.isEmpty() ? std::nullopt : printFiles.dequeue();
    }

    QString folder;
    QStringList printers;
    QString defaultPrinter;
    QStringList selected;
    QList<bool> selectionOffered;
    std::function<bool(QPrinter&)> onPrintDialog; // default: cancelled
    int setupDialogs = 0;
    std::function<bool(QPrinter&)> onSetup;
    QStringList proposedFiles;
    QQueue<std::optional<QString>> printFiles; // default: cancelled

private:
    CPrintServices* m_previous;
};

// The print dialog confirmed with "print to file" chosen.
bool ToFile(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    return true;
}

// Watches for the printing box: what it shows when it appears, and
// optionally ｷｬﾝｾﾙ clicked when page `cancelAtPage` is about to print.
class BoxWatcher : public QObject {
public:
    explicit BoxWatcher(int cancelAtPage = 0) : m_cancelAt(cancelAtPage) {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, &BoxWatcher::Poll);
        m_timer.start();
    }
    QStringList texts; // title, document, printer, port, page
    QList<int> pages;

private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<CPrintingDlg*>(w);
            if (!box || !box->isVisible())
                continue;
            m_timer.stop();
            auto label = [box](const char* name) {
                return box->findChild<QLabel*>(QLatin1StringView(name))->text();
            };
            texts = {box->windowTitle(),     label("id1101"),
                     label("id1102"),        label("id1103"),
                     box->PageText(),        box->findChild<QPushButton*>(u"id2"_s)->text(),
                     label("labelPrinting"), label("labelTo")};
            pages << 1;
            connect(box, &CPrintingDlg::pageStarting, this, [this, box](int page) {
                pages << page;
                if (page == m_cancelAt && !box->IsCancelled())
                    QTest::mouseClick(box->findChild<QPushButton*>(u"id2"_s), Qt::LeftButton);
            });
            return;
        }
    }
    QTimer m_timer;
    int m_cancelAt;
};

// A monitor that records the pages and may stop the job.
class PageRecorder : public print::CPrintMonitor {
public:
    bool StartingPage(int page) override {
        pages << page;
        return stopAt == 0 || int(pages.size()) < stopAt;
    }
    QList<int> pages;
    int stopAt = 0; // stop before the stopAt-th page
};

int PdfPageCount(const QString& path) {
    const QByteArray pdf = testing::ReadBytes(path);
    if (!pdf.startsWith("%PDF"))
        return -1;
    return int(QString::fromLatin1(pdf).count(QRegularExpression(u"/Type\\s*/Page(?!s)"_s)));
}

QString Lines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << u"<P>行 %1 の本文 line %1 with enough words to wrap: "_s.arg(i) +
                     QString(60, u'x') + u" end</P>"_s;
    return lines.join(u"\r\n"_s);
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    return printer;
}

} // namespace

// Printing, the printing box, printer setup, the print switches of the
// command line and print preview.
class TestPrinting : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakePrintServices> services;
    std::unique_ptr<testing::AppFixture> fx;

    QString Path(const QString& name) const { return dir->filePath(name); }
    CEditorView* View() const { return fx->View(); }
    CMainFrame* Frame() const { return fx->Frame(); }
    CPrintPreview* Preview() const { return Frame()->findChild<CPrintPreview*>(); }

    template <typename T> T* PreviewControl(const char* name) const {
        return Preview()->findChild<T*>(QLatin1StringView(name));
    }

    void Start(const QStringList& args = {u"-Embedding"_s}) {
        fx = std::make_unique<testing::AppFixture>(args);
    }

    void SetText(const QString& text) {
        View()->SetWholeText(text);
        View()->document()->setModified(false);
    }

private slots:
    void initTestCase() { platform::Initialize(); }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        services = std::make_unique<FakePrintServices>();
        services->folder = dir->path();
    }

    void cleanup() {
        fx.reset();
        services.reset();
        dir.reset();
    }

    void textsOfPrinting() {
        QCOMPARE(print::FormatUnsigned(res::LoadString(res::IDS_PRINT_PAGE), {12}), u"ﾍﾟｰｼﾞ 12"_s);
        QCOMPARE(print::FormatUnsigned(res::LoadString(res::IDS_PREVIEW_TWO_PAGE_NUMBERS), {3, 4}),
                 u"ﾍﾟｰｼﾞ 3-4"_s);
        QCOMPARE(print::FormatUnsigned(u"%u%% %u"_s, {1}), u"1%% %u"_s);
        const std::vector<FileFilter> filters =
            ParseFilterString(res::LoadString(res::IDS_PRINT_FILE_FILTER));
        QCOMPARE(filters.size(), size_t(2));
        QCOMPARE(filters[0].first, u"ﾌﾟﾘﾝﾀ ﾌｧｲﾙ (*.prn)"_s);
        QCOMPARE(filters[0].second, QStringList{u"*.prn"_s});
        QCOMPARE(filters[1].first, u"すべてのﾌｧｲﾙ (*.*)"_s);
        QCOMPARE(filters[1].second, QStringList{u"*"_s}); // every file, with a dot or not
    }

    void printFileDialog() {
        std::unique_ptr<QFileDialog> dialog(MakePrintFileDialog(nullptr, u"Output.prn"_s));
        QCOMPARE(dialog->windowTitle(), u"ﾌｧｲﾙへ出力"_s);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->defaultSuffix(), u"prn"_s);
        QCOMPARE(dialog->nameFilters(),
                 (QStringList{u"ﾌﾟﾘﾝﾀ ﾌｧｲﾙ (*.prn)"_s, u"すべてのﾌｧｲﾙ (*.*)"_s}));
        QVERIFY(dialog->selectedFiles().value(0).endsWith(u"/Output.prn"_s));
    }

    void printDialogLeavesTheFileToItsOwnQuestion() {
        QPrinter printer(QPrinter::HighResolution);
        std::unique_ptr<QPrintDialog> dialog(MakePrintDialog(printer, nullptr, true));
        QVERIFY(dialog->testOption(QAbstractPrintDialog::PrintSelection));
        QVERIFY(dialog->testOption(QAbstractPrintDialog::PrintPageRange));
        QVERIFY(dialog->testOption(QAbstractPrintDialog::PrintToFile));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        auto* printers = dialog->findChild<QComboBox*>(u"printers"_s);
        QVERIFY(printers);
        for (int i = 0; i < printers->count(); ++i) {
            printers->setCurrentIndex(i); // "print to file" among them
            for (const char* name : {"filename", "fileBrowser", "lOutput"}) {
                QWidget* w = dialog->findChild<QWidget*>(QLatin1StringView(name));
                QVERIFY(w);
                QVERIFY2(!w->isVisible(), name);
            }
        }
        dialog->hide();
        std::unique_ptr<QPrintDialog> plain(MakePrintDialog(printer, nullptr, false));
        QVERIFY(!plain->testOption(QAbstractPrintDialog::PrintSelection));
    }

    void layoutKeepsTheMarginsAndWholeLines() {
        Start();
        auto printer = PdfPrinter(Path(u"unused.pdf"_s));
        const QString text = Lines(200).replace(u"\r\n"_s, QString(QChar::ParagraphSeparator));
        const auto layout = print::LayoutOf(View(), text, printer.get());
        // A4 at 1200 dots per inch; 720 twips are 600 dots.
        QCOMPARE(printer->resolution(), 1200);
        const QRectF paper = layout->PaperRect();
        // (A4 as whole points: 595 by 842.)
        QCOMPARE(qRound(paper.width()), qRound(595 / 72.0 * 1200));
        QCOMPARE(qRound(paper.height()), qRound(842 / 72.0 * 1200));
        QCOMPARE(layout->BodyRect(), paper.adjusted(600, 600, -600, -600));
        QVERIFY(layout->PageCount() > 2);

        // Every line lies on one page, inside the text area; the last one is
        // on the last page.
        const QTextDocument& doc = layout->Document();
        const qreal height = layout->BodyRect().height();
        int lastPage = 0;
        int wrapped = 0;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            const QRectF r = doc.documentLayout()->blockBoundingRect(b);
            wrapped += b.layout()->lineCount() > 1;
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine line = b.layout()->lineAt(i);
                const qreal top = r.top() + line.y();
                const int page = int((top + 0.5) / height);
                QVERIFY2(
                    int((top + line.height() - 0.5) / height) == page,
                    qPrintable(u"block %1 line %2 crosses a page"_s.arg(b.blockNumber()).arg(i)));
                QVERIFY(line.naturalTextWidth() <= layout->BodyRect().width() + 0.5);
                lastPage = page + 1;
            }
        }
        QCOMPARE(lastPage, layout->PageCount());
        QCOMPARE(wrapped, 200); // long lines wrap at the page width
    }

    void printerMarginsWiderThanTheViewsWin() {
        Start();
        auto printer = PdfPrinter(Path(u"unused.pdf"_s));
        printer->setPageMargins(QMarginsF(30, 20, 25, 40), QPageLayout::Millimeter);
        const auto layout = print::LayoutOf(View(), u"x"_s, printer.get());
        const QRectF body = layout->BodyRect();
        // Within a point (17 dots): the page layout keeps whole points.
        const auto near = [](qreal dots, qreal mm) { return qAbs(dots - mm * 1200 / 25.4) < 17; };
        QVERIFY(near(body.left(), 30));
        QVERIFY(near(body.top(), 20));
        QVERIFY(near(layout->PaperRect().right() - body.right(), 25));
        QVERIFY(near(layout->PaperRect().bottom() - body.bottom(), 40));
        // A painter opened on the printer starts at the printable area.
        QCOMPARE(layout->PaperOrigin(), -body.topLeft());
    }

    void renderedPagesStayInsideTheMargins() {
        Start();
        auto printer = PdfPrinter(Path(u"unused.pdf"_s));
        const auto layout = print::LayoutOf(View(), Lines(120), printer.get());
        QVERIFY(layout->PageCount() >= 2);
        // Each page drawn at a tenth of its size: 120 dots per inch, so the
        // margins are 60 dots.
        for (int page = 1; page <= layout->PageCount(); ++page) {
            QImage image((layout->PaperRect().size() / 10).toSize(), QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter p(&image);
                p.scale(0.1, 0.1);
                layout->RenderPage(&p, page);
            }
            QRect ink;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qGray(image.pixel(x, y)) < 160)
                        ink |= QRect(x, y, 1, 1);
            QVERIFY(!ink.isEmpty());
            QVERIFY2(ink.left() >= 59 && ink.left() <= 64, qPrintable(QString::number(ink.left())));
            QVERIFY2(ink.top() >= 59 && ink.top() <= 66, qPrintable(QString::number(ink.top())));
            QVERIFY(ink.right() <= image.width() - 60);
            QVERIFY(ink.bottom() <= image.height() - 60);
        }
    }

    void printingToAFile() {
        Start();
        SetText(Lines(150));
        services->onPrintDialog = ToFile;
        services->printFiles << Path(u"job.prn"_s);
        BoxWatcher watcher;
        QVERIFY(Frame()->IsCommandEnabled(ID_FILE_PRINT));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(services->selectionOffered, QList<bool>{false});
        QCOMPARE(services->proposedFiles, QStringList{u"Output.prn"_s});
        QVERIFY(fx->ui.warnings.isEmpty());
        // The file holds the pages the layout counts.
        QPrinter& printer = print::SessionPrinter(Frame());
        const int pages = print::LayoutOf(View(), View()->GetWholeText(), &printer)->PageCount();
        QVERIFY(pages > 1);
        QCOMPARE(PdfPageCount(Path(u"job.prn"_s)), pages);
        // The box as it showed the first page.
        QCOMPARE(watcher.texts, (QStringList{u"Velm HTML Editor"_s, u"無題"_s, u"PDF ファイル"_s,
                                             Path(u"job.prn"_s) + u" へ"_s, u"ﾍﾟｰｼﾞ 1"_s,
                                             u"ｷｬﾝｾﾙ"_s, u"印刷中"_s, u"を"_s}));
        QCOMPARE(watcher.pages.size(), pages);
        // Printing changes nothing in the document.
        QVERIFY(!fx->Doc()->IsModified());
    }

    void printedTextReadBackFromThePdf() {
        const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Start();
        SetText(Lines(100));
        services->onPrintDialog = ToFile;
        services->printFiles << Path(u"read.prn"_s);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QProcess process;
        process.start(pdftotext, {u"-bbox"_s, Path(u"read.prn"_s), u"-"_s});
        QVERIFY(process.waitForFinished(60000));
        const QString html = QString::fromUtf8(process.readAllStandardOutput());
        // Every word inside 36 points (12.7 mm) of each edge of A4.
        static const QRegularExpression word(
            uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"_s);
        int words = 0;
        QStringList numbers;
        for (auto it = word.globalMatch(html); it.hasNext();) {
            const auto m = it.next();
            ++words;
            QVERIFY2(m.captured(1).toDouble() >= 35.5 && m.captured(2).toDouble() >= 35.5 &&
                         m.captured(3).toDouble() <= 595 - 35.5 &&
                         m.captured(4).toDouble() <= 842 - 35.5,
                     qPrintable(m.captured(0)));
            if (m.captured(5) == u"line"_s)
                numbers << u"next"_s;
            else if (!numbers.isEmpty() && numbers.last() == u"next"_s)
                numbers.last() = m.captured(5);
        }
        QVERIFY(words > 100);
        // Each line printed once, in order, none lost at the page breaks.
        QStringList expected;
        for (int i = 1; i <= 100; ++i)
            expected << QString::number(i);
        QCOMPARE(numbers, expected);
        QCOMPARE(html.count(u"<page "_s), PdfPageCount(Path(u"read.prn"_s)));
    }

    void cancelledDialogsPrintNothing() {
        Start();
        SetText(Lines(5));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT)); // the print dialog cancelled
        QVERIFY(services->proposedFiles.isEmpty());
        services->onPrintDialog = ToFile; // the file question cancelled
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(services->proposedFiles.size(), 1);
        QVERIFY(QDir(dir->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(fx->ui.warnings.isEmpty());
    }

    void cancelStopsAfterThePageInProgress() {
        Start();
        SetText(Lines(150));
        services->onPrintDialog = ToFile;
        services->printFiles << Path(u"cancel.prn"_s);
        BoxWatcher watcher(2);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(watcher.pages, (QList<int>{1, 2}));
        QCOMPARE(PdfPageCount(Path(u"cancel.prn"_s)), 1);
        QVERIFY(fx->ui.warnings.isEmpty()); // the user's own choice: nothing to report
        // The box is gone; the program goes on.
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<CPrintingDlg*>(w) || !w->isVisible());
    }

    void failuresAreReported() {
        Start();
        SetText(Lines(3));
        services->onPrintDialog = ToFile;
        services->printFiles << Path(u"no/such/folder/x.prn"_s);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(fx->ui.warnings,
                 QStringList{res::LoadString(res::IDP_PRINT_FAILED).arg(u"無題"_s)});
        // A page range beyond the document.
        services->onPrintDialog = [](QPrinter& printer) {
            ToFile(printer);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(5, 6);
            return true;
        };
        services->printFiles << Path(u"range.prn"_s);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(fx->ui.warnings.size(), 2);
        QCOMPARE(fx->ui.warnings.last(), res::LoadString(res::IDP_PRINT_NO_PAGES));
        QVERIFY(!QFile::exists(Path(u"range.prn"_s)));
    }

    void pageRangeCopiesAndOrder() {
        Start();
        const QString text = Lines(200);
        auto run = [&](const QString& name, auto setUp, PageRecorder& recorder) {
            auto printer = PdfPrinter(Path(name));
            setUp(*printer);
            const auto layout = print::LayoutOf(View(), text, printer.get());
            return print::PrintPages(*printer, *layout, &recorder);
        };
        const auto range = [](int copies, bool collate) {
            return [copies, collate](QPrinter& p) {
                p.setPrintRange(QPrinter::PageRange);
                p.setFromTo(2, 3);
                p.setCopyCount(copies);
                p.setCollateCopies(collate);
            };
        };
        PageRecorder a, b, c, d, e;
        QCOMPARE(run(u"a.pdf"_s, range(2, false), a), print::PrintOutcome::Printed);
        QCOMPARE(a.pages, (QList<int>{2, 2, 3, 3}));
        QCOMPARE(PdfPageCount(Path(u"a.pdf"_s)), 4);
        QCOMPARE(run(u"b.pdf"_s, range(2, true), b), print::PrintOutcome::Printed);
        QCOMPARE(b.pages, (QList<int>{2, 3, 2, 3}));
        const auto reversed = [](QPrinter& p) { p.setPageOrder(QPrinter::LastPageFirst); };
        QCOMPARE(run(u"c.pdf"_s, reversed, c), print::PrintOutcome::Printed);
        QCOMPARE(c.pages.size(), PdfPageCount(Path(u"c.pdf"_s)));
        QCOMPARE(c.pages.first(), c.pages.size());
        QCOMPARE(c.pages.last(), 1);
        // Stopped before the first page: no job at all.
        d.stopAt = 1;
        QCOMPARE(run(
                     u"d.pdf"_s, [](QPrinter&) {}, d),
                 print::PrintOutcome::Cancelled);
        QVERIFY(!QFile::exists(Path(u"d.pdf"_s)));
        e.stopAt = 3;
        QCOMPARE(run(
                     u"e.pdf"_s, [](QPrinter&) {}, e),
                 print::PrintOutcome::Cancelled);
        QCOMPARE(PdfPageCount(Path(u"e.pdf"_s)), 2);
    }

    void printingTheSelection() {
        Start();
        SetText(Lines(150));
        QTextCursor c = View()->textCursor();
        c.setPosition(0);
        c.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
        View()->setTextCursor(c);
        services->onPrintDialog = [](QPrinter& printer) {
            ToFile(printer);
            printer.setPrintRange(QPrinter::Selection);
            return true;
        };
        services->printFiles << Path(u"sel.prn"_s);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(services->selectionOffered, QList<bool>{true});
        QCOMPARE(PdfPageCount(Path(u"sel.prn"_s)), 1);
        // Without a selection the next job prints everything again.
        View()->moveCursor(QTextCursor::End);
        services->printFiles << Path(u"all.prn"_s);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT));
        QCOMPARE(services->selectionOffered.last(), false);
        QVERIFY(PdfPageCount(Path(u"all.prn"_s)) > 1);
    }

    void commandLinePrintsAndEnds() {
        const QString file = Path(u"page.html"_s);
        testing::WriteBytes(file, Lines(60).toLatin1()); // only the ASCII matters here
        services->printers = {u"Office"_s, u"Lab"_s};
        services->defaultPrinter = u"Office"_s;
        {
            testing::AppFixture f({u"-p"_s, file});
            QVERIFY(!f.started); // the program ends after printing
            QCOMPARE(f.app->ExitCode(), 0);
            QVERIFY(f.ui.warnings.isEmpty());
            QCOMPARE(services->selected, QStringList{u"Office"_s});
            QVERIFY(PdfPageCount(Path(u"Office.pdf"_s)) >= 1);
            QVERIFY(!f.Frame()->isVisible());
        }
        {
            BoxWatcher watcher;
            testing::AppFixture f({u"/pt"_s, file, u"Lab"_s, u"driver"_s, u"LPT1:"_s});
            QVERIFY(!f.started);
            QCOMPARE(f.app->ExitCode(), 0);
            QCOMPARE(services->selected.last(), u"Lab"_s);
            QVERIFY(PdfPageCount(Path(u"Lab.pdf"_s)) >= 1);
            QCOMPARE(watcher.texts.mid(1, 3),
                     (QStringList{u"page.html"_s, u"Lab"_s, u"LPT1: へ"_s}));
        }
    }

    void commandLineWithoutThePrinterFails() {
        const QString file = Path(u"page.html"_s);
        testing::WriteBytes(file, "<P>x</P>");
        {
            testing::AppFixture f({u"-p"_s, file}); // no printer at all
            QVERIFY(!f.started);
            QCOMPARE(f.app->ExitCode(), 1);
            QCOMPARE(f.ui.warnings, QStringList{res::LoadString(res::IDP_NO_PRINTER)});
        }
        services->printers = {u"Office"_s};
        {
            testing::AppFixture f({u"-pt"_s, file, u"Missing"_s, u"drv"_s, u"port"_s});
            QVERIFY(!f.started);
            QCOMPARE(f.app->ExitCode(), 1);
            QCOMPARE(f.ui.warnings,
                     QStringList{res::LoadString(res::IDP_PRINTER_NOT_FOUND).arg(u"Missing"_s)});
        }
        {
            testing::AppFixture f({u"-p"_s, file}); // printers, but no default one
            QCOMPARE(f.app->ExitCode(), 1);
            QCOMPARE(f.ui.warnings, QStringList{res::LoadString(res::IDP_NO_DEFAULT_PRINTER)});
        }
        QVERIFY(services->selected.isEmpty());
        QVERIFY(!QFile::exists(Path(u"Office.pdf"_s)));
    }

    void printerSetupIsTheApplicationsAndShapesThePages() {
        Start();
        SetText(Lines(10));
        services->onSetup = [](QPrinter& printer) {
            printer.setPageOrientation(QPageLayout::Landscape);
            return true;
        };
        QVERIFY(Frame()->IsCommandEnabled(ID_FILE_PRINT_SETUP));
        QVERIFY(fx->app->HasCommand(ID_FILE_PRINT_SETUP));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_SETUP));
        QCOMPARE(services->setupDialogs, 1);
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        QVERIFY(Preview());
        const QRectF paper = Preview()->Layout().PaperRect();
        QVERIFY(paper.width() > paper.height());
        // Setup from within the preview lays the pages out anew.
        services->onSetup = [](QPrinter& printer) {
            printer.setPageOrientation(QPageLayout::Portrait);
            return true;
        };
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_SETUP));
        QCOMPARE(services->setupDialogs, 2);
        QVERIFY(Preview()->Layout().PaperRect().width() < Preview()->Layout().PaperRect().height());
    }

    void previewStateRules() {
        print::PreviewState s;
        s.pageCount = 5;
        QCOMPARE(s.StatusText(), u"ﾍﾟｰｼﾞ 1"_s);
        QCOMPARE(s.ToggleText(), u"2 ﾍﾟｰｼﾞ(&T)"_s);
        QVERIFY(!s.CanGoPrevious());
        s.Toggle();
        QCOMPARE(s.pages, 2);
        QCOMPARE(s.StatusText(), u"ﾍﾟｰｼﾞ 1-2"_s);
        QCOMPARE(s.ToggleText(), u"1 ﾍﾟｰｼﾞ(&O)"_s);
        for (int i = 0; i < 10; ++i)
            s.Next();
        QCOMPARE(s.StatusText(), u"ﾍﾟｰｼﾞ 4-5"_s);
        QVERIFY(!s.CanGoNext());
        s.Toggle();
        s.Next();
        QCOMPARE(s.StatusText(), u"ﾍﾟｰｼﾞ 5"_s);
        s.Toggle(); // two pages at the end show the last two
        QCOMPARE(s.StatusText(), u"ﾍﾟｰｼﾞ 4-5"_s);
        // Zoomed in, one page and no toggle.
        s.zoom = 1;
        QCOMPARE(s.StatusText(), u"ﾍﾟｰｼﾞ 4"_s);
        QVERIFY(!s.CanToggle());
        QVERIFY(s.CanGoNext());
        // One page in all: the toggle only goes back to one page.
        print::PreviewState one;
        QVERIFY(!one.CanToggle());
        one.pages = 2;
        QVERIFY(one.CanToggle());
        QCOMPARE(one.StatusText(), u"ﾍﾟｰｼﾞ 1"_s);
    }

    void previewTakesThePanesPlaceAndGivesItBack() {
        Start();
        SetText(Lines(150));
        QTextCursor c = View()->textCursor();
        c.setPosition(40);
        c.setPosition(60, QTextCursor::KeepAnchor);
        View()->setTextCursor(c);
        View()->ReplaceSelection(u"<B>"_s, true);
        c.setPosition(100);
        c.setPosition(120, QTextCursor::KeepAnchor);
        View()->setTextCursor(c);
        Frame()->layout()->activate(); // the window's layout settles first
        View()->verticalScrollBar()->setValue(View()->verticalScrollBar()->maximum() / 2);
        const QString text = View()->GetWholeText();
        // Where the pane shows its text: the character at its top left.
        const auto topLeft = [this] { return View()->cursorForPosition(QPoint(0, 0)).position(); };
        const int top = topLeft();
        QVERIFY(top > 1000);

        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        CPrintPreview* preview = Preview();
        QVERIFY(preview);
        // The pane stays in its place, covered and shut to input.
        QCOMPARE(Frame()->centralWidget(), View());
        QVERIFY(!View()->isEnabled());
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->geometry(), View()->geometry());
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 1"_s);
        const QStringList buttons = {u"id58116"_s, u"id58114"_s, u"id58115"_s, u"id58113"_s,
                                     u"id58117"_s, u"id58118"_s, u"id58112"_s};
        QStringList texts;
        for (const QString& name : buttons)
            texts << preview->findChild<QPushButton*>(name)->text();
        QCOMPARE(texts,
                 (QStringList{u"印刷(&P)..."_s, u"次ﾍﾟｰｼﾞ(&N)"_s, u"前ﾍﾟｰｼﾞ(&V)"_s,
                              u"2 ﾍﾟｰｼﾞ(&T)"_s, u"拡大(&I)"_s, u"縮小(&O)"_s, u"閉じる(&C)"_s}));
        QVERIFY(!PreviewControl<QPushButton>("id58115")->isEnabled());
        QVERIFY(!PreviewControl<QPushButton>("id58118")->isEnabled());

        // Nothing reaches the hidden pane.
        for (int id : {int(ID_EDIT_PASTE), int(ID_EDIT_UNDO), int(ID_EDIT_CUT), int(ID_BOLD),
                       int(ID_LINE_BREAK), int(ID_EDIT_REPLACE), int(ID_EDIT_SELECT_ALL),
                       int(ID_FILE_PRINT_PREVIEW)})
            QVERIFY2(!Frame()->IsCommandEnabled(id), qPrintable(QString::number(id)));
        QVERIFY(!Frame()->RouteCommand(ID_LINE_BREAK));
        QVERIFY(!Frame()->RouteCommand(ID_EDIT_UNDO));
        QVERIFY(Frame()->IsCommandEnabled(ID_FILE_SAVE_AS) ||
                Frame()->IsCommandEnabled(ID_FILE_SAVE));
        QCOMPARE(View()->GetWholeText(), text);

        // Page Down, Page Up and the buttons.
        QWidget* area = preview->findChild<QWidget*>(u"previewPages"_s);
        QVERIFY(area->hasFocus());
        QTest::keyClick(Frame()->windowHandle(), Qt::Key_PageDown);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 2"_s);
        QTest::keyClick(Frame()->windowHandle(), Qt::Key_PageUp);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 1"_s);
        QTest::mouseClick(PreviewControl<QPushButton>("id58114"), Qt::LeftButton);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 2"_s);
        QTest::mouseClick(PreviewControl<QPushButton>("id58113"), Qt::LeftButton);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 2-3"_s);
        QCOMPARE(PreviewControl<QPushButton>("id58113")->text(), u"1 ﾍﾟｰｼﾞ(&O)"_s);
        // A menu's prompt comes and goes; the page numbers stay.
        QStatusTipEvent tip(u"作業中のﾌｧｲﾙを印刷"_s);
        QApplication::sendEvent(Frame(), &tip);
        QCOMPARE(Frame()->MessageText(), u"作業中のﾌｧｲﾙを印刷"_s);
        QStatusTipEvent none{QString()};
        QApplication::sendEvent(Frame(), &none);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 2-3"_s);

        // Zoomed in: one larger page, scrolled.
        QTest::mouseClick(PreviewControl<QPushButton>("id58117"), Qt::LeftButton);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 2"_s);
        QVERIFY(!PreviewControl<QPushButton>("id58113")->isEnabled());
        QVERIFY(PreviewControl<QPushButton>("id58118")->isEnabled());
        auto* scrolled = preview->findChild<QScrollArea*>(u"previewScroll"_s);
        QVERIFY(area->minimumHeight() > scrolled->viewport()->height());
        QTest::mouseClick(PreviewControl<QPushButton>("id58117"), Qt::LeftButton);
        QVERIFY(!PreviewControl<QPushButton>("id58117")->isEnabled());
        QTest::mouseClick(PreviewControl<QPushButton>("id58118"), Qt::LeftButton);
        QTest::mouseClick(PreviewControl<QPushButton>("id58118"), Qt::LeftButton);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 2-3"_s);

        // Esc closes it: the pane comes back as it was.
        QTest::keyClick(Frame()->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!Preview());
        QCOMPARE(Frame()->centralWidget(), View());
        QVERIFY(View()->isVisible());
        QVERIFY(View()->isEnabled());
        QCOMPARE(View()->GetWholeText(), text);
        QCOMPARE(View()->textCursor().selectionStart(), 100);
        QCOMPARE(View()->textCursor().selectionEnd(), 120);
        QCOMPARE(topLeft(), top);
        QVERIFY(View()->document()->isUndoAvailable());
        QVERIFY(fx->Doc()->IsModified());
        QTRY_VERIFY(View()->hasFocus());
        QCOMPARE(Frame()->MessageText(), res::LoadString(res::IDS_IDLE_MESSAGE));
        QVERIFY(Frame()->IsCommandEnabled(ID_EDIT_UNDO));
        View()->undo();
        QVERIFY(!View()->GetWholeText().contains(u"<B>"_s));
    }

    void previewPagesSurviveARestart() {
        Start();
        SetText(Lines(150));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        QCOMPARE(Preview()->State().pages, 1); // never chosen: one page
        QTest::mouseClick(PreviewControl<QPushButton>("id58113"), Qt::LeftButton);
        QTest::mouseClick(PreviewControl<QPushButton>("id58112"), Qt::LeftButton);
        QTRY_VERIFY(!Preview());
        QCOMPARE(fx->app->PreviewPages(), 2);

        fx->Stop();
        {
            auto settings = platform::OpenSettings();
            QCOMPARE(settings->value(u"Settings/PreviewPages"_s).toInt(), 2);
        }
        QVERIFY(fx->Start({u"-Embedding"_s}));
        SetText(Lines(150));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        QCOMPARE(Preview()->State().pages, 2);
        QCOMPARE(Frame()->MessageText(), u"ﾍﾟｰｼﾞ 1-2"_s);
        QCOMPARE(PreviewControl<QPushButton>("id58113")->text(), u"1 ﾍﾟｰｼﾞ(&O)"_s);
        // Back to one page, kept even when the program ends with the
        // preview open.
        QTest::mouseClick(PreviewControl<QPushButton>("id58113"), Qt::LeftButton);
        fx->Stop();
        QVERIFY(fx->Start({u"-Embedding"_s}));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        QCOMPARE(Preview()->State().pages, 1);
    }

    void aNewDocumentEndsThePreview() {
        Start();
        SetText(Lines(50));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        QVERIFY(Preview());
        QVERIFY(Frame()->IsCommandEnabled(ID_FILE_NEW));
        QVERIFY(Frame()->RouteCommand(ID_FILE_NEW));
        QTRY_VERIFY(!Preview());
        QVERIFY(View()->isEnabled());
        QVERIFY(View()->GetWholeText().isEmpty());
    }

    void aLargeFileOpenedOverTheDocumentEndsThePreview() {
        // Filled aside and then shown in the pane's place, it ends the
        // preview of the text it replaces.
        Start();
        SetText(Lines(50));
        fx->Doc()->SetModifiedFlag(false);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"large.html"_s);
        testing::WriteBytes(path, QByteArray("<P>large</P>\r\n").repeated(CEditorDoc::kSliceLength / 7));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        QVERIFY(Preview());
        QCOMPARE(testing::Open(*fx->app, path), CEditorApp::OpenResult::Opened);
        QTRY_VERIFY(!Preview());
        QVERIFY(View()->isEnabled());
        QVERIFY(View()->GetWholeText().startsWith(u"<P>large</P>\u2029"_s));
    }

    void printFromThePreview() {
        Start();
        SetText(Lines(50));
        QVERIFY(Frame()->RouteCommand(ID_FILE_PRINT_PREVIEW));
        bool paneBack = false;
        services->onPrintDialog = [this, &paneBack](QPrinter&) {
            // The preview has gone before the print dialog shows.
            paneBack = !Preview() || !Preview()->isVisible();
            paneBack = paneBack && View()->isEnabled();
            return false;
        };
        QTest::mouseClick(PreviewControl<QPushButton>("id58116"), Qt::LeftButton);
        QCOMPARE(services->selectionOffered.size(), 1);
        QVERIFY(paneBack);
        QTRY_VERIFY(!Preview());
        QCOMPARE(Frame()->centralWidget(), View());
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
