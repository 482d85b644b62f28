#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

// Command identifiers: the program's own (32768..32809) and the standard ones
// of the file, edit, window and help commands.
enum CommandId : int {
    ID_NONE = 0,

    // The program's own commands
    ID_CANCEL_EDIT = 32768, // Esc: bound, never handled
    ID_NEW_HTML_DOCUMENT = 32771,
    ID_LINE_BREAK = 32772,
    ID_FONT_TAG = 32773,
    ID_UNUSED_32774 = 32774,
    ID_BOLD = 32775,
    ID_ITALIC = 32776,
    ID_UNDERLINE = 32777,
    ID_CENTER = 32778,
    ID_MAIL_TAG = 32780,
    ID_HR_TAG = 32781,
    ID_IMAGE_TAG = 32782,
    ID_UNUSED_32783 = 32783,
    ID_LINK_PROMPT = 32784, // holds the prompt the link button shows; nothing invokes it
    ID_UNUSED_32785 = 32785,
    ID_LINK_TAG = 32786,
    ID_TAG_DICTIONARY = 32787,
    ID_UNUSED_32788 = 32788,
    ID_TABLE_TAG = 32789,
    ID_TABLE_ROW = 32790,
    ID_TABLE_DATA = 32791,
    ID_TABLE_HEADER = 32792,
    ID_COLOR_WHITE = 32793,
    ID_COLOR_GRAY = 32794,
    ID_COLOR_SILVER = 32795,
    ID_COLOR_MAROON = 32796,
    ID_COLOR_RED = 32797,
    ID_COLOR_GREEN = 32798,
    ID_COLOR_LIME = 32799,
    ID_COLOR_NAVY = 32800,
    ID_COLOR_BLUE = 32801,
    ID_COLOR_OLIVE = 32802,
    ID_COLOR_YELLOW = 32803,
    ID_COLOR_TEAL = 32804,
    ID_COLOR_AQUA = 32805,
    ID_COLOR_PURPLE = 32806,
    ID_COLOR_FUCHSIA = 32807,
    ID_COLOR_BLACK = 32808,
    ID_COLOR_CODE = 32809,

    // Standard commands
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_FILE_MRU_FILE2 = 57617,
    ID_FILE_MRU_FILE3 = 57618,
    ID_FILE_MRU_FILE4 = 57619,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_FIND = 57636,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_REPEAT = 57640,
    ID_EDIT_REPLACE = 57641,
    ID_EDIT_SELECT_ALL = 57642,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};

constexpr int kRecentFileCount = 4;
