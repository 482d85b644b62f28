#pragma once

// find: plain-string search and the find/replace dialogs and commands.
// May include doc, io and res.

#include "doc/CmdTarget.h"
#include "find/FindText.h"

class CEditorView;
class CFindReplaceDlg;

// Find and replace in the pane. Searching goes through the pane's whole text
// as plain strings; a match is selected and scrolled into view.
namespace find {

// Selects the next match (see FindNext for direction and wrapping); false,
// with the selection left as it was, when the text holds none.
bool FindNextInView(CEditorView* view, const FindOptions& options);

// When the selection is a match, replaces it with `with` as one undo step;
// then selects the next match downwards. False when no match is left to
// select.
bool ReplaceInView(CEditorView* view, const FindOptions& options, const QString& with);

// Replaces every match in the whole text as one undo step and leaves the
// caret after the last replacement; returns how many were replaced.
qsizetype ReplaceAllInView(CEditorView* view, const FindOptions& options, const QString& with);

// The find or replace dialog that is open for `view`, if any.
CFindReplaceDlg* OpenDialog(const CEditorView* view);
// Closes that dialog.
void CloseDialog(CEditorView* view);

// The sound made when nothing (more) is found; returns the previous one.
using BeepFunction = void (*)();
BeepFunction SetBeep(BeepFunction beep);

} // namespace find

// The find and replace commands of one pane: the dialogs search the view's
// text and select what they find.
class CFindCommands : public CCmdTarget {
public:
    explicit CFindCommands(CEditorView& view);

    void OnEditFind();
    void OnEditRepeat();
    void OnEditReplace();

private:
    CEditorView& m_view;
};
