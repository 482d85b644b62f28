#include "tags/TagCommands.h"

#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "tags/ColorCode.h"
#include "tags/Palette.h"

void CTagCommands::BindColorCommands() {
    // The sixteen fixed colours have the identifiers from white to black.
    OnCommandRange(ID_COLOR_WHITE, ID_COLOR_BLACK, [this](int id) { OnFixedColor(id); });
    OnCommand(ID_COLOR_CODE, [this] { OnColorCode(); });
}

// The selection is replaced by the code; it is not looked at.
void CTagCommands::OnFixedColor(int id) {
    const QString code = tags::FixedColorCode(id);
    if (!code.isEmpty())
        m_view.ReplaceSelection(code, false);
}

// A cancelled chooser changes nothing, not even the selection.
void CTagCommands::OnColorCode() {
    const QString code = PickColorCode();
    if (code.isEmpty())
        return;
    m_view.ReplaceSelection(code, false);
}
