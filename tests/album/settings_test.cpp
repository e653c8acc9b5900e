// SPDX-License-Identifier: MIT
#include "album/settings.h"
#include "base/errors.h"
#include "tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace pictora::album;
using pictora::test::CountingSink;
using pictora::test::ScriptedPrompter;

namespace
{

struct Editing : ::testing::Test {
    AlbumSettings settings;
    CountingSink sink;
    ScriptedPrompter prompts;
    SettingsEditor editor { settings, sink, prompts };
};

const char *kWidthLimit
    = "カラムの横幅をこれ以上大きくするには、\nサムネイルオプションで横サイズをより大きく設定してください。";
const char *kHeightLimit
    = "カラムの縦幅をこれ以上大きくするには、\nサムネイルオプションで縦サイズをより大きく設定してください。";

} // namespace

TEST(OptionTable, EveryOptionIsDeclaredOnceUnderItsOwnId)
{
    auto table = optionTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(table[i].id), i) << table[i].control;
        EXPECT_FALSE(table[i].control.empty());
        EXPECT_EQ(findOption(table[i].control), table[i].id);
    }
}

TEST(OptionTable, StartValuesAreInRangeAndSwatchesFollowTheirTexts)
{
    AlbumSettings s;
    EXPECT_EQ(s.swatch(OptionId::edVLink), 0x00008Bu);
    EXPECT_EQ(s.swatch(OptionId::edFCom), 9109504u);
    EXPECT_EQ(s.number(OptionId::csTitleSize), 16);
    EXPECT_EQ(s.number(OptionId::rbTL), 1); // centred
    for (const auto &decl : optionTable()) {
        if (const int *n = std::get_if<int>(&decl.start)) {
            EXPECT_EQ(clampToRange(decl, *n), *n) << decl.control;
        }
    }
}

TEST(OptionTable, ExactlyTheStaleMakingOptionsWithdrawTheRebuild)
{
    std::vector<std::string_view> withdrawing;
    for (const auto &decl : optionTable()) {
        if (decl.effects & kWithdrawsRebuild)
            withdrawing.push_back(decl.control);
    }
    EXPECT_EQ(withdrawing,
        (std::vector<std::string_view> { "edBGImage",
            "edThumbX",
            "edThumbY",
            "rbL",
            "edMainX",
            "edMainY",
            "rbLmain",
            "qJPEG",
            "edqJPEG",
            "cbJPEGc",
            "csDensity",
            "cbMainOrigin" }));
}

TEST(EnablingRules, FollowTheCheckBoxes)
{
    AlbumSettings s;
    EXPECT_FALSE(s.isEnabled("edBt1Face"));
    EXPECT_TRUE(s.isEnabled("lbBt21"));
    EXPECT_FALSE(s.isEnabled("edBt3URL"));
    EXPECT_TRUE(s.isEnabled("csFCW"));
    EXPECT_FALSE(s.isEnabled("sCellBGColor"));
    EXPECT_TRUE(s.isEnabled("csSlideTime"));
    s.store(OptionId::cbNowrap, true);
    EXPECT_FALSE(s.isEnabled("csFCW"));
    EXPECT_FALSE(s.isEnabled("lbFCW"));
    EXPECT_EQ(s.number(OptionId::csFCW), 160); // the value stays
    s.store(OptionId::cbBorderColor, true);
    EXPECT_TRUE(s.isEnabled("edBorderColor"));
}

TEST_F(Editing, SpinValuesArePulledIntoTheirRange)
{
    editor.set(OptionId::csTitleSize, 100);
    EXPECT_EQ(settings.number(OptionId::csTitleSize), 64);
    editor.set(OptionId::csComSize, 3);
    EXPECT_EQ(settings.number(OptionId::csComSize), 4);
    editor.set(OptionId::csCol, -1);
    EXPECT_EQ(settings.number(OptionId::csCol), 0);
}

TEST_F(Editing, TypedQualityAbove100LeavesHundredInTheEditAndSlider)
{
    editor.set(OptionId::edqJPEG, std::string("150"));
    EXPECT_EQ(settings.text(OptionId::edqJPEG), "100");
    EXPECT_EQ(settings.number(OptionId::qJPEG), 100);
    EXPECT_GT(sink.withdrawn, 0);
    editor.set(OptionId::edqJPEG, std::string("-3"));
    EXPECT_EQ(settings.text(OptionId::edqJPEG), "0");
    EXPECT_EQ(settings.number(OptionId::qJPEG), 0);
}

