#include "doc/CEditorView.h"

void CEditorView::BindDictionaryCommand() {}
