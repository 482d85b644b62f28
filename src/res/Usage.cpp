#include "res/Usage.h"

using namespace Qt::StringLiterals;

namespace res {

namespace {

constexpr QStringView kUsageJapanese =
    u"使い方: velm [ファイル]\n"
    u"        velm -p ファイル\n"
    u"        velm -pt ファイル プリンタ ドライバ ポート\n"
    u"        velm -Unregister\n"
    u"        velm --help | --version\n"
    u"\n"
    u"HTML のソースを手で書くためのエディタです。ファイルを指定しないと、新しい空の\n"
    u"文書で起動します。ファイルは Shift-JIS で読み書きします。\n"
    u"\n"
    u"  ファイル             このファイルを開きます。開けないときはプログラムを終了します。\n"
    u"  -p ファイル          ファイルを既定のプリンタでダイアログなしに印刷して終了します。\n"
    u"  -pt ファイル プリンタ ドライバ ポート\n"
    u"                       ファイルを指定したプリンタで印刷して終了します。\n"
    u"  -Unregister, -Unregserver\n"
    u"                       プログラムの設定 (最近使ったファイルなど) を削除し、結果を\n"
    u"                       表示して終了します。\n"
    u"  -Embedding, -Automation\n"
    u"                       スプラッシュ画面を表示せずに起動します。\n"
    u"  -h, --help           この使い方を表示して終了します。\n"
    u"  --version            バージョンを表示して終了します。\n"
    u"\n"
    u"スイッチは \"/\" で始めることもできます (/p)。\"p\" と \"pt\" は小文字だけ、ほかの\n"
    u"スイッチは大文字でも小文字でもかまいません。知らないスイッチは無視します。\n"
    u"印刷するプリンタがないときは、そのことを表示して終了コード 1 で終了します。\n";

constexpr QStringView kUsageEnglish =
    u"Usage: velm [FILE]\n"
    u"       velm -p FILE\n"
    u"       velm -pt FILE PRINTER DRIVER PORT\n"
    u"       velm -Unregister\n"
    u"       velm --help | --version\n"
    u"\n"
    u"An editor for writing HTML source by hand. Without a FILE it starts with a\n"
    u"new, empty document. Files are read and written in Shift-JIS.\n"
    u"\n"
    u"  FILE                 open this file; if it cannot be opened, the program ends\n"
    u"  -p FILE              print FILE on the default printer without a dialog, then end\n"
    u"  -pt FILE PRINTER DRIVER PORT\n"
    u"                       print FILE on the named printer, then end\n"
    u"  -Unregister, -Unregserver\n"
    u"                       remove the program's settings (recent files and others),\n"
    u"                       report the outcome and end\n"
    u"  -Embedding, -Automation\n"
    u"                       start without the splash screen\n"
    u"  -h, --help           show this help and end\n"
    u"  --version            show the version and end\n"
    u"\n"
    u"A switch may also begin with \"/\" (/p). \"p\" and \"pt\" must be lower case; the\n"
    u"other switches may be written in any case. Unknown switches are ignored.\n"
    u"Without a printer, printing says so and ends with exit status 1.\n";

} // namespace

QString UsageText(bool japanese) {
    return (japanese ? kUsageJapanese : kUsageEnglish).toString();
}

QString VersionText() {
    return u"velm (Velm HTML Editor) " VELM_VERSION u"\n"
           u"Copyright (C) 2000 Velm Project\n"_s;
}

} // namespace res
