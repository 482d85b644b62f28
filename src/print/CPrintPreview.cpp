#include "print/CPrintPreview.h"

#include "doc/CEditorView.h"
#include "print/PreviewHost.h"
#include "print/Printing.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include "ui_PreviewBar.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QStatusTipEvent>
#include <QTextDocument>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace print {

int PreviewState::LastShown() const {
    return zoom == 0 && pages == 2 ? qMin(current + 1, pageCount) : current;
}

bool PreviewState::CanGoNext() const {
    return LastShown() < pageCount;
}

bool PreviewState::CanGoPrevious() const {
    return current > 1;
}

bool PreviewState::CanToggle() const {
    return zoom == 0 && (pageCount > 1 || pages == 2);
}

void PreviewState::Next() {
    if (CanGoNext())
        ++current;
}

void PreviewState::Previous() {
    if (CanGoPrevious())
        --current;
}

void PreviewState::Toggle() {
    if (!CanToggle())
        return;
    pages = pages == 1 ? 2 : 1;
    // Two pages at the end show the last two.
    if (pages == 2 && current == pageCount && pageCount > 1)
        --current;
}

QString PreviewState::StatusText() const {
    const int last = LastShown();
    if (last > current)
        return FormatUnsigned(res::LoadString(res::IDS_PREVIEW_TWO_PAGE_NUMBERS),
                              {unsigned(current), unsigned(last)});
    return FormatUnsigned(res::LoadString(res::IDS_PRINT_PAGE), {unsigned(current)});
}

QString PreviewState::ToggleText() const {
    return res::LoadString(pages == 1 ? res::IDS_PREVIEW_TWO_PAGES : res::IDS_PREVIEW_ONE_PAGE);
}

} // namespace print

namespace {
constexpr int kGap = 12; // around and between the pages, in pixels
}

// The pages on a grey ground: fitted to the window, or one page larger in a
// scrolled area.
class CPrintPreview::PageArea : public QWidget {
public:
    explicit PageArea(CPrintPreview* preview) : QWidget(preview), m_preview(preview) {
        setObjectName(u"previewPages"_s);
        setAccessibleName(u"印刷ｲﾒｰｼﾞ"_s);
        setFocusPolicy(Qt::StrongFocus);
        setAutoFillBackground(false);
    }

    // Pixels of the screen for one pixel of the printer.
    qreal Scale(QSize viewport) const {
        const print::PreviewState& s = m_preview->m_state;
        const QSizeF paper = m_preview->m_layout->PaperRect().size();
        const int shown = s.LastShown() - s.current + 1;
        const qreal fitX = (viewport.width() - kGap * (shown + 1)) / (shown * paper.width());
        const qreal fitY = (viewport.height() - 2 * kGap) / paper.height();
        const qreal fit = qMax(0.01, qMin(fitX, fitY));
        if (s.zoom == 0)
            return fit;
        // Full zoom is the paper's real size on the screen, and never less
        // than twice the fitted size; the middle step lies halfway.
        const qreal actual = logicalDpiX() / qreal(m_preview->m_printer.logicalDpiX());
        const qreal full = qMax(actual, 2 * fit);
        return s.zoom == 1 ? (fit + full) / 2 : full;
    }

