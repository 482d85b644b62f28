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

#include <QFileInfo>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QAbstractUndoItem>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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

CDocumentLoad* CEditorDoc::StartLoad(const QString& path, std::optional<io::Encoding> encoding) {
    if (m_load)
        return nullptr; // one load at a time
    m_load = new CDocumentLoad(*this, path, encoding);
    m_load->Begin();
    return m_load;
}

void CEditorDoc::CancelLoad() {
    if (m_load)
        m_load->Cancel();
}

void CEditorDoc::TakeLoaded(const CFileLoader::Result& read) {
    m_identity = read.identity;
    m_declined = {};
    m_format = read.format;
    m_declared = read.declared;
    m_declaredEncoding = read.declaredEncoding;
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

CDocumentLoad* CEditorDoc::ReopenInEncoding(io::Encoding encoding) {
    if (m_pathName.isEmpty() || IsLoading() || !SaveModified())
        return nullptr;
    const QString path = m_pathName;
    CDocumentLoad* load = StartLoad(path, encoding);
    if (load)
        connect(load, &CDocumentLoad::ended, this, [this, path, encoding](LoadResult result) {
            if (result == LoadResult::Loaded && rememberEncoding)
                rememberEncoding(path, encoding);
        });
    return load;
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
    if (!m_view || IsLoading())
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

CDocumentLoad* CEditorDoc::CheckFileOnDisk() {
    if (m_busy || m_pathName.isEmpty())
        return nullptr;
    const io::FileIdentity now = io::IdentityOf(m_pathName);
    if (io::Compare(m_identity, now, m_declined) != io::ChangeOnDisk::Changed)
        return nullptr;
    {
        QScopedValueRollback busy(m_busy, true);
        QString question = res::LoadString(res::IDP_FILE_CHANGED_RELOAD).arg(m_pathName);
        if (IsModified())
            question += u'\n' + res::LoadString(res::IDS_CHANGES_WILL_BE_LOST);
        if (!CUiServices::Get().AskYesNo(question)) {
            m_declined = now;
            return nullptr;
        }
    }
    // The user agreed to lose the pane's changes: no save question.
    CDocumentLoad* load = StartLoad(m_pathName);
    if (load)
        connect(load, &CDocumentLoad::ended, this, [this, now](LoadResult result) {
            if (result != LoadResult::Loaded)
                m_declined = now; // reported; not asked again for the same file
        });
    return load;
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
