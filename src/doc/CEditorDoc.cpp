#include "doc/CEditorDoc.h"

#include "doc/CEditorView.h"
#include "doc/UiServices.h"
#include "io/CodePage932.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocument>

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
    m_pathName = QFileInfo(path).absoluteFilePath();
    SetTitle(QFileInfo(m_pathName).fileName());
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
    m_format = {};
    SetTitle(res::LoadString(res::IDS_UNTITLED));
    emit documentReplaced();
    return true;
}

bool CEditorDoc::OnOpenDocument(const QString& path) {
    QByteArray bytes;
    io::FileIdentity identity;
    const FileError error = ReadWholeFile(path, bytes, &identity);
    if (error != FileError::None) {
        ReportFileError(error, path, true);
        return false;
    }
    // Everything is read and decoded before the pane is touched.
    QString text = cp932::Decode(bytes);
    bytes = QByteArray();
    if (m_view) {
        m_view->SetWholeText(text);
        m_view->OnInitialUpdate();
    }
    m_identity = identity;
    emit documentReplaced();
    return true;
}

void CEditorDoc::RestoreFromJournal(const QString& path, const QString& text,
                                    const io::FileIdentity& identity,
                                    const io::TextFormat& format) {
    if (m_view) {
        m_view->SetWholeText(text);
        m_view->OnInitialUpdate();
    }
    m_identity = identity;
    m_format = format;
    m_pathName.clear();
    SetTitle(res::LoadString(res::IDS_UNTITLED));
    emit documentReplaced();
    SetModifiedFlag(true);
    if (!path.isEmpty())
        SetPathName(path, false);
}

bool CEditorDoc::ConfirmUnencodable(const QString& text) {
    const std::optional<cp932::Unencodable> first = cp932::FindUnencodable(text);
    if (!first)
        return true;
    const qsizetype count = cp932::CountUnencodable(text);
    const qsizetype line =
        QStringView(text).first(first->index).count(QChar::ParagraphSeparator) + 1;
    const QString character = text.mid(first->index, first->length);
    const QString code = u"U+%1"_s.arg(uint(first->codePoint), 4, 16, QChar(u'0')).toUpper();
    const QString reference = QString::fromLatin1(cp932::CharacterReference(first->codePoint));
    const QString message =
        res::LoadString(count > 1 ? res::IDP_UNENCODABLE_MORE : res::IDP_UNENCODABLE)
            .arg(QString::number(line), character, code, reference, QString::number(count));
    return CUiServices::Get().AskWriteReferences(message);
}

bool CEditorDoc::OnSaveDocument(const QString& path) {
    const QString text = m_view ? m_view->GetWholeText() : QString();
    if (!ConfirmUnencodable(text))
        return false;
    io::FileIdentity identity;
    const FileError error = WriteWholeFile(path, cp932::Encode(text), &identity);
    if (error != FileError::None) {
        ReportFileError(error, path, false);
        return false;
    }
    m_identity = identity;
    SetModifiedFlag(false);
    emit documentSaved();
    return true;
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
