#include "doc/CEditorView.h"

void CEditorView::BindDialogCommands() {}