    void UpdateSize(QSize viewport) {
        if (m_preview->m_state.zoom == 0) {
            setMinimumSize(0, 0);
            return;
        }
        const QSizeF paper = m_preview->m_layout->PaperRect().size() * Scale(viewport);
        setMinimumSize(int(paper.width()) + 2 * kGap, int(paper.height()) + 2 * kGap);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(128, 128, 128));
        const print::PreviewState& s = m_preview->m_state;
        const QSize viewport = m_preview->m_scroll->viewport()->size();
        const qreal scale = Scale(viewport);
        const QSizeF paper = m_preview->m_layout->PaperRect().size() * scale;
        const int shown = s.LastShown() - s.current + 1;
        const qreal total = shown * paper.width() + (shown - 1) * kGap;
        qreal x = qMax<qreal>(kGap, (width() - total) / 2);
        const qreal y = qMax<qreal>(kGap, (height() - paper.height()) / 2);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        for (int page = s.current; page <= s.LastShown(); ++page) {
            const QRectF sheet(x, y, paper.width(), paper.height());
            p.fillRect(sheet.translated(3, 3), QColor(64, 64, 64));
            p.fillRect(sheet, Qt::white);
            p.setPen(QPen(Qt::black, 0));
            p.drawRect(sheet);
            p.save();
            p.translate(sheet.topLeft());
            p.scale(scale, scale);
            m_preview->m_layout->RenderPage(&p, page);
            p.restore();
            x += paper.width() + kGap;
        }
    }

    void mousePressEvent(QMouseEvent* e) override {
        // A click zooms in, and at the largest size back to the whole page.
        if (e->button() != Qt::LeftButton)
            return;
        if (m_preview->m_state.CanZoomIn()) {
            m_preview->ZoomIn();
        } else {
            m_preview->m_state.zoom = 0;
            m_preview->Update();
        }
    }

    void keyPressEvent(QKeyEvent* e) override {
        // Before the scrolled area takes them: Page Down and Page Up turn
        // the pages.
        if (!m_preview->TurnPage(e))
            QWidget::keyPressEvent(e);
    }

    void wheelEvent(QWheelEvent* e) override {
        if (m_preview->m_state.zoom != 0) {
            e->ignore(); // the scrolled area scrolls
            return;
        }
        if (e->angleDelta().y() < 0)
            m_preview->NextPage();
        else if (e->angleDelta().y() > 0)
            m_preview->PreviousPage();
    }

private:
    CPrintPreview* m_preview;
};

CPrintPreview::CPrintPreview(CEditorView* view, CPreviewHost* host, QPrinter& printer, int pages)
    : QWidget(host->HostWindow()), m_view(view), m_host(host), m_frame(host->HostWindow()), m_printer(printer),
      m_bar(std::make_unique<Ui::PreviewBar>()) {
    setObjectName(u"CPrintPreview"_s);
    setAutoFillBackground(true); // it covers the pane
    setAccessibleName(res::StringField(ID_FILE_PRINT_PREVIEW, 1));
    m_state.pages = pages == 2 ? 2 : 1;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QWidget(this);
    m_bar->setupUi(bar);
    layout->addWidget(bar);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(u"previewScroll"_s);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_area = new PageArea(this);
    m_scroll->setWidget(m_area);
    m_scroll->setFocusProxy(m_area);
    layout->addWidget(m_scroll, 1);
    setFocusProxy(m_area);

    connect(m_bar->id58116, &QPushButton::clicked, this, &CPrintPreview::Print);
    connect(m_bar->id58114, &QPushButton::clicked, this, &CPrintPreview::NextPage);
    connect(m_bar->id58115, &QPushButton::clicked, this, &CPrintPreview::PreviousPage);
    connect(m_bar->id58113, &QPushButton::clicked, this, &CPrintPreview::TogglePages);
    connect(m_bar->id58117, &QPushButton::clicked, this, &CPrintPreview::ZoomIn);
    connect(m_bar->id58118, &QPushButton::clicked, this, &CPrintPreview::ZoomOut);
    connect(m_bar->id58112, &QPushButton::clicked, this, &CPrintPreview::Close);

    // The main window's commands while the preview shows. Esc (32768)
    // closes it; the commands of the document and the application go on as
    // usual; nothing else reaches the hidden pane.
    OnCommand(ID_CANCEL_EDIT, [this] { Close(); });
    OnCommand(ID_FILE_PRINT, [this] { Print(); });
    OnCommand(ID_FILE_OPEN, [this] {
        if (m_view)
            m_view->OnFileOpen(); // a new text closes the preview
    });
    OnCommand(ID_FILE_PRINT_SETUP, [this] {
        if (m_frame && print::RunPrintSetup(m_frame))
            Relayout();
    });

    Relayout();
}

CPrintPreview::~CPrintPreview() = default;

