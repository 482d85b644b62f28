#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

#include <QString>

// The string table: every text the program shows, under its identifier.
// Command prompts are stored under their command identifier as
// "status-bar text\ntooltip".
namespace res {

enum StringId : int {
    IDP_OLE_INIT_FAILED = 104,
    IDR_MAINFRAME = 128, // document string: seven fields separated by '\n'

    IDS_APP_TITLE = 57344,
    IDS_IDLE_MESSAGE = 57345,
    IDS_INDICATOR_CAPS = 59137,
    IDS_INDICATOR_NUM = 59138,
    IDS_INDICATOR_SCRL = 59139,
    IDS_INDICATOR_KANA = 59142,
    IDS_UNTITLED = 61443,
    IDS_UNREG_DONE = 61707,
    IDS_UNREG_FAILURE = 61708,

    // Framework texts without a published identifier
    IDP_ASK_TO_SAVE = 61750,
    IDP_FAILED_TO_OPEN_DOC,
    IDP_FAILED_TO_SAVE_DOC,
    IDP_FAILED_TO_CREATE_DOC,
    IDP_FILE_NOT_FOUND,
    IDP_FILE_BAD_PATH,
    IDP_FILE_TOO_MANY_OPEN,
    IDP_FILE_ACCESS_DENIED,
    IDP_FILE_SHARING,
    IDP_FILE_LOCKING,
    IDP_FILE_DISKFULL,
    IDP_FILE_HARD_IO,
    IDP_FILE_GENERIC,
    IDS_SAVEFILE_TITLE,
    IDS_ALL_FILTER,
    IDS_RECENT_FILE_PLACEHOLDER,

    // The program's own texts
    IDS_OPEN_FILTER_HTML = 62000,
    IDS_OPEN_FILTER_ALL,
    IDP_FILE_TOO_LARGE,
    IDP_UNENCODABLE,
    IDP_UNENCODABLE_MORE,
    IDS_WRITE_REFERENCES,
    IDP_SAVED_FILE_DIFFERS,
    IDP_FILE_NOT_RESTORED,

    // Recovery journals
    IDP_RECOVER_ASK = 63000,
    IDS_RECOVER_DISCARD,
    IDP_RECOVER_DISCARD_CONFIRM,
    IDP_FILE_IN_USE,
    IDS_JOURNAL_WRITE_FAILED,
    IDS_JOURNAL_TIME_FORMAT,
    IDS_JOURNAL_EDITS_STOPPED,

    // Saves cut off by the end of the program; the state folder
    IDP_SAVE_INTERRUPTED_RESTORED = 63100,
    IDP_SAVE_INTERRUPTED_LEFT_ALONE,
    IDP_SAVE_INTERRUPTED_NOT_RESTORED,
    IDP_SAFETY_COPY_FAILED,
    IDS_STATE_FOLDER_NOT_USED,
    IDS_FOLDER_IS_LINK,
    IDS_FOLDER_NOT_OWN,
    IDS_FOLDER_OPEN,
    IDS_STATE_FOLDER_UNUSABLE,
    IDS_LOCK_NOT_WRITTEN,

    // Files changed by other programs; text that would read back otherwise
    IDP_FILE_CHANGED_ON_SAVE = 62100,
    IDP_FILE_CHANGED_RELOAD,
    IDS_CHANGES_WILL_BE_LOST,
    IDP_ROUND_TRIP_DIFFERS,
    IDS_WRITE_ANYWAY,

    // Tag dictionary and about box
    IDS_DICT_NOTHING_SELECTED = 62600,
    IDS_DICT_NOT_FOUND,
    IDS_DICT_CONTACT,
    IDS_ABOUT_HOME_PAGE,
    IDS_ABOUT_MAIL,
    IDS_ABOUT_GRAPHICS_PAGE,

    // Tag dialogs
    IDS_DEFAULT_FONT_FACE = 62400,
    IDS_LABEL_BGCOLOR,
    IDS_LABEL_BACKGROUND,

    // Main frame bars
    IDS_MAIN_TOOLBAR_TITLE = 62200,
    IDS_COLOR_BAR_TITLE,

    // Printing, print preview, find and replace
    IDS_PRINT_PORT = 62800,
    IDS_PRINT_PAGE,
    IDS_PREVIEW_TWO_PAGE_NUMBERS,
    IDS_PREVIEW_ONE_PAGE,
    IDS_PREVIEW_TWO_PAGES,
    IDS_PRINT_TO_FILE_TITLE,
    IDS_PRINT_FILE_FILTER,
    IDS_PRINT_FILE_NAME,
    IDS_PRINT_FILE_PRINTER,
    IDP_NO_PRINTER,
    IDP_PRINTER_NOT_FOUND,
    IDP_PRINT_FAILED,
    IDP_PRINT_NO_PAGES,
    IDP_NO_DEFAULT_PRINTER,
    IDS_LOADING, // the message pane while a file is read: %1 percent done

    // The encoding pane of the status bar and its menu
    IDS_ENCODING_PANE = 63900, // the pane's accessible name
    IDS_ENCODING_DECLARED,     // %1 the encoding used, %2 the one the page declares
    IDS_REOPEN_IN_ENCODING,
    IDS_CONVERT_TO_ENCODING,
    IDP_UNENCODABLE_IN,        // as IDP_UNENCODABLE, %6 the encoding
    IDP_UNENCODABLE_MORE_IN,   // as IDP_UNENCODABLE_MORE, %6 the encoding
    // The HTML check: its status-bar pane and its list
    IDS_CHECK_PANE = 63500,
    IDS_CHECK_PROBLEMS, // %1 problems
    IDS_CHECK_NONE,
    IDS_CHECK_OFF,
    IDS_CHECK_TOO_LARGE,
    IDS_CHECK_WAITING,
    IDS_CHECK_ENABLE,
    IDS_CHECK_LIST_TITLE,
    IDS_CHECK_COLUMNS, // the list's column headings, '\n'-separated
    // The colouring pane of the status bar
    IDS_COLOURING_PANE = 63950, // the pane's accessible name
    IDS_COLOURING_ON,
    IDS_COLOURING_OFF,
};

// The text stored under `id`; empty when there is none.
QString LoadString(int id);

// Field `index` (0-based) of a '\n'-separated resource string.
QString StringField(int id, int index);

} // namespace res
