#pragma once

// doc: the document, the editing pane, its load, routing, the
// seams to the user. May include pane, io and res.

#include "doc/CmdTarget.h"
#include "doc/DocumentLoad.h"
#include "io/FileIo.h"
#include "io/FileState.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class CEditorView;
struct SaveCheck;

// The one open HTML file: its path, its title and its modified state. The
// text itself lives in the view; the document reads and writes it in the
// file's encoding (detected on open, see codec::DetectAndDecode), with the
// byte-order mark, line breaks and duplicate codes the file had (Shift-JIS
// and CR LF for a new document).
class CEditorDoc : public QObject, public CCmdTarget {
    Q_OBJECT

public:
    explicit CEditorDoc(QObject* parent = nullptr);
    ~CEditorDoc() override;

    void SetView(CEditorView* view);
    CEditorView* GetView() const { return m_view; }

    QString GetPathName() const { return m_pathName; }
    QString GetTitle() const { return m_title; }
    void SetTitle(const QString& title);
    // Takes `path` as the document's file: path, title and, when asked, the
    // first place in the recent-file list.
    void SetPathName(const QString& path, bool addToRecentFiles = true);

    bool IsModified() const;
    void SetModifiedFlag(bool modified = true);

    // An empty untitled document.
    bool OnNewDocument();
    // Starts reading `path` into the pane (see CDocumentLoad): on failure
    // it reports it and changes nothing; a file the pane could not hold is
    // refused as too large. The window keeps painting; only Esc (CancelLoad)
    // is taken as a command, the keys typed are applied once the file is in
    // and the caller has taken its steps (see CDocumentLoad::ended).
    // A load that takes longer than kProgressDelayMs reports its progress.
    // A cancelled load changes nothing and reports nothing. The title names
    // the file from the start. `encoding`: read in that one; otherwise in
    // the one last chosen for the file (recallEncoding) or the one
    // detected. Null while another load runs.
    CDocumentLoad* StartLoad(const QString& path, std::optional<io::Encoding> encoding = std::nullopt);
    using LoadResult = CDocumentLoad::Result;
    bool IsLoading() const { return m_load != nullptr; }
    void CancelLoad();
    static constexpr int kProgressDelayMs = 300;
    // The characters an empty new pane takes at a time while a file loads.
    static constexpr qsizetype kSliceLength = qsizetype(1024) << 10;
    // How many characters the pane takes in a millisecond when its whole
    // text is set, a paragraph for each line (bench_open measured 16.5 Mi in
    // about 0.5 s so; lines that share paragraphs go in faster), rounded up.
    static constexpr qsizetype kFillCharsPerMs = 40000;
    // Writes the pane to `path`; on failure reports it and changes nothing.
    // Asks first when another program changed the document's own file, when
    // characters cannot be written and when the bytes would read back as
    // other text; a "no" writes nothing and returns false.
    bool OnSaveDocument(const QString& path);

    // When another program has changed the document's file since it was
    // read or written, offers to read it again. Asks once per change. The
    // load started, or null when none was.
    CDocumentLoad* CheckFileOnDisk();

    // Asks whether to save a modified document; false when the user cancels
    // or saving fails.
    bool SaveModified();
    // Save: to the document's path, or through Save As without one.
    bool DoFileSave();
    // Save As with `path` proposed; an empty path asks for one.
    bool DoSave(const QString& path, bool replace = true);

    // The file as it was when last read or written (nothing for a new
    // document), and how its text was written there.
    const io::FileIdentity& FileIdentity() const { return m_identity; }
    const io::TextFormat& TextFormat() const { return m_format; }

    // Puts a recovered document in place of this one: its text, marked
    // modified, with the path (empty: untitled), file identity and text
    // format it had.
    void RestoreFromJournal(const QString& path, const QString& text,
                            const io::FileIdentity& identity, const io::TextFormat& format);

    // The encoding the page declares in its first 1024 characters (its
    // name; empty when none), as read or last saved or converted.
    const QString& Declared() const { return m_declared; }
    // The status bar's text: "UTF-8", or "UTF-8 (宣言: Shift_JIS)" when the
    // page declares another.
    QString EncodingText() const;
    // Reads the document's file again in `encoding`, after the save
    // question when there are changes, and remembers the choice for the
    // file once it is read. The load started, or null when none was.
    CDocumentLoad* ReopenInEncoding(io::Encoding encoding);
    // The next save writes `encoding`: the document becomes modified, and a
    // declaration in the first 1024 characters names the new encoding, in
    // one undo step (undoing it restores the encoding too).
    void ConvertToEncoding(io::Encoding encoding);
    // The format the next save writes and the declaration shown; set back
    // and forth by undo and redo of a conversion.
    struct EncodingState {
        io::TextFormat format;
        QString declared;
        std::optional<io::Encoding> declaredEncoding;
    };
    void SetEncodingState(const EncodingState& state);
    // The encoding last chosen to read a file in, and the choice.
    std::function<std::optional<io::Encoding>(const QString& path)> recallEncoding;
    std::function<void(const QString& path, io::Encoding encoding)> rememberEncoding;

    // The name Save As proposes for a document without a path.
    static QString ProposedFileName(const QString& title);

signals:
    void titleChanged(const QString& title);
    void pathNameSet(const QString& path, bool addToRecentFiles);
    // The pane holds another document (new, opened or recovered).
    void documentReplaced();
    // The text was written to its file and verified.
    void documentSaved();
    // The user chose not to save the changes.
    void changesDiscarded();
    // A load began, has read and decoded `percent` of the file (only after
    // kProgressDelayMs), and ended (whatever its outcome).
    void loadStarted();
    void loadProgress(int percent);
    void loadEnded();
    // The encoding or the declaration shown for it changed.
    void encodingChanged();

private:
    friend class CDocumentLoad;
    // Takes what a load read: the file, its format and declaration.
    void TakeLoaded(const CFileLoader::Result& read);
    // An untitled pane without text, changes or undo history.
    bool IsEmptyNew() const;
    void ReportFileError(FileError error, const QString& path, bool loading);
    // False when the user chose not to write characters Shift-JIS cannot hold.
    bool ConfirmUnencodable(const SaveCheck& check);
    // Reads the declaration from the pane's first characters again.
    void UpdateDeclared();
    // False when the user chose not to overwrite a file another program
    // changed.
    bool ConfirmOverwrite(const QString& path);
    // False when the user chose not to write bytes that read back otherwise.
    bool ConfirmRoundTrip(const SaveCheck& check);

    CEditorView* m_view = nullptr;
    QString m_pathName;
    QString m_title;
    io::FileIdentity m_identity;
    io::TextFormat m_format;
    QString m_declared;
    std::optional<io::Encoding> m_declaredEncoding;
    // The file as it was when the user chose to keep the pane over it.
    io::FileIdentity m_declined;
    bool m_busy = false; // a question about the file is open
    CDocumentLoad* m_load = nullptr; // the load running
};
