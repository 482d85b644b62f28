#include "doc/CEditorDoc.h"

#include "doc/CEditorView.h"
#include "pane/FileLoader.h"
#include "pane/PaneBytes.h"
#include "doc/UiServices.h"
#include "io/CodePage932.h"
#include "io/EncodingDetect.h"
#include "io/FileIo.h"
#include "io/FileNames.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QAbstractUndoItem>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <memory>
#include <new>
#include <utility>

using namespace Qt::StringLiterals;

CEditorDoc::CEditorDoc(QObject* parent) : QObject(parent) {
    m_title = res::LoadString(res::IDS_UNTITLED);
    OnCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnCommand(ID_FILE_SAVE_AS, [this] { DoSave(QString()); });
}

CEditorDoc::~CEditorDoc() = default;

void CEditorDoc::SetView(CEditorView* view) {
    m_view = view;
    if (m_view)
        m_view->SetDocument(this);
}

void CEditorDoc::SetTitle(const QString& title) {
    m_title = title;
    emit titleChanged(m_title);
}

void CEditorDoc::SetPathName(const QString& path, bool addToRecentFiles) {
    m_pathName = io::AbsolutePath(path);
    SetTitle(io::DisplayName(QFileInfo(m_pathName).fileName()));
    emit pathNameSet(m_pathName, addToRecentFiles);
}

bool CEditorDoc::IsModified() const { return m_view && m_view->document()->isModified(); }

void CEditorDoc::SetModifiedFlag(bool modified) {
    if (m_view)
        m_view->document()->setModified(modified);
}

bool CEditorDoc::OnNewDocument() {
    if (m_view) {
        m_view->SetWholeText(QString());
        m_view->OnInitialUpdate();
    }
    m_pathName.clear();
    m_identity = {};
    m_declined = {};
    m_format = {};
    m_declared.clear();
    m_declaredEncoding.reset();
    SetTitle(res::LoadString(res::IDS_UNTITLED));
    emit documentReplaced();
    emit encodingChanged();
    return true;
}

bool CEditorDoc::IsEmptyNew() const {
    return m_view && m_pathName.isEmpty() && m_view->document()->isEmpty() && !IsModified() &&
           !m_view->document()->isUndoAvailable() && !m_view->document()->isRedoAvailable();
}

