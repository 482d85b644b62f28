#include "dict/DictionaryCommand.h"

#include "dict/CTagDictionaryDlg.h"
#include "dict/TagDictionary.h"
#include "doc/CEditorView.h"
#include "res/CommandIds.h"

CDictionaryCommands::CDictionaryCommands(CEditorView& view) : m_view(view) {
    OnCommand(ID_TAG_DICTIONARY, [this] { OnTagDictionary(); });
}

void CDictionaryCommands::OnTagDictionary() {
    CTagDictionaryDlg dlg(m_view.window());
    dlg.m_selectedText = m_view.GetSelectedText();
    const dict::Lookup found = dict::LookUp(dlg.m_selectedText);
    dlg.m_tag = found.tag;
    dlg.m_description = found.description;
    m_view.Invalidate();
    // Whatever the user typed into the dialog goes nowhere.
    dlg.exec();
}
