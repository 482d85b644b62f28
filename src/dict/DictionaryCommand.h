#pragma once

// dict: the tag dictionary and its dialog and command.
// May include print, find, doc, io and res.

#include "doc/CmdTarget.h"

class CEditorView;

// The tag dictionary command of one pane: it looks up the view's selection.
class CDictionaryCommands : public CCmdTarget {
public:
    explicit CDictionaryCommands(CEditorView& view);

    void OnTagDictionary();

private:
    CEditorView& m_view;
};
