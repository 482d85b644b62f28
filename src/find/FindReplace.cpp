#include "find/FindReplace.h"

#include "doc/CEditorView.h"
#include "find/CFindReplaceDlg.h"
#include "res/CommandIds.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace find {
namespace {

void SystemBeep() {
    QApplication::beep();
}

BeepFunction g_beep = &SystemBeep;

void Beep() {
    if (g_beep)
        g_beep();
}

// The pane's whole text for searching, kept between searches until the text
// changes: taking it out of a 16 MiB document costs more than the search.
class CTextCache : public QObject {
public:
    explicit CTextCache(QTextDocument* document) : QObject(document) {
        setObjectName(u"findTextCache"_s);
        connect(document, &QTextDocument::contentsChange, this, [this] {
            m_valid = false;
            m_text.clear();
        });
    }
    static const QString& TextOf(const CEditorView* view) {
        QTextDocument* document = view->document();
        auto* cache =
            document->findChild<CTextCache*>(u"findTextCache"_s, Qt::FindDirectChildrenOnly);
        if (!cache)
            cache = new CTextCache(document);
        if (!cache->m_valid) {
            cache->m_text = view->GetWholeText();
            cache->m_valid = true;
        }
        return cache->m_text;
    }

private:
    QString m_text;
    bool m_valid = false;
};

// Selects from `start` to `end` of the view's whole text.
void Select(CEditorView* view, qsizetype start, qsizetype end) {
    QTextCursor c = view->textCursor();
    c.setPosition(view->PanePosition(start));
    c.setPosition(view->PanePosition(end), QTextCursor::KeepAnchor);
    view->setTextCursor(c); // also scrolls it into view
}

// Where the selection shows on the screen: the lines it covers, from its
// start to its end on one line, across the whole pane on several.
QRect SelectionOnScreen(const CEditorView* view) {
    const QTextCursor c = view->textCursor();
    QTextCursor start(c);
    start.setPosition(c.selectionStart());
    QTextCursor end(c);
    end.setPosition(c.selectionEnd());
    const QRect first = view->cursorRect(start);
    const QRect last = view->cursorRect(end);
    QRect rect = first.united(last);
    if (first.top() != last.top()) {
        rect.setLeft(0);
        rect.setRight(view->viewport()->width() - 1);
    }
    return QRect(view->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

// Moves `dialog` off the found text: above it when the screen has room
// there, otherwise below it.
void MoveOffSelection(const CEditorView* view, QWidget* dialog) {
    if (!dialog || !dialog->isVisible())
        return;
    const QRect found = SelectionOnScreen(view);
    const QRect frame = dialog->frameGeometry();
    if (!frame.intersects(found))
        return;
    const QScreen* screen = dialog->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const int above = found.top() - frame.height();
    const int below = found.bottom() + 1;
    int y = above;
    if (area.isValid() && above < area.top()) {
        // Below when it fits there, else on the side with more room.
        const bool fitsBelow = below + frame.height() <= area.bottom() + 1;
        y = fitsBelow || area.bottom() + 1 - below > found.top() - area.top() ? below : above;
    }
    dialog->move(frame.left(), y);
}

// The last search and the dialog of one pane; lives as the pane's child.
class CFindController : public QObject {
public:
    explicit CFindController(CEditorView* view) : QObject(view), m_view(view) {
        setObjectName(u"findController"_s);
    }

    static CFindController* Of(const CEditorView* view) {
        return view->findChild<CFindController*>(u"findController"_s, Qt::FindDirectChildrenOnly);
    }
    static CFindController* Get(CEditorView* view) {
        CFindController* controller = Of(view);
        return controller ? controller : new CFindController(view);
    }

    CFindReplaceDlg* Dialog() const { return m_dialog; }

    void Open(bool findOnly) {
        // What an open dialog holds, searched for or not, goes on: into the
        // same dialog, or into the other one that takes its place.
        FindOptions options = m_last;
        if (m_dialog) {
            const FindOptions shown = m_dialog->Options();
            options.what = shown.what;
            options.matchCase = shown.matchCase;
            options.wholeWord = shown.wholeWord;
            if (m_dialog->IsFindOnly())
                options.down = shown.down;
            else
                m_replaceWith = m_dialog->ReplaceWith(); // only the replace dialog shows it
        }
        if (m_dialog && m_dialog->IsFindOnly() != findOnly)
            CloseDialog();
        if (!m_dialog) {
            m_dialog = new CFindReplaceDlg(findOnly, m_view->window());
            connect(m_dialog, &CFindReplaceDlg::findNextClicked, this,
                    &CFindController::OnFindNext);
            connect(m_dialog, &CFindReplaceDlg::replaceClicked, this, &CFindController::OnReplace);
            connect(m_dialog, &CFindReplaceDlg::replaceAllClicked, this,
                    &CFindController::OnReplaceAll);
            // A closed dialog is gone at once, though deleted later: the
            // next command opens a fresh one.
            connect(m_dialog, &QDialog::finished, this, [this, dialog = m_dialog.data()] {
                if (m_dialog == dialog)
                    m_dialog = nullptr;
            });
            connect(m_dialog, &QDialog::finished, m_dialog, &QObject::deleteLater);
            // Back to the pane, with the found text selected.
            connect(m_dialog, &QDialog::finished, m_view, [view = m_view] {
                view->window()->activateWindow();
                view->setFocus();
            });
        }
        // A selection on one line is what the user wants to look for.
        const QString selected = m_view->GetSelectedText();
        if (!selected.isEmpty() && !selected.contains(u'\r') && !selected.contains(u'\n'))
            options.what = selected;
        m_dialog->SetOptions(options, m_replaceWith);
        m_dialog->show();
        m_dialog->raise();
        m_dialog->activateWindow();
    }

    void CloseDialog() {
        if (m_dialog) {
            CFindReplaceDlg* dialog = m_dialog;
            m_dialog = nullptr;
            dialog->close();
        }
    }

    // F3: the last search once more, in its direction; without one, the
    // find dialog.
    void Repeat() {
        if (m_last.what.isEmpty()) {
            Open(true);
            return;
        }
        if (!FindNextInView(m_view, m_last))
            Beep();
        else
            MoveOffSelection(m_view, m_dialog);
    }

private:
    void TakeOptions() {
        m_last = m_dialog->Options();
        m_replaceWith = m_dialog->ReplaceWith();
    }
    void OnFindNext() {
        TakeOptions();
        if (!FindNextInView(m_view, m_last))
            Beep();
        else
            MoveOffSelection(m_view, m_dialog);
    }
    void OnReplace() {
        TakeOptions();
        if (!ReplaceInView(m_view, m_last, m_replaceWith))
            Beep();
        else
            MoveOffSelection(m_view, m_dialog);
    }
    void OnReplaceAll() {
        TakeOptions();
        if (ReplaceAllInView(m_view, m_last, m_replaceWith) == 0)
            Beep();
    }

    CEditorView* m_view;
    QPointer<CFindReplaceDlg> m_dialog;
    FindOptions m_last;
    QString m_replaceWith;
};

} // namespace

bool FindNextInView(CEditorView* view, const FindOptions& options) {
    const QString& text = CTextCache::TextOf(view);
    const QTextCursor c = view->textCursor();
    const auto match = FindNext(text, options, view->TextPosition(c.selectionStart()),
                                view->TextPosition(c.selectionEnd()));
    if (!match)
        return false;
    Select(view, match->start, match->end());
    return true;
}

bool ReplaceInView(CEditorView* view, const FindOptions& options, const QString& with) {
    QTextCursor c = view->textCursor();
    const QString needle = ToPaneText(options.what);
    const qsizetype start = view->TextPosition(c.selectionStart());
    if (c.hasSelection() && view->TextPosition(c.selectionEnd()) - start == needle.size()) {
        const QString& text = CTextCache::TextOf(view);
        if (MatchesAt(text, start, needle, options)) {
            view->InsertText(c, WithoutLoneHighSurrogates(ToPaneText(with)));
            view->setTextCursor(c);
        }
    }
    FindOptions down = options;
    down.down = true;
    return FindNextInView(view, down);
}

qsizetype ReplaceAllInView(CEditorView* view, const FindOptions& options, const QString& with) {
    const QString text = CTextCache::TextOf(view); // shared: the edit empties the cache
    const QList<Match> matches = FindAll(text, options);
    if (matches.isEmpty())
        return 0;
    // One edit from the first match to the end of the last: one undo step,
    // and quick however many matches there are.
    const QString replacement = WithoutLoneHighSurrogates(ToPaneText(with));
    QTextCursor c(view->document());
    c.setPosition(view->PanePosition(matches.first().start));
    c.setPosition(view->PanePosition(matches.last().end()), QTextCursor::KeepAnchor);
    view->InsertText(c, ReplaceSpan(text, matches, replacement));
    view->setTextCursor(c);
    return matches.size();
}

CFindReplaceDlg* OpenDialog(const CEditorView* view) {
    const CFindController* controller = CFindController::Of(view);
    return controller ? controller->Dialog() : nullptr;
}

void CloseDialog(CEditorView* view) {
    if (CFindController* controller = CFindController::Of(view))
        controller->CloseDialog();
}

BeepFunction SetBeep(BeepFunction beep) {
    BeepFunction previous = g_beep;
    g_beep = beep;
    return previous;
}

} // namespace find

CFindCommands::CFindCommands(CEditorView& view) : m_view(view) {
    OnCommand(ID_EDIT_FIND, [this] { OnEditFind(); });
    OnCommand(ID_EDIT_REPEAT, [this] { OnEditRepeat(); });
    OnCommand(ID_EDIT_REPLACE, [this] { OnEditReplace(); });
}

void CFindCommands::OnEditFind() {
    find::CFindController::Get(&m_view)->Open(true);
}

void CFindCommands::OnEditRepeat() {
    find::CFindController::Get(&m_view)->Repeat();
}

void CFindCommands::OnEditReplace() {
    find::CFindController::Get(&m_view)->Open(false);
}
