#include "res/StringTable.h"

#include <iterator>

#include <QHash>

using namespace Qt::StringLiterals;

namespace res {
namespace {

struct Entry {
    int id;
    const char16_t* text;
};

// clang-format off
constexpr Entry kStrings[] = {
    {IDP_OLE_INIT_FAILED, u"OLE の初期化に失敗しました。 OLE ﾗｲﾌﾞﾗﾘのﾊﾞｰｼﾞｮﾝが正しいことを確認してください。"},
    {IDR_MAINFRAME, u"Velm HTML Editor\n\nEditor\nHTML Files (*.html;*.htm)\n.html\nEditor.Document\nEditor Document"},

    // Command prompts: status-bar text, then the tooltip after the line break
    {32771, u"新規HTML文書を作成します。\n新規HTML文書作成"},
    {32773, u"フォントタグを挿入します。\nフォントタグ"},
    {32775, u"選択された文字を<B>で囲みます。\n太字"},
    {32776, u"選択された文字を<I>で囲みます。\n斜体"},
    {32777, u"選択された文字を<U>で囲みます。\nアンダーライン"},
    {32778, u"選択された文字を<CENTER>で囲みます。\nセンター"},
    {32780, u"MAILTOタグを挿入します。\nEメール"},
    {32781, u"<HR>タグを挿入します。\n線"},
    {32782, u"画像タグを挿入します。\n画像挿入"},
    {32784, u"選択された文字をリンクタグで囲みます。\nリンクタグ挿入"},
    {32787, u"選択されたタグを辞書検索します。\nタグ辞書"},
    {32789, u"<TABLE>タグを挿入します。\nテーブル"},
    {32790, u"<TR>タグを挿入します。\nTRタグ挿入"},
    {32791, u"<TD>タグを挿入します。\nTDタグ挿入"},
    {32792, u"<TH>タグを挿入します。\nTHタグ挿入"},
    {32793, u"指定された色を挿入します。\n色挿入"},
    {32794, u"指定された色を挿入します。\n色挿入"},
    {32795, u"指定された色を挿入します。\n色挿入"},
    {32796, u"指定された色を挿入します。\n色挿入"},
    {32797, u"指定された色を挿入します。\n色挿入"},
    {32798, u"指定された色を挿入します。\n色挿入"},
    {32799, u"指定された色を挿入します。\n色挿入"},
    {32800, u"指定された色を挿入します。\n色挿入"},
    {32801, u"指定された色を挿入します。\n色挿入"},
    {32802, u"指定された色を挿入します。\n色挿入"},
    {32803, u"指定された色を挿入します。\n色挿入"},
    {32804, u"指定された色を挿入します。\n色挿入"},
    {32805, u"指定された色を挿入します。\n色挿入"},
    {32806, u"指定された色を挿入します。\n色挿入"},
    {32807, u"指定された色を挿入します。\n色挿入"},
    {32808, u"指定された色を挿入します。\n色挿入"},
    {32809, u"挿入したい色コードを挿入できます。\n色コード挿入"},

    {57600, u"新規にﾌｧｲﾙを作成\n新規ﾌｧｲﾙ"},
    {57601, u"既存のﾌｧｲﾙを開く\n開く"},
    {57603, u"作業中のﾌｧｲﾙを上書きして保存\n保存"},
    {57604, u"作業中のﾌｧｲﾙを新しい名前で保存\n名前をつけて保存"},
    {57606, u"ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更\n印刷設定"},
    {57607, u"作業中のﾌｧｲﾙを印刷\n印刷"},
    {57609, u"印刷ｲﾒｰｼﾞを表示\n印刷ﾌﾟﾚﾋﾞｭｰ"},
    {57616, u"指定のﾌｧｲﾙを開く"},
    {57617, u"指定のﾌｧｲﾙを開く"},
    {57618, u"指定のﾌｧｲﾙを開く"},
    {57619, u"指定のﾌｧｲﾙを開く"},
    {57634, u"選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ"},
    {57635, u"選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\n切り取り"},
    {57636, u"指定した文字列の検索\n検索"},
    {57637, u"ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け\n貼り付け"},
    {57640, u"直前に行った動作を繰り返す\n繰り返し"},
    {57641, u"指定した文字列を他の文字列で置換\n置換"},
    {57642, u"ﾌｧｲﾙ内のすべてを選択\nすべて選択"},
    {57643, u"直前に行った動作を元に戻す\n元に戻す"},
    {57664, u"ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
    {57665, u"ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了"},
    {57680, u"次のｳｨﾝﾄﾞｳに切り替える\n次のﾍﾟｲﾝ"},
    {57681, u"前のｳｨﾝﾄﾞｳに切り替える\n前のﾍﾟｲﾝ"},

    {IDS_APP_TITLE, u"Velm HTML Editor"},
    {IDS_IDLE_MESSAGE, u"ﾚﾃﾞｨ"},
    {IDS_INDICATOR_KANA, u"ｶﾅ"},
    {IDS_INDICATOR_CAPS, u"CAP"},
    {IDS_INDICATOR_NUM, u"NUM"},
    {IDS_INDICATOR_SCRL, u"SCRL"},
    {IDS_UNTITLED, u"無題"},
    {IDS_UNREG_DONE, u"ｼｽﾃﾑ ﾚｼﾞｽﾄﾘ ｴﾝﾄﾘは削除されています。また、INI ﾌｧｲﾙがある場合は、INI ﾌｧｲﾙも削除されました。"},
    {IDS_UNREG_FAILURE, u"一部のｼｽﾃﾑ ﾚｼﾞｽﾄﾘ ｴﾝﾄﾘ (または INI ﾌｧｲﾙ) は削除されませんでした。"},

    {IDP_ASK_TO_SAVE, u"%1 への変更を保存しますか?"},
    {IDP_FAILED_TO_OPEN_DOC, u"ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。"},
    {IDP_FAILED_TO_SAVE_DOC, u"ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。"},
    {IDP_FAILED_TO_CREATE_DOC, u"空のﾄﾞｷｭﾒﾝﾄの作成に失敗しました。"},
    {IDP_FILE_NOT_FOUND, u"%1 が見つかりませんでした。"},
    {IDP_FILE_BAD_PATH, u"%1 には無効なﾊﾟｽが含まれています。"},
    {IDP_FILE_TOO_MANY_OPEN, u"開いているﾌｧｲﾙが多すぎるため、%1 を開けませんでした。"},
    {IDP_FILE_ACCESS_DENIED, u"%1 へのｱｸｾｽは拒否されました。"},
    {IDP_FILE_SHARING, u"%1 へのｱｸｾｽ中に共有違反が発生しました。"},
    {IDP_FILE_LOCKING, u"%1 へのｱｸｾｽ中にﾛｯｸ違反が発生しました。"},
    {IDP_FILE_DISKFULL, u"%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
    {IDP_FILE_HARD_IO, u"%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。"},
    {IDP_FILE_GENERIC, u"%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"},
    {IDS_SAVEFILE_TITLE, u"名前を付けて保存"},
    {IDS_ALL_FILTER, u"すべてのﾌｧｲﾙ (*.*)"},
    {IDS_RECENT_FILE_PLACEHOLDER, u"最近使ったﾌｧｲﾙ"},

    {IDS_OPEN_FILTER_HTML, u"HTML Files(*.html;*.htm)"},
    {IDS_OPEN_FILTER_ALL, u"すべてのファイル (*.*)"},
    {IDP_FILE_TOO_LARGE, u"%1 は大きすぎるため開けませんでした。"},
    {IDP_UNENCODABLE, u"%1 行目の文字「%2」(%3) は Shift-JIS で保存できません。\n\nHTML の文字参照 (%4) として保存しますか?"},
    {IDP_UNENCODABLE_MORE, u"%1 行目の文字「%2」(%3) ほか、全部で %5 個の文字は Shift-JIS で保存できません。\n\nHTML の文字参照 (%4 など) として保存しますか?"},
    {IDS_WRITE_REFERENCES, u"文字参照で保存(&R)"},
    {IDP_SAVED_FILE_DIFFERS, u"%1 へ書き込んだ内容を確認できませんでした。ﾃﾞｨｽｸの空きやﾌｧｲﾙの状態を確認してから、もう一度保存してください。"},
    {IDP_FILE_NOT_RESTORED, u"%1 へ書き込めず、元の内容に戻すこともできませんでした。元の内容は %2 に残してあります。"},

    // Recovery journals
    {IDP_RECOVER_ASK, u"保存されていない変更が見つかりました。復元しますか?\n%1 (%2)"},
    {IDS_RECOVER_DISCARD, u"破棄"},
    {IDP_RECOVER_DISCARD_CONFIRM, u"%1 の変更を復元しないで削除します。よろしいですか?"},
    {IDP_FILE_IN_USE, u"%1 はほかのｳｨﾝﾄﾞｳで編集中です。開きますか?"},
    {IDS_JOURNAL_WRITE_FAILED, u"復元用のﾌｧｲﾙを %1 に書き込めませんでした (%2)。あとでもう一度書き込みます。"},
    {IDS_JOURNAL_TIME_FORMAT, u"yyyy/MM/dd HH:mm:ss"},
    {IDS_JOURNAL_EDITS_STOPPED, u"復元用のﾌｧｲﾙの途中が壊れているため、そこより後の変更は復元されません。"},

    // Saves cut off by the end of the program; the state folder
    {IDP_SAVE_INTERRUPTED_RESTORED, u"%1 の保存が中断されたため、保存前の内容に戻しました。"},
    {IDP_SAVE_INTERRUPTED_LEFT_ALONE, u"%1 の保存が中断されました。ファイルはその後ほかのﾌﾟﾛｸﾞﾗﾑによって変更されているためそのままにし、保存前の内容は %2 に残してあります。"},
    {IDP_SAVE_INTERRUPTED_NOT_RESTORED, u"%1 の保存が中断されましたが、保存前の内容に戻せませんでした。保存前の内容は %2 に残してあります。"},
    {IDP_SAFETY_COPY_FAILED, u"%1 はその場で書き換える必要がありますが、その前に作る控えを %2 に書き込めませんでした (%3)。"},
    {IDS_STATE_FOLDER_NOT_USED, u"%1 は%2なので使いません。保存していない変更を残せません。"},
    {IDS_FOLDER_IS_LINK, u"シンボリックリンク"},
    {IDS_FOLDER_NOT_OWN, u"ほかのユーザーのフォルダー"},
    {IDS_FOLDER_OPEN, u"ほかのユーザーも書き込めるフォルダー"},
    {IDS_STATE_FOLDER_UNUSABLE, u"%1 を使えません (%2)。保存していない変更を残せません。"},
    {IDS_LOCK_NOT_WRITTEN, u"%1 に書き込めないため、このファイルを開いていることをほかのウィンドウに知らせられません (%2)。"},

    {IDP_FILE_CHANGED_ON_SAVE, u"%1 は、開いた後でほかのﾌﾟﾛｸﾞﾗﾑによって変更されています。上書きしますか?"},
    {IDP_FILE_CHANGED_RELOAD, u"%1 は、ほかのﾌﾟﾛｸﾞﾗﾑによって変更されました。読み込み直しますか?"},
    {IDS_CHANGES_WILL_BE_LOST, u"この文書の変更は失われます。"},
    {IDP_ROUND_TRIP_DIFFERS, u"%1 行目 %2 文字目から先は、保存すると違う文字として読み込まれます (残っている不正なﾊﾞｲﾄが後ろの文字とつながります)。\n\nこのまま保存しますか?"},
    {IDS_WRITE_ANYWAY, u"このまま保存(&W)"},

    // Tag dictionary and about box
    {IDS_DICT_NOTHING_SELECTED, u"タグが選択されていません。"},
    {IDS_DICT_NOT_FOUND, u"検索した結果、発見されませんでした。\n\n連絡先:"},
    {IDS_DICT_CONTACT, u"support@example.com"},
    {IDS_ABOUT_HOME_PAGE, u"http://www.example.com/velm/"},
    {IDS_ABOUT_MAIL, u"mailto:yamada@example.com"},
    {IDS_ABOUT_GRAPHICS_PAGE, u"http://www.example.org/suzuki/"},

    // Tag dialogs
    {IDS_DEFAULT_FONT_FACE, u"ＭＳ Ｐゴシック"},
    {IDS_LABEL_BGCOLOR, u"bgcolor"},
    {IDS_LABEL_BACKGROUND, u"background"},

    // Main frame bars
    {IDS_MAIN_TOOLBAR_TITLE, u"ツールバー"},
    {IDS_COLOR_BAR_TITLE, u"カラーパレット"},

    // Printing, print preview, find and replace
    {IDS_PRINT_PORT, u"%1 へ"},
    {IDS_PRINT_PAGE, u"ﾍﾟｰｼﾞ %u"},
    {IDS_PREVIEW_TWO_PAGE_NUMBERS, u"ﾍﾟｰｼﾞ %u-%u"},
    {IDS_PREVIEW_ONE_PAGE, u"1 ﾍﾟｰｼﾞ(&O)"},
    {IDS_PREVIEW_TWO_PAGES, u"2 ﾍﾟｰｼﾞ(&T)"},
    {IDS_PRINT_TO_FILE_TITLE, u"ﾌｧｲﾙへ出力"},
    {IDS_PRINT_FILE_FILTER, u"ﾌﾟﾘﾝﾀ ﾌｧｲﾙ (*.prn)|*.prn|すべてのﾌｧｲﾙ (*.*)|*.*||"},
    {IDS_PRINT_FILE_NAME, u"Output.prn"},
    {IDS_PRINT_FILE_PRINTER, u"PDF ファイル"},
    {IDP_NO_PRINTER, u"プリンタがインストールされていないため、印刷できません。"},
    {IDP_PRINTER_NOT_FOUND, u"プリンタ「%1」が見つからないため、印刷できません。"},
    {IDP_PRINT_FAILED, u"%1 を印刷できませんでした。プリンタの状態を確認してください。"},
    {IDP_PRINT_NO_PAGES, u"指定された範囲に印刷するページがありません。"},
    {IDP_NO_DEFAULT_PRINTER, u"通常使うプリンタが設定されていないため、印刷できません。"},
    {IDS_LOADING, u"読み込み中... %1%"},

    // The encoding pane of the status bar and its menu
    {IDS_ENCODING_PANE, u"文字コード"},
    {IDS_ENCODING_DECLARED, u"%1 (宣言: %2)"},
    {IDS_REOPEN_IN_ENCODING, u"この文字コードで開き直す"},
    {IDS_CONVERT_TO_ENCODING, u"この文字コードに変換"},
    {IDP_UNENCODABLE_IN, u"%1 行目の文字「%2」(%3) は %6 で保存できません。\n\nHTML の文字参照 (%4) として保存しますか?"},
    {IDP_UNENCODABLE_MORE_IN, u"%1 行目の文字「%2」(%3) ほか、全部で %5 個の文字は %6 で保存できません。\n\nHTML の文字参照 (%4 など) として保存しますか?"},
    // The HTML check
    {IDS_CHECK_PANE, u"検査"},
    {IDS_CHECK_PROBLEMS, u"問題 %1"},
    {IDS_CHECK_NONE, u"問題なし"},
    {IDS_CHECK_OFF, u"検査なし"},
    {IDS_CHECK_TOO_LARGE, u"大きすぎて検査なし"},
    {IDS_CHECK_WAITING, u"検査中"},
    {IDS_CHECK_ENABLE, u"検査する"},
    {IDS_CHECK_LIST_TITLE, u"HTML の検査"},
    {IDS_CHECK_COLUMNS, u"行\n桁\n内容"},
    // The colouring pane
    {IDS_COLOURING_PANE, u"色分け"},
    {IDS_COLOURING_ON, u"HTML"},
    {IDS_COLOURING_OFF, u"テキスト"},
};
// clang-format on

// Two texts under one identifier would hide one of them.
constexpr bool IdsUnique() {
    for (size_t i = 0; i < std::size(kStrings); ++i)
        for (size_t j = i + 1; j < std::size(kStrings); ++j)
            if (kStrings[i].id == kStrings[j].id)
                return false;
    return true;
}
static_assert(IdsUnique(), "two strings share an identifier");

const QHash<int, QString>& Table() {
    static const QHash<int, QString> table = [] {
        QHash<int, QString> t;
        for (const Entry& e : kStrings)
            t.insert(e.id, QString::fromUtf16(e.text));
        return t;
    }();
    return table;
}

} // namespace

QString LoadString(int id) { return Table().value(id); }

QString StringField(int id, int index) { return LoadString(id).section(u'\n', index, index); }

} // namespace res
