// SPDX-License-Identifier: MIT
#include "album/settings.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "generate/layout.h"
#include "generate/style_sheet.h"
#include "tests/generate/byte_compare.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pictora;
using album::OptionId;

namespace
{

// The default options' style sheet as it must be on disk, before CP932 encoding.
const std::string kDefaultSheet
    = "\r\n/* ----- リンクに関するスタイル ----- */\r\n"
      "\r\nA:link.html_album {\r\n\tcolor : #FF0000;\r\n\ttext-decoration : underline;\r\n}\r\n\r\n"
      "\r\nA:visited.html_album {\r\n\tcolor : #8B0000;\r\n\ttext-decoration : underline;\r\n}\r\n\r\n"
      "\r\nA:active.html_album {\r\n\tcolor : #00FF00;\r\n\ttext-decoration : underline;\r\n}\r\n\r\n"
      "\r\nA:hover.html_album {\r\n\tcolor : #00FF00;\r\n\ttext-decoration : underline;\r\n}\r\n\r\n"
      "\r\n/* ----- リンク(ボタン型)に関するスタイル ----- */\r\n"
      "\r\nA:link.button {\r\n\tcolor : #000000;\r\n\tbackground-color : #CCCCCC;\r\n"
      "\ttext-decoration : none;\r\n\tborder : 2px outset;\r\n\tpadding: 2px 20px 2px 20px;\r\n}\r\n\r\n"
      "\r\nA:visited.button {\r\n\tcolor : #000000;\r\n\tbackground-color : #CCCCCC;\r\n"
      "\ttext-decoration : none;\r\n\tborder : 2px outset;\r\n\tpadding: 2px 20px 2px 20px;\r\n}\r\n\r\n"
      "\r\nA:active.button {\r\n\tcolor : #FF5555;\r\n\tbackground-color : #555555;\r\n"
      "\ttext-decoration : none;\r\n\tborder : 2px inset;\r\n\tpadding: 2px 20px 2px 20px;\r\n}\r\n\r\n"
      "\r\nA:hover.button {\r\n\tcolor : #555555;\r\n\tbackground-color : #DDDDDD;\r\n"
      "\ttext-decoration : none;\r\n\tborder : 2px inset;\r\n\tpadding: 2px 20px 2px 20px;\r\n}\r\n\r\n"
      "\r\n/* ----- BODYタグに関するスタイル ----- */\r\n"
      "\r\nBODY.html_album {\r\n"
      "\tcolor : #000000;\r\n"
      "\tbackground-color: #FFFFFF;\r\n"
      "\ttext-align : center;\r\n"
      "}\r\n\r\n"
      "\r\n/* ----- DIVタグ(ページタイトル用)に関するスタイル ----- */\r\n"
      "\r\ndiv.title {\r\n\tcolor : #0000FF;\r\n\tfont-size : 16px;\r\n\ttext-align : center;\r\n}\r\n\r\n"
      "\r\n/* ----- DIVタグ(ページ上下コメント用)に関するスタイル ----- */\r\n"
      "\r\ndiv.com_big {\r\n\tcolor : #00008B;\r\n\tfont-size : 14px;\r\n\ttext-align : center;\r\n}\r\n\r\n"
      "\r\n/* ----- DIVタグ(画像毎コメント用)に関するスタイル ----- */\r\n"
      "\r\ndiv.com {\r\n\tfont-size : 12px;\r\n}\r\n\r\n"
      "\r\n/* ----- DIVタグ(画像毎タイムスタンプ用)に関するスタイル ----- */\r\n"
      "\r\ndiv.time_stamp {\r\n\tfont-size : 11px;\r\n\tmargin-top : 10px;\r\n}\r\n\r\n"
      "\r\n/* ----- DIVタグ(たぶりの頁リンク用)に関するスタイル ----- */\r\n"
      "\r\ndiv.tavuri {\r\n\tfont-size : 11px;\r\n\ttext-align : right;\r\n}\r\n\r\n"
      "\r\n/* ----- DIVタグ(ボタン用)に関するスタイル ----- */\r\n"
      "\r\ndiv.button {\r\n\tfont-size : 12px;\r\n\tmargin-top : 20px;\r\n\tmargin-bottom : "
      "20px;\r\n}\r\n\r\n"
      "\r\n/* ----- TABLEタグ(罫線)に関するスタイル ----- */\r\n"
      "\r\nTABLE.html_album {\r\n"
      "\ttext-align : center;\r\n"
      "\tborder-style : solid;\r\n"
      "\tborder-width : 1px;\r\n"
      "\tborder-spacing : 1px;\r\n"
      "\tmargin-top : 20px;\r\n"
      "\tmargin-bottom : 20px;\r\n"
      "}\r\n\r\n"
      "\r\n/* ----- TDタグ(TABLE内のセル)に関するスタイル ----- */\r\n"
      "\r\nTD.html_album {\r\n\ttext-align : center;\r\n\twidth : 160px;\r\n\theight : 160px;\r\n"
      "\tborder-style : solid;\r\n\tborder-width : 1px;\r\n\tborder-spacing : 1px;\r\n\tpadding : "
      "2px;\r\n}\r\n\r\n"
      "\r\n/* ----- IMGタグ(画像)に関するスタイル ----- */\r\n"
      "\r\nIMG.html_album {\r\n\tborder-width : 0px;\r\n}\r\n\r\n";

std::string cp932(const std::string &utf8)
{
    auto bytes = base::cp932::encode(utf8);
    EXPECT_TRUE(bytes) << "expected text does not fit CP932";
    return bytes.value_or(std::string());
}

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string writeSheet(const test::TempDir &dir, const album::AlbumSettings &settings)
{
    const generate::AlbumLayout layout(dir.path().string(), settings);
    generate::writeStyleSheet(layout, settings, generate::fixRunValues(settings));
    return test::readFile(layout.styleSheetPath());
}

} // namespace

