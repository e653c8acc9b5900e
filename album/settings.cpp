// SPDX-License-Identifier: MIT
#include "album/settings.h"

#include "album/conversions.h"
#include "album/prompts.h"

#include <algorithm>
#include <cassert>

namespace pictora::album
{

namespace
{

using namespace std::string_view_literals;

constexpr std::string_view kBt1Controls[] = { "lbBt11"sv, "lbBt12"sv, "edBt1Face"sv, "edBt1URL"sv };
constexpr std::string_view kBt2Controls[] = { "lbBt21"sv, "lbBt22"sv, "edBt2Face"sv, "edBt2URL"sv };
constexpr std::string_view kBt3Controls[] = { "lbBt31"sv, "lbBt32"sv, "edBt3Face"sv, "edBt3URL"sv };
constexpr std::string_view kFixedWidthControls[] = { "csFCW"sv, "lbFCW"sv };
constexpr std::string_view kCellColourControls[] = { "sCellBGColor"sv, "edCellBGColor"sv };
constexpr std::string_view kBorderColourControls[] = { "sBorderColor"sv, "edBorderColor"sv };
constexpr std::string_view kMemoControls[] = { "Memo"sv, "lbMemo"sv };
constexpr std::string_view kTimeStampControls[] = { "edTimeStamp"sv, "lbTimeStamp"sv };
constexpr std::string_view kThumbModeButtons[] = { "rbL"sv, "rbS"sv };
constexpr std::string_view kMainModeButtons[] = { "rbLmain"sv, "rbSmain"sv };
constexpr std::string_view kTitleAlignButtons[] = { "rbTL"sv, "rbTC"sv, "rbTR"sv };
constexpr std::string_view kCommentAlignButtons[] = { "rbCL"sv, "rbCC"sv, "rbCR"sv };
constexpr std::string_view kSamplingItems[] = { "4:1:1"sv, "4:2:2"sv, "4:4:4"sv };

constexpr unsigned C = kMarksChanged;
constexpr unsigned R = kWithdrawsRebuild;

using S = std::string;
using O = std::optional<OptionValue>;
constexpr auto kUnchanged = std::nullopt;

// clang-format off
const std::array<OptionDecl, kOptionCount> kTable = [] {
    std::array<OptionDecl, kOptionCount> t{};
    auto def = [&t](OptionDecl decl) { t[static_cast<std::size_t>(decl.id)] = decl; };
    using K = OptionKind;
    using I = OptionId;
    //   id                control           kind           caption                               start            after New/Open        min max effects  saved
    def({I::edHTMLPath,  "edHTMLPath",  K::Text,       "HTMLアルバム出力先フォルダ", S(), O(S()), 0, 0, C, {}, {}, {}, true});
    def({I::edTitle,     "edTitle",     K::Text,       "アルバムタイトル", S(), O(S()), 0, 0, C, {}, {}, {}, true});
    def({I::mmComment,   "mmComment",   K::Memo,       "コメント(上段)", S(), O(S()), 0, 0, C, {}, {}, {}, true});
    def({I::mmComment2,  "mmComment2",  K::Memo,       "コメント(下段)", S(), O(S()), 0, 0, C, {}, {}, {}, true});
    def({I::edBGImage,   "edBGImage",   K::Text,       "背景の画像", S(), O(S()), 0, 0, C | R, {}, {}, {}, true});
    def({I::edBt1Face,   "edBt1Face",   K::Text,       "ボタン文字列", S("前のアルバム"), O(S("前のアルバム")), 0, 0, C, {}, {}, {}, true});
    def({I::edBt2Face,   "edBt2Face",   K::Text,       "ボタン文字列", S("戻る"), O(S("戻る")), 0, 0, C, {}, {}, {}, true});
    def({I::edBt3Face,   "edBt3Face",   K::Text,       "ボタン文字列", S("次のアルバム"), O(S("次のアルバム")), 0, 0, C, {}, {}, {}, true});
    def({I::edBt1URL,    "edBt1URL",    K::Text,       "ジャンプ先URL", S(), O(S()), 0, 0, C, {}, {}, {}, true});
    def({I::edBt2URL,    "edBt2URL",    K::Text,       "ジャンプ先URL", S("../index.htm"), O(S("../index.htm")), 0, 0, C, {}, {}, {}, true});
    def({I::edBt3URL,    "edBt3URL",    K::Text,       "ジャンプ先URL", S(), O(S()), 0, 0, C, {}, {}, {}, true});
    def({I::cbTimeStamp, "cbTimeStamp", K::Check,      "コメントの最後にタイムスタンプを付加する。", true, O(true), 0, 0, C, kTimeStampControls, {}, {}, true});
    def({I::edThumbX,    "edThumbX",    K::NumberText, "横サイズ", S("160"), O(S("160")), 0, 0, C | R, {}, {}, {}, true});
    def({I::edThumbY,    "edThumbY",    K::NumberText, "縦サイズ", S("160"), O(S("160")), 0, 0, C | R, {}, {}, {}, true});
    def({I::rbL,         "rbL",         K::Choice,     "長辺を揃える", 0, O(0), 0, 1, C | R, {}, {}, kThumbModeButtons, true});
    def({I::edMainX,     "edMainX",     K::NumberText, "横サイズ", S("640"), O(S("640")), 0, 0, C | R, {}, {}, {}, true});
    def({I::edMainY,     "edMainY",     K::NumberText, "縦サイズ", S("640"), O(S("640")), 0, 0, C | R, {}, {}, {}, true});
    def({I::rbLmain,     "rbLmain",     K::Choice,     "長辺を揃える", 0, O(0), 0, 1, C | R, {}, {}, kMainModeButtons, true});
    def({I::cbTransMain, "cbTransMain", K::Check,      "メイン画像生成時に画像サイズを変更する", true, O(true), 0, 0, C, {}, {}, {}, true});
    def({I::qJPEG,       "qJPEG",       K::Slider,     "JPEG品質", 90, O(90), 0, 100, C | R | kQualityPair, {}, {}, {}, true});
    def({I::edqJPEG,     "edqJPEG",     K::NumberText, "", S("90"), O(S("90")), 0, 100, R | kQualityPair, {}, {}, {}, false});
    def({I::cbJPEGc,     "cbJPEGc",     K::ChoiceText, "YCrCb サブサンプリング", S("4:2:2"), O(S("4:2:2")), 0, 0, C | R, {}, {}, kSamplingItems, true});
    def({I::csTitleSize, "csTitleSize", K::Spin,       "文字サイズ", 16, O(6), 4, 64, C, {}, {}, {}, true});
    def({I::csComSize,   "csComSize",   K::Spin,       "文字サイズ", 14, O(3), 4, 64, C, {}, {}, {}, true});
    def({I::edText,      "edText",      K::Colour,     "文字の色", S("000000"), O(S("000000")), 0, 0, C, {}, {}, {}, true});
    def({I::edLink,      "edLink",      K::Colour,     "リンク", S("FF0000"), O(S("FF0000")), 0, 0, C, {}, {}, {}, true});
    def({I::edVLink,     "edVLink",     K::Colour,     "読込済", S("8B0000"), O(S("8B0000")), 0, 0, C, {}, {}, {}, true});
    def({I::edALink,     "edALink",     K::Colour,     "読込中", S("00FF00"), O(S("00FF00")), 0, 0, C, {}, {}, {}, true});
    def({I::edFTitle,    "edFTitle",    K::Colour,     "文字の色", S("0000FF"), O(S("0000FF")), 0, 0, C, {}, {}, {}, true});
    def({I::edFCom,      "edFCom",      K::Colour,     "文字の色", S("00008B"), O(S("00008B")), 0, 0, C, {}, {}, {}, true});
    def({I::edBG,        "edBG",        K::Colour,     "背景の色", S("FFFFFF"), O(S("FFFFFF")), 0, 0, C, {}, {}, {}, true});
    def({I::csCol,       "csCol",       K::Spin,       "列の数", 4, O(4), 0, 64, C, {}, {}, {}, true});
    def({I::csW1,        "csW1",        K::Spin,       "外側の罫線幅 (border)", 1, O(1), 0, 32, C, {}, {}, {}, true});
    def({I::csW2,        "csW2",        K::Spin,       "セル間の空白幅 (cellspacing)", 1, O(0), 0, 32, C, {}, {}, {}, true});
    def({I::csW3,        "csW3",        K::Spin,       "セル内の余白幅 (cellpadding)", 2, O(4), 0, 128, C, {}, {}, {}, true});
    def({I::csIW,        "csIW",        K::Spin,       "イメージ枠の幅", 0, O(0), 0, 32, C, {}, {}, {}, true});
    def({I::csFCW,       "csFCW",       K::Spin,       "セルの固定幅(横)", 160, O(160), 0, 320, kCellLimit, {}, {}, {}, true, I::edThumbX,
         "カラムの横幅をこれ以上大きくするには、\nサムネイルオプションで横サイズをより大きく設定してください。"});
    def({I::csFCH,       "csFCH",       K::Spin,       "セルの固定幅(縦)", 160, O(160), 0, 320, kCellLimit, {}, {}, {}, true, I::edThumbY,
         "カラムの縦幅をこれ以上大きくするには、\nサムネイルオプションで縦サイズをより大きく設定してください。"});
    def({I::cbNowrap,    "cbNowrap",    K::Check,      "カラム内でコメントを折り返さない。", false, O(false), 0, 0, C, {}, kFixedWidthControls, {}, true});
    def({I::cbBT1,       "cbBT1",       K::Check,      "左ボタン", false, O(false), 0, 0, C, kBt1Controls, {}, {}, true});
    def({I::cbBT2,       "cbBT2",       K::Check,      "中央ボタン", true, O(true), 0, 0, C, kBt2Controls, {}, {}, true});
    def({I::cbBT3,       "cbBT3",       K::Check,      "右ボタン", false, O(false), 0, 0, C, kBt3Controls, {}, {}, true});
    def({I::rbTL,        "rbTL",        K::Choice,     "左寄せ", 1, kUnchanged, 0, 2, C, {}, {}, kTitleAlignButtons, true});
    def({I::rbCL,        "rbCL",        K::Choice,     "左寄せ", 1, kUnchanged, 0, 2, C, {}, {}, kCommentAlignButtons, true});
    def({I::csSlideTime, "csSlideTime", K::Spin,       "スライド送り時間(秒)", 5, kUnchanged, 0, 60, kNoEffect, {}, {}, {}, true});
    def({I::cbMakeSlide, "cbMakeSlide", K::Check,      "スライドショウを作成する", true, kUnchanged, 0, 0, kNoEffect, {}, {}, {}, false});
    def({I::cbMainOrigin,"cbMainOrigin",K::Check,      "メイン画像に元画像を利用する", false, kUnchanged, 0, 0, C | R, {}, {}, {}, false});
    def({I::cbCellBGColor,"cbCellBGColor",K::Check,    "セルの背景色", false, kUnchanged, 0, 0, C, kCellColourControls, {}, {}, true});
    def({I::edCellBGColor,"edCellBGColor",K::Colour,   "", S("FFFFFF"), kUnchanged, 0, 0, C, {}, {}, {}, true});
    def({I::cbBorderColor,"cbBorderColor",K::Check,    "罫線の色", false, kUnchanged, 0, 0, C, kBorderColourControls, {}, {}, true});
    def({I::edBorderColor,"edBorderColor",K::Colour,   "", S("000000"), kUnchanged, 0, 0, C, {}, {}, {}, true});
    def({I::cbMemo,      "cbMemo",      K::Check,      "画像のコメントを表示する。", true, kUnchanged, 0, 0, C, kMemoControls, {}, {}, true});
    def({I::edIndex,     "edIndex",     K::Text,       "アルバム表紙のHTMLファイル名", S("index"), kUnchanged, 0, 0, kNoEffect, {}, {}, {}, true});
    def({I::edFileExt,   "edFileExt",   K::Text,       "HTMLファイルの拡張子", S(".htm"), kUnchanged, 0, 0, kNoEffect, {}, {}, {}, true});
    def({I::edCSS,       "edCSS",       K::Text,       "スタイルファイル名指定", S(), kUnchanged, 0, 0, kNoEffect, {}, {}, {}, true});
    def({I::edRevMade,   "edRevMade",   K::Text,       "HTML作者連絡先", S(), kUnchanged, 0, 0, kNoEffect, {}, {}, {}, false});
    def({I::ViewTavuri,  "ViewTavuri",  K::Check,      "たぶりの頁へのリンクを挿入する", true, kUnchanged, 0, 0, kNoEffect, {}, {}, {}, false});
    return t;
}();
// clang-format on

bool isTextKind(OptionKind kind)
{
    return kind == OptionKind::Text || kind == OptionKind::NumberText || kind == OptionKind::ChoiceText
        || kind == OptionKind::Memo || kind == OptionKind::Colour;
}

bool isNumberKind(OptionKind kind)
{
    return kind == OptionKind::Spin || kind == OptionKind::Choice || kind == OptionKind::Slider;
}

// A value of the right alternative for the option's kind; a mismatch is a programming error.
bool fitsKind(OptionKind kind, const OptionValue &value)
{
    if (isTextKind(kind))
        return std::holds_alternative<std::string>(value);
    if (isNumberKind(kind))
        return std::holds_alternative<int>(value);
    return std::holds_alternative<bool>(value);
}

} // namespace

std::span<const OptionDecl, kOptionCount> optionTable()
{
    return kTable;
}

const OptionDecl &optionDecl(OptionId id)
{
    return kTable[static_cast<std::size_t>(id)];
}

std::optional<OptionId> findOption(std::string_view control)
{
    for (const auto &decl : kTable) {
        if (decl.control == control)
            return decl.id;
    }
    return std::nullopt;
}

int clampToRange(const OptionDecl &decl, int value)
{
    if (decl.kind == OptionKind::Choice)
        return (value < decl.minimum || value > decl.maximum) ? -1 : value;
    if (decl.kind != OptionKind::Spin && decl.kind != OptionKind::Slider)
        return value;
    return std::clamp(value, decl.minimum, decl.maximum);
}

AlbumSettings::AlbumSettings()
{
    for (const auto &decl : kTable)
        m_values[index(decl.id)] = decl.start;
}

const std::string &AlbumSettings::text(OptionId id) const
{
    return std::get<std::string>(value(id));
}

int AlbumSettings::number(OptionId id) const
{
    return std::get<int>(value(id));
}

bool AlbumSettings::checked(OptionId id) const
{
    return std::get<bool>(value(id));
}

std::uint32_t AlbumSettings::swatch(OptionId id) const
{
    return HexTextToColor(text(id));
}

void AlbumSettings::store(OptionId id, OptionValue newValue)
{
    const auto &decl = optionDecl(id);
    assert(fitsKind(decl.kind, newValue));
    if (!fitsKind(decl.kind, newValue))
        return;
    if (auto *n = std::get_if<int>(&newValue))
        *n = clampToRange(decl, *n);
    m_values[index(id)] = std::move(newValue);
}

bool AlbumSettings::isEnabled(std::string_view control) const
{
    for (const auto &decl : kTable) {
        if (std::ranges::find(decl.enables, control) != decl.enables.end())
            return checked(decl.id);
        if (std::ranges::find(decl.disables, control) != decl.disables.end())
            return !checked(decl.id);
    }
    return true;
}

SettingsEditor::SettingsEditor(AlbumSettings &settings, ChangeSink &changes, Prompter &prompts)
    : m_settings(settings)
    , m_changes(changes)
    , m_prompts(prompts)
{
}

void SettingsEditor::set(OptionId id, const OptionValue &value)
{
    const OptionValue before = m_settings.value(id);
    m_settings.store(id, value);
    // A control reports a change only when what it shows really changed.
    if (m_settings.value(id) != before)
        runChangeHandler(id);
}

void SettingsEditor::runChangeHandler(OptionId id)
{
    const auto &decl = optionDecl(id);
    if (decl.effects & kQualityPair) {
        if (id == OptionId::qJPEG) {
            set(OptionId::edqJPEG, std::to_string(m_settings.number(OptionId::qJPEG)));
            m_changes.markProjectChanged();
            m_changes.withdrawRebuild();
        } else {
            const int typed = std::clamp(toInteger(m_settings.text(OptionId::edqJPEG)), 0, 100);
            set(OptionId::edqJPEG, std::to_string(typed));
            set(OptionId::qJPEG, typed);
            m_changes.withdrawRebuild();
        }
        return;
    }
    if (decl.effects & kCellLimit) {
        const int limit = toInteger(m_settings.text(*decl.limitedBy));
        if (limit >= m_settings.number(id))
            return;
        set(id, limit);
        m_changes.markProjectChanged();
        m_prompts.inform(PromptKind::Information, std::string(decl.limitMessage));
        return;
    }
    // Enabling rules are derived from the values (AlbumSettings::isEnabled), so only the
    // document-wide effects remain, in their order.
    if (decl.effects & kMarksChanged)
        m_changes.markProjectChanged();
    if (decl.effects & kWithdrawsRebuild)
        m_changes.withdrawRebuild();
}

void SettingsEditor::reset()
{
    for (const auto &decl : kTable) {
        if (decl.reset)
            set(decl.id, *decl.reset);
    }
}

} // namespace pictora::album
