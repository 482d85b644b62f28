#include "doc/CEditorView.h"

#include "dict/CTagDictionaryDlg.h"
#include "dict/TagDictionary.h"
#include "res/CommandIds.h"

void CEditorView::BindDictionaryCommand() {
    OnCommand(ID_TAG_DICTIONARY, [this] { OnTagDictionary(); });
}

void CEditorView::OnTagDictionary() {
    CTagDictionaryDlg dlg(window());
    dlg.m_selectedText = GetSelectedText();
    const dict::Lookup found = dict::LookUp(dlg.m_selectedText);
    dlg.m_tag = found.tag;
    dlg.m_description = found.description;
    Invalidate();
    // Whatever the user typed into the dialog goes nowhere.
    dlg.exec();
}