CPrintPreview* CPrintPreview::Open(CEditorView* view, CPreviewHost* host, QPrinter& printer,
                                   int pages) {
    auto* preview = new CPrintPreview(view, host, printer, pages);
    QWidget* frame = host->HostWindow();
    // The pane stays where it is, as it is (same size, same scrolling),
    // covered by the preview and shut to input; the preview follows its
    // place. The menus and bars stay: what would edit the pane is disabled.
    view->setEnabled(false);
    view->installEventFilter(preview);
    if (QLayout* layout = frame->layout())
        layout->activate();
    preview->setGeometry(view->geometry());
    preview->show();
    preview->raise();
    host->SetPreviewTarget(preview);
    frame->installEventFilter(preview);
    // New or another file in the pane: the pages shown are not its pages.
    connect(view->document(), &QTextDocument::contentsChanged, preview, &CPrintPreview::Close,
            Qt::QueuedConnection);
    connect(view, &CEditorView::documentAdopted, preview, &CPrintPreview::Close,
            Qt::QueuedConnection);
    preview->Update();
    preview->m_area->setFocus();
    return preview;
}

void CPrintPreview::Relayout() {
    if (!m_view)
        return;
    m_layout = print::LayoutOf(m_view, m_view->GetWholeText(), &m_printer);
    m_state.pageCount = qMax(1, m_layout->PageCount());
    m_state.current = qBound(1, m_state.current, m_state.pageCount);
    Update();
}

void CPrintPreview::Update() {
    // Two pages at the end show the last two.
    if (m_state.zoom == 0 && m_state.pages == 2 && m_state.current == m_state.pageCount &&
        m_state.pageCount > 1)
        --m_state.current;
    m_bar->id58114->setEnabled(m_state.CanGoNext());
    m_bar->id58115->setEnabled(m_state.CanGoPrevious());
    m_bar->id58113->setText(m_state.ToggleText());
    m_bar->id58113->setAccessibleName(m_state.ToggleText().remove(u'&'));
    m_bar->id58113->setEnabled(m_state.CanToggle());
    m_bar->id58117->setEnabled(m_state.CanZoomIn());
    m_bar->id58118->setEnabled(m_state.CanZoomOut());
    m_area->UpdateSize(m_scroll->viewport()->size());
    m_area->update();
    if (m_frame && !m_closing)
        m_host->SetMessageText(m_state.StatusText());
}

bool CPrintPreview::TurnPage(QKeyEvent* event) {
    if (event->modifiers() != Qt::NoModifier)
        return false;
    if (event->key() == Qt::Key_PageDown)
        NextPage();
    else if (event->key() == Qt::Key_PageUp)
        PreviousPage();
    else
        return false;
    event->accept();
    return true;
}

void CPrintPreview::keyPressEvent(QKeyEvent* event) {
    // Keys the buttons of the bar leave alone come here.
    if (!TurnPage(event))
        QWidget::keyPressEvent(event);
}

void CPrintPreview::NextPage() {
    m_state.Next();
    Update();
}

void CPrintPreview::PreviousPage() {
    m_state.Previous();
    Update();
}

void CPrintPreview::TogglePages() {
    const int before = m_state.pages;
    m_state.Toggle();
    Update();
    if (m_state.pages != before && pagesChanged)
        pagesChanged(m_state.pages);
}

void CPrintPreview::ZoomIn() {
    if (!m_state.CanZoomIn())
        return;
    ++m_state.zoom;
    Update();
}

void CPrintPreview::ZoomOut() {
    if (!m_state.CanZoomOut())
        return;
    --m_state.zoom;
    Update();
}

void CPrintPreview::Close() {
    if (m_closing)
        return;
    m_closing = true;
    if (m_frame) {
        m_frame->removeEventFilter(this);
        m_host->SetPreviewTarget(nullptr);
        if (m_view) {
            m_view->removeEventFilter(this);
            m_view->setEnabled(true);
            m_view->setFocus();
        }
        m_host->SetMessageText(res::LoadString(res::IDS_IDLE_MESSAGE));
        m_host->UpdateCommandUI();
    }
    hide();
    emit closed();
    deleteLater();
}

void CPrintPreview::Print() {
    const QPointer<CEditorView> view = m_view;
    const std::function<void()> printNow = print; // Close lets the preview go
    Close();
    if (view && printNow)
        printNow();
}

bool CPrintPreview::eventFilter(QObject* watched, QEvent* event) {
    // Where the frame would show its idle text, the page numbers stay.
    if (watched == m_view && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        setGeometry(m_view->geometry());
    if (watched == m_frame && event->type() == QEvent::StatusTip &&
        static_cast<QStatusTipEvent*>(event)->tip().isEmpty()) {
        m_host->SetMessageText(m_state.StatusText());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CPrintPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_area->UpdateSize(m_scroll->viewport()->size());
}
