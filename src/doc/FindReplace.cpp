#include "doc/CEditorView.h"

void CEditorView::BindFindCommands() {}
