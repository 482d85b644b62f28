#include "doc/FindReplace.h"

#include "doc/CEditorView.h"
#include "doc/CFindReplaceDlg.h"
#include "doc/CommandIds.h"

#include <QApplication>
#include <QPointer>
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
    static const QString& TextOf(QTextDocument* document) {
        auto* cache =
            document->findChild<CTextCache*>(u"findTextCache"_s, Qt::FindDirectChildrenOnly);
        if (!cache)
            cache = new CTextCache(document);
        if (!cache->m_valid) {
            cache->m_text = document->toRawText();
            cache->m_valid = true;
        }
        return cache->m_text;
    }

private:
    QString m_text;
    bool m_valid = false;
};

void Select(CEditorView* view, qsizetype start, qsizetype end) {
    QTextCursor c = view->textCursor();
    c.setPosition(int(start));
    c.setPosition(int(end), QTextCursor::KeepAnchor);
    view->setTextCursor(c); // also scrolls it into view
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
        if (m_dialog && m_dialog->IsFindOnly() != findOnly)
            CloseDialog();
        if (!m_dialog) {
            m_dialog = new CFindReplaceDlg(findOnly, m_view->window());
            connect(m_dialog, &CFindReplaceDlg::findNextClicked, this,
                    &CFindController::OnFindNext);
            connect(m_dialog, &CFindReplaceDlg::replaceClicked, this, &CFindController::OnReplace);
            connect(m_dialog, &CFindReplaceDlg::replaceAllClicked, this,
                    &CFindController::OnReplaceAll);
            connect(m_dialog, &QDialog::finished, m_dialog, &QObject::deleteLater);
            // Back to the pane, with the found text selected.
            connect(m_dialog, &QDialog::finished, m_view, [view = m_view] {
                view->window()->activateWindow();
                view->setFocus();
            });
        }
        // A selection on one line is what the user wants to look for.
        FindOptions options = m_last;
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
    }
    void OnReplace() {
        TakeOptions();
        if (!ReplaceInView(m_view, m_last, m_replaceWith))
            Beep();
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
    const QString& text = CTextCache::TextOf(view->document());
    const QTextCursor c = view->textCursor();
    const auto match = FindNext(text, options, c.selectionStart(), c.selectionEnd());
    if (!match)
        return false;
    Select(view, match->start, match->end());
    return true;
}

bool ReplaceInView(CEditorView* view, const FindOptions& options, const QString& with) {
    QTextCursor c = view->textCursor();
    const QString needle = ToPaneText(options.what);
    if (c.hasSelection() && c.selectionEnd() - c.selectionStart() == needle.size()) {
        const QString& text = CTextCache::TextOf(view->document());
        if (MatchesAt(text, c.selectionStart(), needle, options)) {
            c.insertText(WithoutLoneHighSurrogates(ToPaneText(with)));
            view->setTextCursor(c);
        }
    }
    FindOptions down = options;
    down.down = true;
    return FindNextInView(view, down);
}

qsizetype ReplaceAllInView(CEditorView* view, const FindOptions& options, const QString& with) {
    const QString text = CTextCache::TextOf(view->document()); // shared: the edit empties the cache
    const QList<Match> matches = FindAll(text, options);
    if (matches.isEmpty())
        return 0;
    // One edit from the first match to the end of the last: one undo step,
    // and quick however many matches there are.
    const QString replacement = WithoutLoneHighSurrogates(ToPaneText(with));
    QTextCursor c(view->document());
    c.beginEditBlock();
    c.setPosition(int(matches.first().start));
    c.setPosition(int(matches.last().end()), QTextCursor::KeepAnchor);
    c.insertText(ReplaceSpan(text, matches, replacement));
    c.endEditBlock();
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

void CEditorView::BindFindCommands() {
    OnCommand(ID_EDIT_FIND, [this] { OnEditFind(); });
    OnCommand(ID_EDIT_REPEAT, [this] { OnEditRepeat(); });
    OnCommand(ID_EDIT_REPLACE, [this] { OnEditReplace(); });
}

void CEditorView::OnEditFind() {
    find::CFindController::Get(this)->Open(true);
}

void CEditorView::OnEditRepeat() {
    find::CFindController::Get(this)->Repeat();
}

void CEditorView::OnEditReplace() {
    find::CFindController::Get(this)->Open(false);
}
