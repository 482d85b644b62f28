#include "doc/CEditorView.h"

void CEditorView::BindWrapCommands() {}
