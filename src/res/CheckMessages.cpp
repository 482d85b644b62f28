#include "res/CheckMessages.h"

#include <algorithm>
#include <iterator>

namespace res {
namespace {

// Only what someone writing a page by hand can mend. Left out on purpose:
// empty attribute values and missing ALT/SUMMARY (the tag commands write
// them so), a missing DOCTYPE, addresses with non-ASCII letters, the
// library's own narration of its repairs.
const CheckMessage kMessages[] = {
    {"MISSING_ENDTAG_FOR", u"<%1> の終了タグ </%1> がありません", false},
    {"MISSING_ENDTAG_BEFORE", u"<%1> の終了タグ </%1> が <%2> の前にありません", false},
    {"MISSING_ENDTAG_BEFORE:a", u"リンク <a> の中に別のリンク <a> があります (</a> がありません)", false},
    {"INSERTING_TAG", u"終了タグ </%1> に対応する開始タグがありません", false},
    {"DISCARDING_UNEXPECTED", u"ここにある <%1> は対応するタグがないため無視されます", false},
    {"UNEXPECTED_ENDTAG", u"終了タグ <%1> に対応する開始タグがありません", false},
    {"UNEXPECTED_ENDTAG_ERR", u"終了タグ <%1> に対応する開始タグがありません", false},
    {"UNEXPECTED_ENDTAG_IN", u"<%2> の中に対応しない終了タグ <%1> があります", false},
    {"NON_MATCHING_ENDTAG", u"終了タグ </%2> が開いている要素と合いません", false},
    {"COERCE_TO_ENDTAG", u"<%1> は終了タグ </%1> の書き誤りではありませんか", false},
    {"MISSING_STARTTAG", u"<%1> の開始タグがありません", false},
    {"UNKNOWN_ELEMENT", u"<%1> は HTML にない要素です", false},
    {"PROPRIETARY_ELEMENT", u"<%1> は標準の HTML にない要素です", false},
    {"PROPRIETARY_ATTRIBUTE", u"<%1> の属性 %2 は知られていない属性です", false},
    {"REPEATED_ATTRIBUTE", u"<%1> に属性 %3 が二度書かれています", false},
    {"BAD_ATTRIBUTE_VALUE", u"<%1> の属性 %2 の値「%3」は正しくありません", false},
    {"ANCHOR_NOT_UNIQUE", u"名前「%2」はすでにほかの要素に付けられています", false},
    {"UNKNOWN_ENTITY", u"& がそのまま書かれているか、「%1」は知られていない文字参照です (& は &amp; と書きます)", false},
    {"UNESCAPED_AMPERSAND", u"& がそのまま書かれています (& は &amp; と書きます)", false},
    {"MISSING_SEMICOLON", u"文字参照「%1」の後に ; がありません", false},
    {"MISSING_SEMICOLON_NCR", u"文字参照「%1」の後に ; がありません", false},
    {"UNEXPECTED_END_OF_FILE_ATTR", u"<%1> の属性の引用符が閉じられていません (ファイルの終わりまで続いています)", false},
    {"MISSING_QUOTEMARK", u"<%1> の属性値の引用符が閉じられていません", false},
    {"UNEXPECTED_QUOTEMARK", u"<%1> に余分な引用符があります", false},
    {"SUSPECTED_MISSING_QUOTE", u"属性値の引用符が閉じられていないようです", false},
    {"UNEXPECTED_GT", u"<%1> を閉じる > がありません", false},
    {"UNEXPECTED_EQUALSIGN", u"<%1> に余分な = があります", false},
    {"UNEXPECTED_END_OF_FILE", u"<%1> の途中でファイルが終わっています", false},
    {"CANT_BE_NESTED", u"<%1> はこの中に書けません", false},
    {"TAG_NOT_ALLOWED_IN", u"<%1> は <%2> の中に書けません", false},
    {"TOO_MANY_ELEMENTS", u"<%1> が二つ以上あります", false},
    {"TOO_MANY_ELEMENTS_IN", u"<%2> の中に <%1> が二つ以上あります", false},
    {"CONTENT_AFTER_BODY", u"</body> の後に内容があります", false},
    {"DOCTYPE_AFTER_TAGS", u"<!DOCTYPE> はほかのタグより前に書きます", false},
    {"MALFORMED_DOCTYPE", u"<!DOCTYPE> の書き方が正しくありません", false},
    {"MALFORMED_COMMENT", u"コメントの中に -- があります", false},
    {"MALFORMED_COMMENT_EOS", u"コメントが閉じられていません (--> がありません)", false},
    {"MISSING_TITLE_ELEMENT", u"<title> がありません", false},
    {"BACKSLASH_IN_URI", u"<%1> のアドレスに \\ があります (区切りは / です)", false},
    {"USING_BR_INPLACE_OF", u"<%1> は <br> と書きます", false},
    {"OBSOLETE_ELEMENT", u"<%1> は廃止された要素です (<%2> を使います)", false},
    {"REMOVED_HTML5", u"<%1> は HTML5 で廃止された要素です", true},
    {"MISMATCHED_ATTRIBUTE_WARN", u"<%1> の属性 %2 は HTML5 では使えません", true},
    {"MISMATCHED_ATTRIBUTE_ERROR", u"<%1> の属性 %2 は HTML5 では使えません", true},
    {"ELEMENT_VERS_MISMATCH_WARN", u"<%1> は HTML5 では使えません", true},
    {"ELEMENT_VERS_MISMATCH_ERROR", u"<%1> は HTML5 では使えません", true},
};

} // namespace

const CheckMessage* FindCheckMessage(std::string_view key) {
    const auto it = std::find_if(std::begin(kMessages), std::end(kMessages),
                                 [key](const CheckMessage& m) { return key == m.key; });
    return it == std::end(kMessages) ? nullptr : &*it;
}

} // namespace res
