#include "doc/CEditorView.h"

#include "res/CommandIds.h"
#include "tags/ColorCode.h"
#include "tags/Palette.h"

void CEditorView::BindColorCommands() {
    // The sixteen fixed colours have the identifiers from white to black.
    OnCommandRange(ID_COLOR_WHITE, ID_COLOR_BLACK, [this](int id) { OnFixedColor(id); });
    OnCommand(ID_COLOR_CODE, [this] { OnColorCode(); });
}

// The selection is replaced by the code; it is not looked at.
void CEditorView::OnFixedColor(int id) {
    const QString code = tags::FixedColorCode(id);
    if (!code.isEmpty())
        ReplaceSelection(code, false);
}

// A cancelled chooser changes nothing, not even the selection.
void CEditorView::OnColorCode() {
    const QString code = PickColorCode();
    if (code.isEmpty())
        return;
    ReplaceSelection(code, false);
}