TEST(StyleSheet, DefaultOptionsByteForByte)
{
    test::TempDir dir;
    const album::AlbumSettings settings;
    const std::string bytes = writeSheet(dir, settings);
    EXPECT_TRUE(test::sameBytes(cp932(kDefaultSheet), bytes));
    // The Japanese comments really are Shift_JIS: リンク is 83 8A 83 93 83 4E.
    EXPECT_NE(bytes.find("/* ----- \x83\x8A\x83\x93\x83\x4E"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("default.css")));
}

TEST(StyleSheet, BackgroundDeclaredOnlyForAnExistingPicture)
{
    test::TempDir dir;
    album::AlbumSettings settings;
    settings.store(OptionId::edBGImage, dir.file("missing.jpg"));
    EXPECT_TRUE(test::sameBytes(cp932(kDefaultSheet), writeSheet(dir, settings)));

    test::writeFile(dir.file("bg.png"), "picture");
    settings.store(OptionId::edBGImage, dir.file("bg.png"));
    const std::string expected = replaced(kDefaultSheet,
        "\ttext-align : center;\r\n}\r\n\r\n\r\n/* ----- DIV",
        "\ttext-align : center;\r\n\tbackground-image : url('./back.jpg');\r\n}"
        "\r\n\r\n\r\n/* ----- DIV");
    EXPECT_TRUE(test::sameBytes(cp932(expected), writeSheet(dir, settings)));
}

TEST(StyleSheet, NamedSheetAndChangedOptions)
{
    test::TempDir dir;
    album::AlbumSettings settings;
    settings.store(OptionId::edCSS, std::string("album.css"));
    settings.store(OptionId::cbCellBGColor, true);
    settings.store(OptionId::edCellBGColor, std::string("ffeedd"));
    settings.store(OptionId::cbBorderColor, true);
    settings.store(OptionId::edBorderColor, std::string("123456"));
    settings.store(OptionId::csFCW, 200);
    settings.store(OptionId::csFCH, 120);
    settings.store(OptionId::rbTL, 2);
    settings.store(OptionId::rbCL, 0);
    settings.store(OptionId::csTitleSize, 30);

    std::string expected = replaced(kDefaultSheet,
        "TABLE.html_album {\r\n",
        "TABLE.html_album {\r\n\tbackground-color : #ffeedd;\r\n\tborder-color : #123456;\r\n");
    expected = replaced(
        expected, "\twidth : 160px;\r\n\theight : 160px;", "\twidth : 200px;\r\n\theight : 120px;");
    expected = replaced(expected,
        "\tfont-size : 16px;\r\n\ttext-align : center;",
        "\tfont-size : 30px;\r\n\ttext-align : right;");
    expected = replaced(expected,
        "\tfont-size : 14px;\r\n\ttext-align : center;",
        "\tfont-size : 14px;\r\n\ttext-align : left;");
    EXPECT_TRUE(test::sameBytes(cp932(expected), writeSheet(dir, settings)));
    EXPECT_FALSE(std::filesystem::exists(dir.file("default.css")));
}

TEST(StyleSheet, UnwritableFolderIsAnError)
{
    test::TempDir dir;
    test::writeFile(dir.file("file"), "");
    const album::AlbumSettings settings;
    const generate::AlbumLayout layout(dir.file("file"), settings);
    EXPECT_THROW(
        generate::writeStyleSheet(layout, settings, generate::fixRunValues(settings)), base::UserError);
}
