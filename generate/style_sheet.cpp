// SPDX-License-Identifier: MIT
#include "generate/style_sheet.h"

#include "album/settings.h"
#include "generate/layout.h"
#include "generate/text_writer.h"

#include <algorithm>
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

/// The widest the cover's table is laid out as a table: its columns of cells (the fixed width or
/// the thumbnails, whichever is wider, with padding, borders and spacing) and the page's margins.
/// Narrower screens get the cells flowing onto more rows instead.
long tableWidth(const album::AlbumSettings &settings, const RunValues &values)
{
    const auto number = [&settings](OptionId id) { return static_cast<long>(settings.number(id)); };
    const long columns = std::max(1L, number(OptionId::csCol));
    const double thumb = std::clamp(values.thumbX, 0.0, 1e6);
    const long content = std::max(number(OptionId::csFCW), static_cast<long>(thumb));
    const long cell
        = content + 2 * number(OptionId::csW3) + 2 * number(OptionId::csW1) + number(OptionId::csW2);
    return columns * cell + number(OptionId::csW2) + 2 * number(OptionId::csW1) + 16;
}

/// Phone-ready pages: nothing wider than the screen, the table's cells flowing onto more rows when
/// it does not fit, buttons a finger can hit (44 CSS px) and body text of at least 16 CSS px on
/// phones. Written after the rules it overrides.
std::string phoneRules(const album::AlbumSettings &settings, const RunValues &values)
{
    const auto number = [&settings](OptionId id) { return settings.number(id); };
    const int cellExtra = 2 * (number(OptionId::csW3) + number(OptionId::csW1));
    std::string css = "\n/* ----- スマートフォン・狭い画面に関するスタイル ----- */\n";
    css += "\nBODY.html_album {\n\t-webkit-text-size-adjust : 100%;\n\ttext-size-adjust : 100%;\n"
           "\toverflow-wrap : break-word;\n}\n\n";
    css += "\nIMG.html_album {\n\tmax-width : 100%;\n\theight : auto;\n}\n\n";
    css += "\nTABLE.html_album {\n\tmargin-left : auto;\n\tmargin-right : auto;\n}\n\n";
    css += "\n@media screen and (max-width : " + std::to_string(tableWidth(settings, values)) + "px) {\n";
    css += "\tTABLE.html_album, TABLE.html_album TBODY {\n\t\tdisplay : block;\n\t}\n";
    css += "\tTABLE.html_album TR {\n\t\tdisplay : inline;\n\t}\n";
    // A cell of its own grows with its comment rather than spilling over the next row.
    css += "\tTD.html_album {\n\t\tdisplay : inline-block;\n\t\tvertical-align : top;\n"
           "\t\twhite-space : normal;\n\t\theight : auto;\n\t\tmin-height : "
        + px(number(OptionId::csFCH)) + "\t\tmax-width : calc(100% - " + std::to_string(cellExtra)
        + "px);\n\t}\n";
    css += "}\n\n";
    css += "\n@media screen and (max-width : 640px) {\n";
    // Unwrapped comments and long words would widen even a table of one column past a phone.
    css += "\tTD.html_album {\n\t\twhite-space : normal;\n\t\toverflow-wrap : anywhere;\n\t}\n";
    css += "\tBODY.html_album, div.com, div.time_stamp, div.tavuri, div.button {\n\t\tfont-size : "
           "16px;\n\t}\n";
    css += "\tdiv.title {\n\t\tfont-size : " + px(std::max(16, number(OptionId::csTitleSize))) + "\t}\n";
    css += "\tdiv.com_big {\n\t\tfont-size : " + px(std::max(16, number(OptionId::csComSize))) + "\t}\n";
    css += "}\n\n";
    css += "\n@media (pointer : coarse) {\n";
    css += "\tA.button {\n\t\tdisplay : inline-block;\n\t\tmin-height : 44px;\n\t\tline-height : 36px;\n"
           "\t\tbox-sizing : border-box;\n\t\tmargin : 4px 0;\n\t}\n";
    css += "}\n\n";
    return css;
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
    if (settings.checked(OptionId::cbPhone))
        css += phoneRules(settings, values);
    return css;
}

void writeStyleSheet(const AlbumLayout &layout, const album::AlbumSettings &settings, const RunValues &values)
{
    writeTextFile(layout.styleSheetPath(), styleSheetText(settings, values), pageEncoding(settings));
}

} // namespace pictora::generate