TEST_F(Editing, MovingTheSliderWritesTheEditAndMarksChanged)
{
    editor.set(OptionId::qJPEG, 75);
    EXPECT_EQ(settings.text(OptionId::edqJPEG), "75");
    EXPECT_EQ(sink.marked, 1);
    EXPECT_GE(sink.withdrawn, 1);
}

TEST_F(Editing, ClearingTheQualityEditFailsWithTheIntegerMessage)
{
    try {
        editor.set(OptionId::edqJPEG, std::string());
        ADD_FAILURE();
    } catch (const pictora::base::ConversionError &e) {
        EXPECT_STREQ(e.what(), "'' は整数ではありません");
    }
    EXPECT_EQ(settings.number(OptionId::qJPEG), 90);
}

TEST_F(Editing, CellWidthAboveTheThumbnailWidthIsPulledBackWithAMessage)
{
    editor.set(OptionId::edThumbX, std::string("100"));
    sink = {};
    prompts.expect(kWidthLimit, Answer::Ok, PromptKind::Information);
    editor.set(OptionId::csFCW, 161);
    EXPECT_EQ(settings.number(OptionId::csFCW), 100);
    EXPECT_EQ(sink.marked, 1);
}

TEST_F(Editing, CellWidthWithinTheThumbnailWidthNeitherWarnsNorMarks)
{
    editor.set(OptionId::edThumbX, std::string("200"));
    sink = {};
    editor.set(OptionId::csFCW, 161);
    EXPECT_EQ(settings.number(OptionId::csFCW), 161);
    EXPECT_EQ(sink.marked, 0);
}

TEST_F(Editing, CellHeightUsesTheThumbnailHeightAndItsOwnMessage)
{
    editor.set(OptionId::edThumbY, std::string("120"));
    prompts.expect(kHeightLimit, Answer::Ok, PromptKind::Information);
    editor.set(OptionId::csFCH, 150);
    EXPECT_EQ(settings.number(OptionId::csFCH), 120);
}

TEST_F(Editing, CellSizeWithEmptyThumbnailWidthFailsToConvert)
{
    editor.set(OptionId::edThumbX, std::string());
    EXPECT_THROW(editor.set(OptionId::csFCW, 150), pictora::base::ConversionError);
}

TEST_F(Editing, OptionsWithoutHandlersDoNothingElse)
{
    editor.set(OptionId::csSlideTime, 9);
    editor.set(OptionId::edIndex, std::string("top"));
    editor.set(OptionId::ViewTavuri, false);
    EXPECT_EQ(sink.marked, 0);
    EXPECT_EQ(sink.withdrawn, 0);
    editor.set(OptionId::cbTransMain, false);
    EXPECT_EQ(sink.marked, 1);
    EXPECT_EQ(sink.withdrawn, 0);
}

TEST_F(Editing, SettingTheSameValueRunsNoHandler)
{
    editor.set(OptionId::edTitle, std::string());
    EXPECT_EQ(sink.marked, 0);
}

TEST_F(Editing, ResetGivesTheNewOpenValuesAndKeepsTheOthers)
{
    editor.set(OptionId::csSlideTime, 12);
    editor.set(OptionId::cbMakeSlide, false);
    editor.set(OptionId::edFileExt, std::string(".html"));
    editor.set(OptionId::rbTL, 2);
    editor.set(OptionId::edTitle, std::string("旅行"));
    editor.reset();
    EXPECT_EQ(settings.number(OptionId::csTitleSize), 6);
    EXPECT_EQ(settings.number(OptionId::csComSize), 4);
    EXPECT_EQ(settings.number(OptionId::csW2), 0);
    EXPECT_EQ(settings.number(OptionId::csW3), 4);
    EXPECT_EQ(settings.text(OptionId::edTitle), "");
    EXPECT_EQ(settings.number(OptionId::csSlideTime), 12);
    EXPECT_FALSE(settings.checked(OptionId::cbMakeSlide));
    EXPECT_EQ(settings.text(OptionId::edFileExt), ".html");
    EXPECT_EQ(settings.number(OptionId::rbTL), 2);
}
