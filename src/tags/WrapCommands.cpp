#include "tags/TagCommands.h"

#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "tags/WrapText.h"

void CTagCommands::WrapSelection(int id) {
    m_view.ReplaceSelection(tags::WrapText(id, m_view.GetSelectedText()), false);
}

void CTagCommands::BindWrapCommands() {
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
void CTagCommands::OnLineBreak() {
    m_view.ReplaceSelection(tags::LineBreakText(), false);
}

void CTagCommands::OnBold() {
    WrapSelection(ID_BOLD);
}
void CTagCommands::OnItalic() {
    WrapSelection(ID_ITALIC);
}
void CTagCommands::OnUnderline() {
    WrapSelection(ID_UNDERLINE);
}
void CTagCommands::OnCenter() {
    WrapSelection(ID_CENTER);
}
void CTagCommands::OnTableRow() {
    WrapSelection(ID_TABLE_ROW);
}
void CTagCommands::OnTableData() {
    WrapSelection(ID_TABLE_DATA);
}
void CTagCommands::OnTableHeader() {
    WrapSelection(ID_TABLE_HEADER);
}
