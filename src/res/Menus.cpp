#include "res/Menus.h"

#include "res/CommandIds.h"

namespace res {
namespace {

// clang-format off
const MenuItem kFileMenu[] = {
    {ID_FILE_NEW, u"新規作成(&N)\tCtrl+N"},
    {ID_FILE_OPEN, u"開く(&O)...\tCtrl+O"},
    {ID_FILE_SAVE, u"上書き保存(&S)\tCtrl+S"},
    {ID_FILE_SAVE_AS, u"名前を付けて保存(&A)..."},
    {0, nullptr},
    {ID_FILE_PRINT, u"印刷(&P)...\tCtrl+P"},
    {ID_FILE_PRINT_PREVIEW, u"印刷ﾌﾟﾚﾋﾞｭｰ(&V)"},
    {ID_FILE_PRINT_SETUP, u"ﾌﾟﾘﾝﾀの設定(&R)..."},
    {0, nullptr},
    {ID_FILE_MRU_FILE1, u"最近使ったﾌｧｲﾙ"},
    {0, nullptr},
    {ID_APP_EXIT, u"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"},
};

const MenuItem kEditMenu[] = {
    {ID_EDIT_UNDO, u"元に戻す(&U)\tCtrl+Z"},
    {0, nullptr},
    {ID_EDIT_CUT, u"切り取り(&T)\tCtrl+X"},
    {ID_EDIT_COPY, u"ｺﾋﾟｰ(&C)\tCtrl+C"},
    {ID_EDIT_PASTE, u"貼り付け(&P)\tCtrl+V"},
    {ID_EDIT_SELECT_ALL, u"すべて選択(&L)\tCtrl+A"},
    {0, nullptr},
    {ID_EDIT_FIND, u"検索(&F)...\tCtrl+F"},
    {ID_EDIT_REPEAT, u"次を検索(&I)\tF3"},
    {ID_EDIT_REPLACE, u"置換(&E)\tCtrl+H"},
};

const MenuItem kHelpMenu[] = {
    {ID_APP_ABOUT, u"バージョン情報(&A)..."},
};

const Menu kMainMenu[] = {
    {u"ﾌｧｲﾙ(&F)", kFileMenu},
    {u"編集(&E)", kEditMenu},
    {u"ﾍﾙﾌﾟ(&H)", kHelpMenu},
};

constexpr Qt::KeyboardModifier Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifier Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifier Alt = Qt::AltModifier;

const Accelerator kMainAccelerators[] = {
    {Ctrl | Qt::Key_A, ID_EDIT_SELECT_ALL},
    {Ctrl | Qt::Key_C, ID_EDIT_COPY},
    {Ctrl | Qt::Key_F, ID_EDIT_FIND},
    {Ctrl | Qt::Key_H, ID_EDIT_REPLACE},
    {Ctrl | Qt::Key_N, ID_FILE_NEW},
    {Ctrl | Qt::Key_O, ID_FILE_OPEN},
    {Ctrl | Qt::Key_P, ID_FILE_PRINT},
    {Ctrl | Qt::Key_S, ID_FILE_SAVE},
    {Ctrl | Qt::Key_V, ID_EDIT_PASTE},
    {Alt | Qt::Key_Backspace, ID_EDIT_UNDO},
    {Shift | Qt::Key_Delete, ID_EDIT_CUT},
    {QKeyCombination(Qt::Key_Escape), ID_CANCEL_EDIT},
    {QKeyCombination(Qt::Key_F3), ID_EDIT_REPEAT},
    {QKeyCombination(Qt::Key_F6), ID_NEXT_PANE},
    {Shift | Qt::Key_F6, ID_PREV_PANE},
    {Ctrl | Qt::Key_Insert, ID_EDIT_COPY},
    {Shift | Qt::Key_Insert, ID_EDIT_PASTE},
    {Ctrl | Qt::Key_Return, ID_LINE_BREAK},
    {Ctrl | Qt::Key_X, ID_EDIT_CUT},
    {Ctrl | Qt::Key_Z, ID_EDIT_UNDO},
};
// clang-format on

} // namespace

std::span<const Menu> MainMenu() { return kMainMenu; }

std::span<const Accelerator> MainAccelerators() { return kMainAccelerators; }

QString MenuLabel(const MenuItem& item) {
    return QString::fromUtf16(item.text).section(u'\t', 0, 0);
}

} // namespace res
