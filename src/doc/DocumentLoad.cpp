#include "doc/DocumentLoad.h"

#include "doc/CEditorDoc.h"
#include "io/FileNames.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTextDocument>

#include <new>
#include <utility>

CDocumentLoad::CDocumentLoad(CEditorDoc& document, const QString& path,
                             std::optional<io::Encoding> encoding)
    : QObject(&document), m_document(document), m_view(document.GetView()), m_path(path),
      m_encoding(encoding) {
    m_fillTimer.setInterval(0);
    connect(&m_fillTimer, &QTimer::timeout, this, &CDocumentLoad::FillStep);
    m_showProgress.setSingleShot(true);
    connect(&m_showProgress, &QTimer::timeout, this,
            [this] { emit m_document.loadProgress(m_percent); });
    connect(&m_loader, &CFileLoader::progress, this,
            [this](int percent) { Report(percent * m_readShare / 100); });
    connect(&m_loader, &CFileLoader::finished, this, &CDocumentLoad::OnRead);
}

void CDocumentLoad::Begin() {
    m_busyBefore = std::exchange(m_document.m_busy, true);
    m_sliced = io::IdentityOf(m_path).size > CEditorDoc::kSliceLength;
    m_intoPane = m_document.IsEmptyNew();
    m_readShare = m_sliced ? 40 : 100;
    m_started.start();
    if (m_view) {
        m_wasReadOnly = m_view->isReadOnly();
        m_view->setReadOnly(true);
        m_view->HoldInput();
    }
    m_titleBefore = m_document.GetTitle();
    m_document.SetTitle(io::DisplayName(QFileInfo(m_path).fileName()));
    emit m_document.loadStarted();
    if (!m_encoding && m_document.recallEncoding)
        m_encoding = m_document.recallEncoding(QFileInfo(m_path).absoluteFilePath());
    m_loader.Start(m_path, m_encoding);
    m_showProgress.start(CEditorDoc::kProgressDelayMs);
}

void CDocumentLoad::Cancel() {
    if (IsOver())
        return;
    m_cancel = true;
    m_loader.Cancel();
}

CDocumentLoad::Result CDocumentLoad::Wait() {
    std::optional<Result> result;
    QEventLoop loop;
    connect(this, &CDocumentLoad::ended, &loop, [&](Result r) {
        result = r;
        loop.quit();
    });
    const QPointer<CDocumentLoad> self(this);
    loop.exec();
    if (result)
        return *result;
    if (self && !self->IsOver()) {
        // Left early: the program ends. Nothing half-loaded is kept.
        self->Cancel();
        self->m_fillTimer.stop();
        const bool emptied = self->m_fill && self->m_intoPane;
        self->m_fill.reset();
        if (emptied)
            m_document.OnNewDocument();
        self->Settle(State::Cancelled);
        self->End(Result::Cancelled);
    }
    return Result::Cancelled;
}

void CDocumentLoad::Report(int percent) {
    if (m_state == State::Started)
        m_state = State::Progressing;
    m_percent = percent;
    if (!m_showProgress.isActive())
        emit m_document.loadProgress(m_percent);
}

void CDocumentLoad::OnRead() {
    if (IsOver())
        return;
    m_read = m_loader.TakeResult();
    if (m_read.cancelled || m_cancel) {
        Settle(State::Cancelled);
        return End(Result::Cancelled);
    }
    if (m_read.error != FileError::None)
        return Fail(m_read.error);
    m_state = State::Progressing;
    if (!m_view)
        return Complete();
    if (m_sliced && m_read.text.size() > CEditorDoc::kSliceLength) {
        m_total = m_read.text.size();
        try {
            QStringList slices = CEditorView::SlicesOf(std::exchange(m_read.text, {}),
                                                       CEditorDoc::kSliceLength);
            m_fill = m_intoPane ? m_view->StartFillIn(std::move(slices))
                                : m_view->StartFillAside(std::move(slices));
        } catch (const std::bad_alloc&) {
            m_fill.reset();
            if (m_intoPane)
                m_document.OnNewDocument();
            return Fail(FileError::TooLarge);
        }
        m_fillTimer.start();
        return;
    }
    // Filled at once: when that would end the load after the progress
    // should have shown, it shows, and is painted, first.
    if (m_showProgress.isActive() &&
        m_started.elapsed() + m_read.text.size() / CEditorDoc::kFillCharsPerMs >
            CEditorDoc::kProgressDelayMs) {
        m_showProgress.stop();
        emit m_document.loadProgress(m_percent);
        m_fillTimer.start();
        return;
    }
    FillStep();
}

void CDocumentLoad::FillStep() {
    if (IsOver())
        return;
    if (m_cancel || !m_view) {
        m_fillTimer.stop();
        const bool emptied = m_fill && m_intoPane;
        m_fill.reset(); // a pane filled directly is emptied
        if (emptied)
            m_document.OnNewDocument(); // as it was
        Settle(State::Cancelled);
        return End(Result::Cancelled);
    }
    bool paneTouched = m_intoPane || !m_fill;
    try {
        if (!m_fill) {
            m_fillTimer.stop();
            m_view->SetWholeText(std::exchange(m_read.text, {}));
        } else if (m_fill->Step()) {
            Report(m_readShare + int(qint64(m_fill->Done()) * (100 - m_readShare) / m_total));
            return;
        } else {
            m_fillTimer.stop();
            std::unique_ptr<QTextDocument> filled = m_fill->Finish();
            m_fill.reset();
            paneTouched = true;
            if (filled)
                m_view->AdoptDocument(std::move(filled));
        }
    } catch (const std::bad_alloc&) {
        // Where the pane's old text is gone, what is left is an empty
        // untitled document.
        m_fillTimer.stop();
        m_fill.reset();
        m_read.text = QString();
        if (paneTouched)
            m_document.OnNewDocument();
        return Fail(FileError::TooLarge);
    }
    Complete();
}

void CDocumentLoad::Complete() {
    if (m_view) {
        if (!m_showProgress.isActive())
            emit m_document.loadProgress(100);
        m_view->OnInitialUpdate();
    }
    m_read.text = QString();
    m_document.TakeLoaded(m_read);
    Settle(State::Finished);
    emit m_document.documentReplaced();
    emit m_document.encodingChanged();
    // Saved unchanged, the file would not be what it is: modified.
    if (m_read.rewritten)
        m_document.SetModifiedFlag(true);
    // What was typed meanwhile goes in now, in order.
    if (m_view)
        m_view->ReleaseInput(true);
    End(Result::Loaded);
}

void CDocumentLoad::Settle(State state) {
    m_state = state;
    m_fillTimer.stop();
    m_showProgress.stop();
    m_document.m_load = nullptr;
    m_document.m_busy = m_busyBefore;
    if (m_view) {
        m_view->setReadOnly(m_wasReadOnly);
        if (state != State::Finished)
            m_view->ReleaseInput(false);
    }
    if (state != State::Finished)
        m_document.SetTitle(m_titleBefore);
    emit m_document.loadEnded();
}

void CDocumentLoad::Fail(FileError error) {
    Settle(State::Failed);
    m_document.ReportFileError(error, m_path, true);
    End(Result::Failed);
}

void CDocumentLoad::End(Result result) {
    emit ended(result);
    deleteLater();
}
