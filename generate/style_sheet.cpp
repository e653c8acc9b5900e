// SPDX-License-Identifier: MIT
#include "generate/style_sheet.h"

#include "album/settings.h"
#include "generate/layout.h"
#include "generate/text_writer.h"

#include <string_view>

namespace pictora::generate
{

namespace
{

using album::OptionId;

std::string linkRule(std::string_view selector, const std::string &colour)
{
    // Appended rather than "literal" + string: GCC 12 warns falsely (-Wrestrict) on that at -O2.
    std::string rule = "\n";
    rule.append(selector)
        .append(" {\n\tcolor : #")
        .append(colour)
        .append(";\n\ttext-decoration : underline;\n}\n\n");
    return rule;
}

std::string px(int value)
{
    return std::to_string(value) + "px;\n";
}

} // namespace

std::string styleSheetText(const album::AlbumSettings &settings, const RunValues &values)
{
    const auto text = [&settings](OptionId id) { return settings.text(id); };
    const auto number = [&settings](OptionId id) { return settings.number(id); };

    std::string css;
    css += "\n/* ----- リンクに関するスタイル ----- */\n";
    css += linkRule("A:link.html_album", text(OptionId::edLink));
    css += linkRule("A:visited.html_album", text(OptionId::edVLink));
    css += linkRule("A:active.html_album", text(OptionId::edALink));
    // There is no hover colour of its own: hover looks like an active link.
    css += linkRule("A:hover.html_album", text(OptionId::edALink));

    css += "\n/* ----- リンク(ボタン型)に関するスタイル ----- */\n";
    css += "\nA:link.button {\n\tcolor : #000000;\n\tbackground-color : #CCCCCC;\n\ttext-decoration : none;\n"
           "\tborder : 2px outset;\n\tpadding: 2px 20px 2px 20px;\n}\n\n";
    css += "\nA:visited.button {\n\tcolor : #000000;\n\tbackground-color : #CCCCCC;\n\ttext-decoration : "
           "none;\n"
           "\tborder : 2px outset;\n\tpadding: 2px 20px 2px 20px;\n}\n\n";
    css += "\nA:active.button {\n\tcolor : #FF5555;\n\tbackground-color : #555555;\n\ttext-decoration : "
           "none;\n"
           "\tborder : 2px inset;\n\tpadding: 2px 20px 2px 20px;\n}\n\n";
    css += "\nA:hover.button {\n\tcolor : #555555;\n\tbackground-color : #DDDDDD;\n\ttext-decoration : "
           "none;\n"
           "\tborder : 2px inset;\n\tpadding: 2px 20px 2px 20px;\n}\n\n";

    css += "\n/* ----- BODYタグに関するスタイル ----- */\n";
    css += "\nBODY.html_album {\n";
    css += "\tcolor : #" + text(OptionId::edText) + ";\n";
    css += "\tbackground-color: #" + text(OptionId::edBG) + ";\n";
    css += "\ttext-align : center;\n";
    if (hasBackgroundPicture(settings))
        css += "\tbackground-image : url('./back.jpg');\n";
    css += "}\n\n";

    css += "\n/* ----- DIVタグ(ページタイトル用)に関するスタイル ----- */\n";
    css += "\ndiv.title {\n";
    css += "\tcolor : #" + text(OptionId::edFTitle) + ";\n";
    css += "\tfont-size : " + px(number(OptionId::csTitleSize));
    css += "\ttext-align : " + values.titleAlign + ";\n";
    css += "}\n\n";

    css += "\n/* ----- DIVタグ(ページ上下コメント用)に関するスタイル ----- */\n";
    css += "\ndiv.com_big {\n";
    css += "\tcolor : #" + text(OptionId::edFCom) + ";\n";
    css += "\tfont-size : " + px(number(OptionId::csComSize));
    css += "\ttext-align : " + values.commentAlign + ";\n";
    css += "}\n\n";

    css += "\n/* ----- DIVタグ(画像毎コメント用)に関するスタイル ----- */\n";
    css += "\ndiv.com {\n\tfont-size : 12px;\n}\n\n";
    css += "\n/* ----- DIVタグ(画像毎タイムスタンプ用)に関するスタイル ----- */\n";
    css += "\ndiv.time_stamp {\n\tfont-size : 11px;\n\tmargin-top : 10px;\n}\n\n";
    // Written even when the footer that uses it is not.
    css += "\n/* ----- DIVタグ(たぶりの頁リンク用)に関するスタイル ----- */\n";
    css += "\ndiv.tavuri {\n\tfont-size : 11px;\n\ttext-align : right;\n}\n\n";
    css += "\n/* ----- DIVタグ(ボタン用)に関するスタイル ----- */\n";
    css += "\ndiv.button {\n\tfont-size : 12px;\n\tmargin-top : 20px;\n\tmargin-bottom : 20px;\n}\n\n";

    css += "\n/* ----- TABLEタグ(罫線)に関するスタイル ----- */\n";
    css += "\nTABLE.html_album {\n";
    if (settings.checked(OptionId::cbCellBGColor))
        css += "\tbackground-color : #" + text(OptionId::edCellBGColor) + ";\n";
    if (settings.checked(OptionId::cbBorderColor))
        css += "\tborder-color : #" + text(OptionId::edBorderColor) + ";\n";
    css += "\ttext-align : center;\n";
    css += "\tborder-style : solid;\n";
    css += "\tborder-width : " + px(number(OptionId::csW1));
    css += "\tborder-spacing : " + px(number(OptionId::csW2));
    css += "\tmargin-top : 20px;\n";
    css += "\tmargin-bottom : 20px;\n";
    css += "}\n\n";

    css += "\n/* ----- TDタグ(TABLE内のセル)に関するスタイル ----- */\n";
    css += "\nTD.html_album {\n";
    css += "\ttext-align : center;\n";
    css += "\twidth : " + px(number(OptionId::csFCW));
    css += "\theight : " + px(number(OptionId::csFCH));
    css += "\tborder-style : solid;\n";
    css += "\tborder-width : " + px(number(OptionId::csW1));
    css += "\tborder-spacing : " + px(number(OptionId::csW2));
    css += "\tpadding : " + px(number(OptionId::csW3));
    css += "}\n\n";

    css += "\n/* ----- IMGタグ(画像)に関するスタイル ----- */\n";
    css += "\nIMG.html_album {\n";
    css += "\tborder-width : " + px(number(OptionId::csIW));
    css += "}\n\n";
    return css;
}

void writeStyleSheet(const AlbumLayout &layout, const album::AlbumSettings &settings, const RunValues &values)
{
    writeTextFile(layout.styleSheetPath(), styleSheetText(settings, values));
}

} // namespace pictora::generate
