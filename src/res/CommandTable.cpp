#include "res/CommandTable.h"

#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <algorithm>

namespace {

// clang-format off
const CommandInfo kCommands[] = {
    {ID_CANCEL_EDIT, 0},
    {ID_NEW_HTML_DOCUMENT, ID_NEW_HTML_DOCUMENT},
    {ID_LINE_BREAK, 0},
    {ID_FONT_TAG, ID_FONT_TAG},
    {ID_BOLD, ID_BOLD},
    {ID_ITALIC, ID_ITALIC},
    {ID_UNDERLINE, ID_UNDERLINE},
    {ID_CENTER, ID_CENTER},
    {ID_MAIL_TAG, ID_MAIL_TAG},
    {ID_HR_TAG, ID_HR_TAG},
    {ID_IMAGE_TAG, ID_IMAGE_TAG},
    // The link command has no prompt of its own; its button shows the one
    // stored for the link text, so that it explains itself like the others.
    {ID_LINK_TAG, ID_LINK_PROMPT},
    {ID_TAG_DICTIONARY, ID_TAG_DICTIONARY},
    {ID_TABLE_TAG, ID_TABLE_TAG},
    {ID_TABLE_ROW, ID_TABLE_ROW},
    {ID_TABLE_DATA, ID_TABLE_DATA},
    {ID_TABLE_HEADER, ID_TABLE_HEADER},
    {ID_COLOR_WHITE, ID_COLOR_WHITE},
    {ID_COLOR_GRAY, ID_COLOR_GRAY},
    {ID_COLOR_SILVER, ID_COLOR_SILVER},
    {ID_COLOR_MAROON, ID_COLOR_MAROON},
    {ID_COLOR_RED, ID_COLOR_RED},
    {ID_COLOR_GREEN, ID_COLOR_GREEN},
    {ID_COLOR_LIME, ID_COLOR_LIME},
    {ID_COLOR_NAVY, ID_COLOR_NAVY},
    {ID_COLOR_BLUE, ID_COLOR_BLUE},
    {ID_COLOR_OLIVE, ID_COLOR_OLIVE},
    {ID_COLOR_YELLOW, ID_COLOR_YELLOW},
    {ID_COLOR_TEAL, ID_COLOR_TEAL},
    {ID_COLOR_AQUA, ID_COLOR_AQUA},
    {ID_COLOR_PURPLE, ID_COLOR_PURPLE},
    {ID_COLOR_FUCHSIA, ID_COLOR_FUCHSIA},
    {ID_COLOR_BLACK, ID_COLOR_BLACK},
    {ID_COLOR_CODE, ID_COLOR_CODE},

    {ID_FILE_NEW, ID_FILE_NEW},
    {ID_FILE_OPEN, ID_FILE_OPEN},
    {ID_FILE_SAVE, ID_FILE_SAVE},
    {ID_FILE_SAVE_AS, ID_FILE_SAVE_AS},
    {ID_FILE_PRINT_SETUP, ID_FILE_PRINT_SETUP},
    {ID_FILE_PRINT, ID_FILE_PRINT},
    {ID_FILE_PRINT_DIRECT, 0},
    {ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_PREVIEW},
    {ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE1},
    {ID_FILE_MRU_FILE2, ID_FILE_MRU_FILE2},
    {ID_FILE_MRU_FILE3, ID_FILE_MRU_FILE3},
    {ID_FILE_MRU_FILE4, ID_FILE_MRU_FILE4},
    {ID_APP_EXIT, ID_APP_EXIT},
    {ID_EDIT_UNDO, ID_EDIT_UNDO},
    {ID_EDIT_CUT, ID_EDIT_CUT},
    {ID_EDIT_COPY, ID_EDIT_COPY},
    {ID_EDIT_PASTE, ID_EDIT_PASTE},
    {ID_EDIT_SELECT_ALL, ID_EDIT_SELECT_ALL},
    {ID_EDIT_FIND, ID_EDIT_FIND},
    {ID_EDIT_REPEAT, ID_EDIT_REPEAT},
    {ID_EDIT_REPLACE, ID_EDIT_REPLACE},
    {ID_NEXT_PANE, ID_NEXT_PANE},
    {ID_PREV_PANE, ID_PREV_PANE},
    {ID_APP_ABOUT, ID_APP_ABOUT},
};
// clang-format on

const CommandInfo* Find(int id) {
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [id](const CommandInfo& c) { return c.id == id; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

} // namespace

std::span<const CommandInfo> AllCommands() { return kCommands; }

bool IsKnownCommand(int id) { return Find(id) != nullptr; }

QString CommandPrompt(int id) {
    const CommandInfo* c = Find(id);
    return c && c->promptString ? res::StringField(c->promptString, 0) : QString();
}

QString CommandTooltip(int id) {
    const CommandInfo* c = Find(id);
    return c && c->promptString ? res::StringField(c->promptString, 1) : QString();
}
