#include "tags/TagCommands.h"

#include "doc/CEditorView.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "tags/CFontTagDlg.h"
#include "tags/CHrTagDlg.h"
#include "tags/CHtmlTagDlg.h"
#include "tags/CImageTagDlg.h"
#include "tags/CLinkTagDlg.h"
#include "tags/CMailTagDlg.h"
#include "tags/CTableTagDlg.h"
#include "tags/TagText.h"

// Each command runs a fresh dialog owned by the main window and changes
// nothing unless it ends with OK; then the pane is repainted and the text
// takes the place of the selection.

void CTagCommands::BindDialogCommands() {
    OnCommand(ID_NEW_HTML_DOCUMENT, [this] { OnNewHtmlDocument(); });
    OnCommand(ID_FONT_TAG, [this] { OnFontTag(); });
    OnCommand(ID_LINK_TAG, [this] { OnLinkTag(); });
    OnCommand(ID_IMAGE_TAG, [this] { OnImageTag(); });
    OnCommand(ID_TABLE_TAG, [this] { OnTableTag(); });
    OnCommand(ID_HR_TAG, [this] { OnHrTag(); });
    OnCommand(ID_MAIL_TAG, [this] { OnMailTag(); });
}

void CTagCommands::OnNewHtmlDocument() {
    CHtmlTagDlg dlg(m_view.window());
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.Invalidate();
    tags::PageSkeleton page;
    page.doctype = dlg.m_doctype;
    page.background = dlg.m_background;
    page.text = dlg.m_textColor;
    page.link = dlg.m_linkColor;
    page.alink = dlg.m_alinkColor;
    page.vlink = dlg.m_vlinkColor;
    page.useDoctype = dlg.m_useDoctype != 0;
    page.useImage = dlg.m_useImage != 0;
    m_view.ReplaceSelection(tags::BuildPageSkeleton(page), false);
}

void CTagCommands::OnFontTag() {
    CFontTagDlg dlg(m_view.window());
    dlg.m_face = res::LoadString(res::IDS_DEFAULT_FONT_FACE);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const QString selection = m_view.GetSelectedText();
    m_view.Invalidate();
    tags::FontAttributes font;
    font.color = dlg.m_color;
    font.size = dlg.m_size;
    font.face = dlg.m_face;
    font.useColor = dlg.m_useColor != 0;
    font.useSize = dlg.m_useSize != 0;
    font.useFace = dlg.m_useFace != 0;
    m_view.ReplaceSelection(tags::BuildFontTag(font, selection), false);
}

void CTagCommands::OnLinkTag() {
    CLinkTagDlg dlg(m_view.window());
    dlg.m_text = m_view.GetSelectedText();
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.Invalidate();
    m_view.ReplaceSelection(
        tags::BuildLinkTag(dlg.m_location, dlg.m_text, dlg.m_target, dlg.m_useTarget != 0), false);
}

void CTagCommands::OnImageTag() {
    CImageTagDlg dlg(m_view.window());
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.Invalidate();
    tags::ImageAttributes image;
    image.location = dlg.m_location;
    image.height = dlg.m_height;
    image.width = dlg.m_width;
    image.border = dlg.m_border;
    image.useSize = dlg.m_useSize != 0;
    image.useBorder = dlg.m_useBorder != 0;
    m_view.ReplaceSelection(tags::BuildImageTag(image), false);
}

void CTagCommands::OnTableTag() {
    CTableTagDlg dlg(m_view.window());
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.Invalidate();
    tags::TableAttributes table;
    table.width = dlg.m_width;
    table.border = dlg.m_border;
    table.cellSpacing = dlg.m_cellSpacing;
    table.cellPadding = dlg.m_cellPadding;
    table.borderColor = dlg.m_borderColor;
    table.useWidth = dlg.m_useWidth != 0;
    table.useBorder = dlg.m_useBorder != 0;
    table.useCellSpacing = dlg.m_useCellSpacing != 0;
    table.useCellPadding = dlg.m_useCellPadding != 0;
    table.useBorderColor = dlg.m_useBorderColor != 0;
    m_view.ReplaceSelection(tags::BuildTableTag(table), false);
}

void CTagCommands::OnHrTag() {
    CHrTagDlg dlg(m_view.window());
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.Invalidate();
    m_view.ReplaceSelection(tags::BuildHrTag(dlg.m_size, dlg.m_width, dlg.m_useWidth != 0), false);
}

void CTagCommands::OnMailTag() {
    CMailTagDlg dlg(m_view.window());
    dlg.m_text = m_view.GetSelectedText();
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_view.Invalidate();
    m_view.ReplaceSelection(tags::BuildMailTag(dlg.m_address, dlg.m_text), false);
}
