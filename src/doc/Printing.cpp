#include "doc/CEditorView.h"

void CEditorView::BindPrintCommands() {}
