#include "doc/CEditorView.h"

#include "res/CommandIds.h"
#include "tags/WrapText.h"

namespace {

void WrapSelection(CEditorView* view, int id) {
    view->ReplaceSelection(tags::WrapText(id, view->GetSelectedText()), false);
}

} // namespace

void CEditorView::BindWrapCommands() {
    OnCommand(ID_LINE_BREAK, [this] { OnLineBreak(); });
    OnCommand(ID_BOLD, [this] { OnBold(); });
    OnCommand(ID_ITALIC, [this] { OnItalic(); });
    OnCommand(ID_UNDERLINE, [this] { OnUnderline(); });
    OnCommand(ID_CENTER, [this] { OnCenter(); });
    OnCommand(ID_TABLE_ROW, [this] { OnTableRow(); });
    OnCommand(ID_TABLE_DATA, [this] { OnTableData(); });
    OnCommand(ID_TABLE_HEADER, [this] { OnTableHeader(); });
}

// The selected text is replaced, not kept.
void CEditorView::OnLineBreak() {
    ReplaceSelection(tags::LineBreakText(), false);
}

void CEditorView::OnBold() {
    WrapSelection(this, ID_BOLD);
}
void CEditorView::OnItalic() {
    WrapSelection(this, ID_ITALIC);
}
void CEditorView::OnUnderline() {
    WrapSelection(this, ID_UNDERLINE);
}
void CEditorView::OnCenter() {
    WrapSelection(this, ID_CENTER);
}
void CEditorView::OnTableRow() {
    WrapSelection(this, ID_TABLE_ROW);
}
void CEditorView::OnTableData() {
    WrapSelection(this, ID_TABLE_DATA);
}
void CEditorView::OnTableHeader() {
    WrapSelection(this, ID_TABLE_HEADER);
}
