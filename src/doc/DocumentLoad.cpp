#include "doc/DocumentLoad.h"

#include "doc/CEditorDoc.h"
#include "io/FileNames.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
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
        HoldInput(true);
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
    End(Result::Loaded);
}

void CDocumentLoad::Settle(State state) {
    m_state = state;
    m_fillTimer.stop();
    m_showProgress.stop();
    m_document.m_load = nullptr;
    m_document.m_busy = m_busyBefore;
    if (m_view)
        m_view->setReadOnly(m_wasReadOnly);
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
    HoldInput(false);
    // What was typed meanwhile goes in now, after the caller's steps.
    if (result == Result::Loaded)
        ApplyHeldInput();
    m_held.clear();
    deleteLater();
}

namespace {

// The window's action that `key` is the shortcut of, as the shortcut map
// finds it.
QAction* ActionOfKey(const QWidget* pane, const QKeyEvent* key) {
    const QKeySequence typed(key->keyCombination());
    for (QAction* action : pane->window()->actions())
        if (action->shortcuts().contains(typed))
            return action;
    return nullptr;
}

} // namespace

void CDocumentLoad::HoldInput(bool hold) {
    if (!m_view)
        return;
    if (hold) {
        m_view->installEventFilter(this);
        // Input-method text is kept too, read-only as the pane is meanwhile.
        m_view->setAttribute(Qt::WA_InputMethodEnabled, true);
    } else {
        m_view->removeEventFilter(this);
        if (!m_document.m_load) // not a load that a handler of `ended` began
            m_view->setAttribute(Qt::WA_InputMethodEnabled, !m_view->isReadOnly());
    }
}

bool CDocumentLoad::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_view)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // A command available now (Esc, the cancel) runs as ever; any other
        // key comes as a key press, and is kept.
        const QAction* action = ActionOfKey(m_view, static_cast<QKeyEvent*>(event));
        if (action && action->isEnabled())
            return false;
        event->accept();
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::InputMethod:
        m_held.emplace_back(event->clone());
        event->accept();
        return true;
    default:
        return false;
    }
}

void CDocumentLoad::ApplyHeldInput() {
    std::vector<std::unique_ptr<QEvent>> held = std::exchange(m_held, {});
    for (auto it = held.begin(); it != held.end() && m_view; ++it) {
        if (CDocumentLoad* next = m_document.m_load) {
            // A command among them started another load: the rest waits for it.
            next->m_held.insert(next->m_held.begin(), std::make_move_iterator(it),
                                std::make_move_iterator(held.end()));
            return;
        }
        if ((*it)->type() == QEvent::KeyPress) {
            // As a key typed now: the window's shortcut first, with the
            // commands' states brought up to date by the pane.
            const auto* key = static_cast<const QKeyEvent*>(it->get());
            QKeyEvent override(QEvent::ShortcutOverride, key->key(), key->modifiers(), key->text(),
                               key->isAutoRepeat(), key->count());
            override.ignore();
            QCoreApplication::sendEvent(m_view, &override);
            QAction* action = override.isAccepted() ? nullptr : ActionOfKey(m_view, key);
            if (action && action->isEnabled()) {
                action->trigger();
                continue;
            }
        }
        (*it)->setAccepted(false);
        QCoreApplication::sendEvent(m_view, it->get());
    }
}