CEditorDoc::LoadResult CEditorDoc::LoadDocument(const QString& path,
                                                std::optional<io::Encoding> encoding) {
    if (m_loading)
        return LoadResult::Cancelled; // one load at a time
    QScopedValueRollback busy(m_busy, true);
    m_loading = true;
    m_cancelLoad = false;
    // A large text goes in a slice at a time, the event loop running between
    // slices: into an empty new pane, which a cancel empties again, as it
    // was; any other pane keeps its document until a new one, filled aside,
    // is complete.
    const bool sliced = io::IdentityOf(path).size > kSliceLength;
    const bool intoPane = IsEmptyNew();
    const int readShare = sliced ? 40 : 100; // of the percent shown
    CFileLoader loader;
    QEventLoop loop;
    bool done = false;
    int percent = 0;
    QElapsedTimer started;
    started.start();
    QTimer showProgress;
    showProgress.setSingleShot(true);
    connect(&showProgress, &QTimer::timeout, this, [&] { emit loadProgress(percent); });
    auto report = [&](int p) {
        percent = p;
        if (!showProgress.isActive())
            emit loadProgress(percent);
    };
    connect(&loader, &CFileLoader::progress, this, [&](int p) { report(p * readShare / 100); });
    connect(&loader, &CFileLoader::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    // The pane takes no input meanwhile.
    const bool wasReadOnly = m_view && m_view->isReadOnly();
    if (m_view)
        m_view->setReadOnly(true);
    bool finished = false;
    auto finish = [&] {
        if (std::exchange(finished, true))
            return;
        showProgress.stop();
        m_loader = nullptr;
        m_loading = false;
        if (m_view)
            m_view->setReadOnly(wasReadOnly);
        emit loadEnded();
    };
    const auto ended = qScopeGuard(finish);
    m_loader = &loader;
    emit loadStarted();
    if (!encoding && recallEncoding)
        encoding = recallEncoding(QFileInfo(path).absoluteFilePath());
    loader.Start(path, encoding);
    showProgress.start(kProgressDelayMs);
    // Left early when the program ends (QCoreApplication::exit).
    if (!done)
        loop.exec();
    if (!done)
        loader.Cancel();
    CFileLoader::Result result = done ? loader.TakeResult() : CFileLoader::Result{};
    m_loader = nullptr;
    if (!done || result.cancelled || m_cancelLoad)
        return LoadResult::Cancelled;
    if (result.error != FileError::None) {
        finish();
        ReportFileError(result.error, path, true);
        return LoadResult::Failed;
    }
    if (m_view) {
        bool paneTouched = false;
        try {
            if (sliced && result.text.size() > kSliceLength) {
                const qsizetype total = result.text.size();
                // Each slice is let go once it is in: the whole text is not
                // held beside the full pane.
                QStringList slices = CEditorView::SlicesOf(std::move(result.text), kSliceLength);
                const auto between = [&](qsizetype at) {
                    report(readShare + int(qint64(at) * (100 - readShare) / total));
                    QCoreApplication::processEvents();
                    return !m_cancelLoad;
                };
                if (intoPane) {
                    paneTouched = true;
                    if (!m_view->FillInSlices(slices, between)) {
                        OnNewDocument(); // as it was
                        return LoadResult::Cancelled;
                    }
                } else {
                    // The pane keeps its document, undo history and all,
                    // until the new one is complete.
                    std::unique_ptr<QTextDocument> filled = m_view->FillAside(slices, between);
                    if (!filled)
                        return LoadResult::Cancelled;
                    paneTouched = true;
                    m_view->AdoptDocument(std::move(filled));
                }
            } else {
                paneTouched = true;
                // Filled at once: when that would end the load after the
                // progress should have shown, it shows first.
                if (showProgress.isActive() &&
                    started.elapsed() + result.text.size() / kFillCharsPerMs > kProgressDelayMs) {
                    showProgress.stop();
                    emit loadProgress(percent);
                    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                }
                m_view->SetWholeText(result.text);
            }
        } catch (const std::bad_alloc&) {
            // Where the pane's old text is gone, what is left is an empty
            // untitled document.
            result.text = QString();
            if (paneTouched)
                OnNewDocument();
            finish();
            ReportFileError(FileError::TooLarge, path, true);
            return LoadResult::Failed;
        }
        if (!showProgress.isActive())
            emit loadProgress(100);
        m_view->OnInitialUpdate();
    }
    result.text = QString();
    m_identity = result.identity;
    m_declined = {};
    m_format = std::move(result.format);
    m_declared = result.declared;
    m_declaredEncoding = result.declaredEncoding;
    finish();
    emit documentReplaced();
    emit encodingChanged();
    // Saved unchanged, the file would not be what it is: modified.
    if (result.rewritten)
        SetModifiedFlag(true);
    return LoadResult::Loaded;
}

void CEditorDoc::CancelLoad() {
    if (!m_loading)
        return;
    m_cancelLoad = true;
    if (m_loader)
        m_loader->Cancel();
}

void CEditorDoc::RestoreFromJournal(const QString& path, const QString& text,
                                    const io::FileIdentity& identity,
                                    const io::TextFormat& format) {
    if (m_view) {
        m_view->SetWholeText(text);
        m_view->OnInitialUpdate();
    }
    m_identity = identity;
    m_declined = {};
    m_format = format;
    UpdateDeclared();
    m_pathName.clear();
    SetTitle(res::LoadString(res::IDS_UNTITLED));
    emit documentReplaced();
    emit encodingChanged();
    SetModifiedFlag(true);
    if (!path.isEmpty())
        SetPathName(path, false);
}

bool CEditorDoc::ConfirmUnencodable(const SaveCheck& check) {
    if (!check.firstUnencodable)
        return true;
    const SaveCheck::Unencodable& first = *check.firstUnencodable;
    const QString code = u"U+%1"_s.arg(uint(first.codePoint), 4, 16, QChar(u'0')).toUpper();
    const QString reference = QString::fromLatin1(cp932::CharacterReference(first.codePoint));
    const bool sjis = m_format.encoding == io::Encoding::ShiftJis;
    const bool more = check.unencodableCount > 1;
    const int id = sjis ? (more ? res::IDP_UNENCODABLE_MORE : res::IDP_UNENCODABLE)
                        : (more ? res::IDP_UNENCODABLE_MORE_IN : res::IDP_UNENCODABLE_IN);
    const QString text = res::LoadString(id).replace(u"%6"_s, codec::EncodingName(m_format.encoding));
    const QString line = QString::number(first.line);
    const QString message =
        more ? text.arg(line, first.character, code, reference, QString::number(check.unencodableCount))
             : text.arg(line, first.character, code, reference);
    return CUiServices::Get().AskWriteReferences(message);
}

bool CEditorDoc::ConfirmOverwrite(const QString& path) {
    if (m_pathName.isEmpty() || io::AbsolutePath(path) != m_pathName)
        return true;
    const io::FileIdentity now = io::IdentityOf(path);
    switch (io::Compare(m_identity, now, m_declined)) {
    case io::ChangeOnDisk::None:
    case io::ChangeOnDisk::Deleted: // saved as a new file
        return true;
    case io::ChangeOnDisk::Changed:
    case io::ChangeOnDisk::Declined:
        break;
    }
    if (CUiServices::Get().AskYesNo(res::LoadString(res::IDP_FILE_CHANGED_ON_SAVE).arg(path)))
        return true;
    m_declined = now;
    return false;
}

bool CEditorDoc::ConfirmRoundTrip(const SaveCheck& check) {
    if (!check.roundTripDifference)
        return true;
    const SaveCheck::Place& at = *check.roundTripDifference;
    return CUiServices::Get().AskWriteAnyway(
        res::LoadString(res::IDP_ROUND_TRIP_DIFFERS)
            .arg(QString::number(at.line), QString::number(at.column)));
}

bool CEditorDoc::OnSaveDocument(const QString& path) {
    QScopedValueRollback busy(m_busy, true);
    if (!ConfirmOverwrite(path))
        return false;
    // The text is encoded, checked and written a chunk at a time.
    CPaneBytes bytes(m_view ? &m_view->Model() : nullptr, m_format);
    const SaveCheck check = CheckSaveText([&bytes] { return bytes.NextText(); }, m_format);
    if (!ConfirmUnencodable(check) || !ConfirmRoundTrip(check))
        return false;
    io::FileIdentity identity;
    const FileError error = WriteWholeFile(path, bytes, &identity);
    if (error != FileError::None) {
        ReportFileError(error, path, false);
        return false;
    }
    m_identity = identity;
    m_declined = {};
    SetModifiedFlag(false);
    UpdateDeclared();
    emit documentSaved();
    emit encodingChanged();
    return true;
}

namespace {

// The page's declaration in the pane's first 1024 characters; its place is
// a position in the pane.
std::optional<codec::Declaration> DeclarationIn(const QTextDocument* document) {
    QString start;
    for (QTextBlock b = document->begin(); b.isValid() && start.size() < 1024; b = b.next())
        start += b.text() + u'\n';
    return codec::FindDeclaration(QStringView(start));
}

} // namespace

void CEditorDoc::UpdateDeclared() {
    m_declared.clear();
    m_declaredEncoding.reset();
    if (!m_view)
        return;
    if (const std::optional<codec::Declaration> d = DeclarationIn(m_view->document())) {
        m_declaredEncoding = codec::EncodingOfLabel(d->label);
        m_declared = m_declaredEncoding ? codec::DeclarationName(*m_declaredEncoding)
                                        : QString::fromLatin1(d->label.trimmed());
    }
}

QString CEditorDoc::EncodingText() const {
    const QString used = codec::EncodingName(m_format.encoding);
    if (!codec::DeclarationDiffers(m_declared, m_declaredEncoding, m_format.encoding))
        return used;
    return res::LoadString(res::IDS_ENCODING_DECLARED).arg(used, m_declared);
}

bool CEditorDoc::ReopenInEncoding(io::Encoding encoding) {
    if (m_pathName.isEmpty() || m_loading || !SaveModified())
        return false;
    const QString path = m_pathName;
    if (LoadDocument(path, encoding) != LoadResult::Loaded)
        return false;
    if (rememberEncoding)
        rememberEncoding(path, encoding);
    return true;
}

void CEditorDoc::SetEncodingState(const EncodingState& state) {
    m_format = state.format;
    m_declared = state.declared;
    m_declaredEncoding = state.declaredEncoding;
    emit encodingChanged();
}

namespace {

// The encoding's change, undone and redone with the declaration's.
class CEncodingStep : public QAbstractUndoItem {
public:
    CEncodingStep(CEditorDoc* document, CEditorDoc::EncodingState before,
                  CEditorDoc::EncodingState after)
        : m_document(document), m_before(std::move(before)), m_after(std::move(after)) {}
    void undo() override {
        if (m_document)
            m_document->SetEncodingState(m_before);
    }
    void redo() override {
        if (m_document)
            m_document->SetEncodingState(m_after);
    }

private:
    QPointer<CEditorDoc> m_document;
    CEditorDoc::EncodingState m_before;
    CEditorDoc::EncodingState m_after;
};

} // namespace

void CEditorDoc::ConvertToEncoding(io::Encoding encoding) {
    if (!m_view || m_loading)
        return;
    QTextDocument* document = m_view->document();
    const std::optional<codec::Declaration> d = DeclarationIn(document);
    const QString name = codec::DeclarationName(encoding);
    const bool rename = d && QString::fromLatin1(d->label) != name;
    // The same encoding again still mends a declaration that names another.
    if (encoding == m_format.encoding && !rename)
        return;
    io::TextFormat to = m_format;
    if (encoding != m_format.encoding) {
        to = {};
        to.encoding = encoding;
        to.lineEnd = m_format.lineEnd;
        if (encoding == io::Encoding::Utf16Le || encoding == io::Encoding::Utf16Be)
            to.tail = m_format.tail;
    }
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (rename) {
        cursor.setPosition(int(d->offset));
        cursor.setPosition(int(d->offset + d->length), QTextCursor::KeepAnchor);
        cursor.insertText(name);
    }
    const EncodingState before{m_format, m_declared, m_declaredEncoding};
    EncodingState after = before;
    after.format = to;
    if (rename) {
        after.declared = name;
        after.declaredEncoding = codec::EncodingOfLabel(name.toLatin1());
    }
    document->appendUndoItem(new CEncodingStep(this, before, after));
    cursor.endEditBlock();
    SetEncodingState(after);
    SetModifiedFlag(true);
}

void CEditorDoc::CheckFileOnDisk() {
    if (m_busy || m_pathName.isEmpty())
        return;
    QScopedValueRollback busy(m_busy, true);
    const io::FileIdentity now = io::IdentityOf(m_pathName);
    if (io::Compare(m_identity, now, m_declined) != io::ChangeOnDisk::Changed)
        return;
    QString question = res::LoadString(res::IDP_FILE_CHANGED_RELOAD).arg(m_pathName);
    if (IsModified())
        question += u'\n' + res::LoadString(res::IDS_CHANGES_WILL_BE_LOST);
    if (!CUiServices::Get().AskYesNo(question)) {
        m_declined = now;
        return;
    }
    // The user agreed to lose the pane's changes: no save question.
    if (!OnOpenDocument(m_pathName))
        m_declined = now; // reported; not asked again for the same file
}

void CEditorDoc::ReportFileError(FileError error, const QString& path, bool loading) {
    CUiServices::Get().Warning(FileErrorMessage(error, path, loading));
}

bool CEditorDoc::SaveModified() {
    if (!IsModified())
        return true;
    const QString question = res::LoadString(res::IDP_ASK_TO_SAVE).arg(m_title);
    switch (CUiServices::Get().AskSaveChanges(question)) {
    case CUiServices::Answer::Yes:
        return DoFileSave();
    case CUiServices::Answer::No:
        emit changesDiscarded();
        return true;
    case CUiServices::Answer::Cancel:
        break;
    }
    return false;
}

bool CEditorDoc::DoFileSave() { return DoSave(m_pathName); }

QString CEditorDoc::ProposedFileName(const QString& title) {
    QString name = title;
    const qsizetype cut = name.indexOf(QRegularExpression(uR"([ #%;/\\])"_s));
    if (cut >= 0)
        name.truncate(cut);
    return name + res::StringField(res::IDR_MAINFRAME, 4);
}

bool CEditorDoc::DoSave(const QString& path, bool replace) {
    QString target = path;
    if (target.isEmpty()) {
        const QString proposed = m_pathName.isEmpty() ? ProposedFileName(m_title) : m_pathName;
        QWidget* owner = m_view ? m_view->window() : nullptr;
        const std::optional<QString> chosen = CUiServices::Get().ChooseFileToSaveAs(owner, proposed);
        if (!chosen)
            return false;
        target = *chosen;
    }
    if (!OnSaveDocument(target))
        return false;
    if (replace)
        SetPathName(target);
    return true;
}
