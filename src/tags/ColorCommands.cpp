#include "doc/CEditorView.h"

void CEditorView::BindColorCommands() {}
