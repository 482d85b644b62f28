#pragma once

// tags: tag commands, their text builders, dialogs and colours.
// May include dict, print, find, doc, io and res.

#include "doc/CmdTarget.h"

class CEditorView;

// The tag commands and the colour codes of one pane: each reads and replaces
// the selection of the view it serves. The main window routes to it right
// after the view.
class CTagCommands : public CCmdTarget {
public:
    explicit CTagCommands(CEditorView& view) : m_view(view) {
        BindWrapCommands();
        BindColorCommands();
        BindDialogCommands();
    }

    // Wrapping and fixed insertion (tags/WrapCommands.cpp)
    void OnLineBreak();
    void OnBold();
    void OnItalic();
    void OnUnderline();
    void OnCenter();
    void OnTableRow();
    void OnTableData();
    void OnTableHeader();

    // Colour codes (tags/ColorCommands.cpp)
    void OnFixedColor(int id);
    void OnColorCode();

    // Tag dialogs (tags/DialogCommands.cpp)
    void OnNewHtmlDocument();
    void OnFontTag();
    void OnLinkTag();
    void OnImageTag();
    void OnTableTag();
    void OnHrTag();
    void OnMailTag();

private:
    // Each group is bound in the file of its handlers.
    void BindWrapCommands();
    void BindColorCommands();
    void BindDialogCommands();
    void WrapSelection(int id);

    CEditorView& m_view;
};
