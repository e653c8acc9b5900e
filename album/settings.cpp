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
    // Fields left out keep their defaults: no range, no effect, no enabling rule, not saved.
    def({.id = I::edHTMLPath, .control = "edHTMLPath", .kind = K::Text, .caption = "HTMLアルバム出力先フォルダ", .start = S(), .reset = O(S()), .effects = C, .saved = true});
    def({.id = I::edTitle, .control = "edTitle", .kind = K::Text, .caption = "アルバムタイトル", .start = S(), .reset = O(S()), .effects = C, .saved = true});
    def({.id = I::mmComment, .control = "mmComment", .kind = K::Memo, .caption = "コメント(上段)", .start = S(), .reset = O(S()), .effects = C, .saved = true});
    def({.id = I::mmComment2, .control = "mmComment2", .kind = K::Memo, .caption = "コメント(下段)", .start = S(), .reset = O(S()), .effects = C, .saved = true});
    def({.id = I::edBGImage, .control = "edBGImage", .kind = K::Text, .caption = "背景の画像", .start = S(), .reset = O(S()), .effects = C | R, .saved = true});
    def({.id = I::edBt1Face, .control = "edBt1Face", .kind = K::Text, .caption = "ボタン文字列", .start = S("前のアルバム"), .reset = O(S("前のアルバム")), .effects = C, .saved = true});
    def({.id = I::edBt2Face, .control = "edBt2Face", .kind = K::Text, .caption = "ボタン文字列", .start = S("戻る"), .reset = O(S("戻る")), .effects = C, .saved = true});
    def({.id = I::edBt3Face, .control = "edBt3Face", .kind = K::Text, .caption = "ボタン文字列", .start = S("次のアルバム"), .reset = O(S("次のアルバム")), .effects = C, .saved = true});
    def({.id = I::edBt1URL, .control = "edBt1URL", .kind = K::Text, .caption = "ジャンプ先URL", .start = S(), .reset = O(S()), .effects = C, .saved = true});
    def({.id = I::edBt2URL, .control = "edBt2URL", .kind = K::Text, .caption = "ジャンプ先URL", .start = S("../index.htm"), .reset = O(S("../index.htm")), .effects = C, .saved = true});
    def({.id = I::edBt3URL, .control = "edBt3URL", .kind = K::Text, .caption = "ジャンプ先URL", .start = S(), .reset = O(S()), .effects = C, .saved = true});
    def({.id = I::cbTimeStamp, .control = "cbTimeStamp", .kind = K::Check, .caption = "コメントの最後にタイムスタンプを付加する。", .start = true, .reset = O(true), .effects = C, .enables = kTimeStampControls, .saved = true});
    def({.id = I::edThumbX, .control = "edThumbX", .kind = K::NumberText, .caption = "横サイズ", .start = S("160"), .reset = O(S("160")), .effects = C | R, .saved = true});
    def({.id = I::edThumbY, .control = "edThumbY", .kind = K::NumberText, .caption = "縦サイズ", .start = S("160"), .reset = O(S("160")), .effects = C | R, .saved = true});
    def({.id = I::rbL, .control = "rbL", .kind = K::Choice, .caption = "長辺を揃える", .start = 0, .reset = O(0), .maximum = 1, .effects = C | R, .buttons = kThumbModeButtons, .saved = true});
    def({.id = I::edMainX, .control = "edMainX", .kind = K::NumberText, .caption = "横サイズ", .start = S("640"), .reset = O(S("640")), .effects = C | R, .saved = true});
    def({.id = I::edMainY, .control = "edMainY", .kind = K::NumberText, .caption = "縦サイズ", .start = S("640"), .reset = O(S("640")), .effects = C | R, .saved = true});
    def({.id = I::rbLmain, .control = "rbLmain", .kind = K::Choice, .caption = "長辺を揃える", .start = 0, .reset = O(0), .maximum = 1, .effects = C | R, .buttons = kMainModeButtons, .saved = true});
    def({.id = I::cbTransMain, .control = "cbTransMain", .kind = K::Check, .caption = "メイン画像生成時に画像サイズを変更する", .start = true, .reset = O(true), .effects = C, .saved = true});
    def({.id = I::qJPEG, .control = "qJPEG", .kind = K::Slider, .caption = "JPEG品質", .start = 90, .reset = O(90), .maximum = 100, .effects = C | R | kQualityPair, .saved = true});
    def({.id = I::edqJPEG, .control = "edqJPEG", .kind = K::NumberText, .caption = "", .start = S("90"), .reset = O(S("90")), .maximum = 100, .effects = R | kQualityPair});
    def({.id = I::cbJPEGc, .control = "cbJPEGc", .kind = K::ChoiceText, .caption = "YCrCb サブサンプリング", .start = S("4:2:2"), .reset = O(S("4:2:2")), .effects = C | R, .buttons = kSamplingItems, .saved = true});
    def({.id = I::csTitleSize, .control = "csTitleSize", .kind = K::Spin, .caption = "文字サイズ", .start = 16, .reset = O(6), .minimum = 4, .maximum = 64, .effects = C, .saved = true});
    def({.id = I::csComSize, .control = "csComSize", .kind = K::Spin, .caption = "文字サイズ", .start = 14, .reset = O(3), .minimum = 4, .maximum = 64, .effects = C, .saved = true});
    def({.id = I::edText, .control = "edText", .kind = K::Colour, .caption = "文字の色", .start = S("000000"), .reset = O(S("000000")), .effects = C, .saved = true});
    def({.id = I::edLink, .control = "edLink", .kind = K::Colour, .caption = "リンク", .start = S("FF0000"), .reset = O(S("FF0000")), .effects = C, .saved = true});
    def({.id = I::edVLink, .control = "edVLink", .kind = K::Colour, .caption = "読込済", .start = S("8B0000"), .reset = O(S("8B0000")), .effects = C, .saved = true});
    def({.id = I::edALink, .control = "edALink", .kind = K::Colour, .caption = "読込中", .start = S("00FF00"), .reset = O(S("00FF00")), .effects = C, .saved = true});
    def({.id = I::edFTitle, .control = "edFTitle", .kind = K::Colour, .caption = "文字の色", .start = S("0000FF"), .reset = O(S("0000FF")), .effects = C, .saved = true});
    def({.id = I::edFCom, .control = "edFCom", .kind = K::Colour, .caption = "文字の色", .start = S("00008B"), .reset = O(S("00008B")), .effects = C, .saved = true});
    def({.id = I::edBG, .control = "edBG", .kind = K::Colour, .caption = "背景の色", .start = S("FFFFFF"), .reset = O(S("FFFFFF")), .effects = C, .saved = true});
    def({.id = I::csCol, .control = "csCol", .kind = K::Spin, .caption = "列の数", .start = 4, .reset = O(4), .maximum = 64, .effects = C, .saved = true});
    def({.id = I::csW1, .control = "csW1", .kind = K::Spin, .caption = "外側の罫線幅 (border)", .start = 1, .reset = O(1), .maximum = 32, .effects = C, .saved = true});
    def({.id = I::csW2, .control = "csW2", .kind = K::Spin, .caption = "セル間の空白幅 (cellspacing)", .start = 1, .reset = O(0), .maximum = 32, .effects = C, .saved = true});
    def({.id = I::csW3, .control = "csW3", .kind = K::Spin, .caption = "セル内の余白幅 (cellpadding)", .start = 2, .reset = O(4), .maximum = 128, .effects = C, .saved = true});
    def({.id = I::csIW, .control = "csIW", .kind = K::Spin, .caption = "イメージ枠の幅", .start = 0, .reset = O(0), .maximum = 32, .effects = C, .saved = true});
    def({.id = I::csFCW, .control = "csFCW", .kind = K::Spin, .caption = "セルの固定幅(横)", .start = 160, .reset = O(160), .maximum = 320, .effects = kCellLimit, .saved = true,
         .limitedBy = I::edThumbX,
         .limitMessage = "カラムの横幅をこれ以上大きくするには、\nサムネイルオプションで横サイズをより大きく設定してください。"});
    def({.id = I::csFCH, .control = "csFCH", .kind = K::Spin, .caption = "セルの固定幅(縦)", .start = 160, .reset = O(160), .maximum = 320, .effects = kCellLimit, .saved = true,
         .limitedBy = I::edThumbY,
         .limitMessage = "カラムの縦幅をこれ以上大きくするには、\nサムネイルオプションで縦サイズをより大きく設定してください。"});
    def({.id = I::cbNowrap, .control = "cbNowrap", .kind = K::Check, .caption = "カラム内でコメントを折り返さない。", .start = false, .reset = O(false), .effects = C, .disables = kFixedWidthControls, .saved = true});
    def({.id = I::cbBT1, .control = "cbBT1", .kind = K::Check, .caption = "左ボタン", .start = false, .reset = O(false), .effects = C, .enables = kBt1Controls, .saved = true});
    def({.id = I::cbBT2, .control = "cbBT2", .kind = K::Check, .caption = "中央ボタン", .start = true, .reset = O(true), .effects = C, .enables = kBt2Controls, .saved = true});
    def({.id = I::cbBT3, .control = "cbBT3", .kind = K::Check, .caption = "右ボタン", .start = false, .reset = O(false), .effects = C, .enables = kBt3Controls, .saved = true});
    def({.id = I::cbPhone, .control = "cbPhone", .kind = K::Check, .caption = "スマートフォンに合わせたページにする", .start = false, .reset = O(false), .effects = C, .saved = true});
    def({.id = I::csDensity, .control = "csDensity", .kind = K::Spin, .caption = "画像の密度 (倍)", .start = 1, .reset = O(1), .minimum = 1, .maximum = 3, .effects = C | R, .saved = true});
    def({.id = I::cbAccess, .control = "cbAccess", .kind = K::Check, .caption = "キーボード・タッチ操作・読み上げに対応する", .start = false, .reset = O(false), .effects = C, .saved = true});
    def({.id = I::cbUTF8, .control = "cbUTF8", .kind = K::Check, .caption = "UTF-8 でページを作成する", .start = false, .reset = O(false), .effects = C, .saved = true});
    def({.id = I::rbTL, .control = "rbTL", .kind = K::Choice, .caption = "左寄せ", .start = 1, .reset = kUnchanged, .maximum = 2, .effects = C, .buttons = kTitleAlignButtons, .saved = true});
    def({.id = I::rbCL, .control = "rbCL", .kind = K::Choice, .caption = "左寄せ", .start = 1, .reset = kUnchanged, .maximum = 2, .effects = C, .buttons = kCommentAlignButtons, .saved = true});
    def({.id = I::csSlideTime, .control = "csSlideTime", .kind = K::Spin, .caption = "スライド送り時間(秒)", .start = 5, .reset = kUnchanged, .maximum = 60, .saved = true});
    def({.id = I::cbMakeSlide, .control = "cbMakeSlide", .kind = K::Check, .caption = "スライドショウを作成する", .start = true, .reset = kUnchanged});
    def({.id = I::cbMainOrigin, .control = "cbMainOrigin", .kind = K::Check, .caption = "メイン画像に元画像を利用する", .start = false, .reset = kUnchanged, .effects = C | R});
    def({.id = I::cbCellBGColor, .control = "cbCellBGColor", .kind = K::Check, .caption = "セルの背景色", .start = false, .reset = kUnchanged, .effects = C, .enables = kCellColourControls, .saved = true});
    def({.id = I::edCellBGColor, .control = "edCellBGColor", .kind = K::Colour, .caption = "", .start = S("FFFFFF"), .reset = kUnchanged, .effects = C, .saved = true});
    def({.id = I::cbBorderColor, .control = "cbBorderColor", .kind = K::Check, .caption = "罫線の色", .start = false, .reset = kUnchanged, .effects = C, .enables = kBorderColourControls, .saved = true});
    def({.id = I::edBorderColor, .control = "edBorderColor", .kind = K::Colour, .caption = "", .start = S("000000"), .reset = kUnchanged, .effects = C, .saved = true});
    def({.id = I::cbMemo, .control = "cbMemo", .kind = K::Check, .caption = "画像のコメントを表示する。", .start = true, .reset = kUnchanged, .effects = C, .enables = kMemoControls, .saved = true});
    def({.id = I::edIndex, .control = "edIndex", .kind = K::Text, .caption = "アルバム表紙のHTMLファイル名", .start = S("index"), .reset = kUnchanged, .saved = true});
    def({.id = I::edFileExt, .control = "edFileExt", .kind = K::Text, .caption = "HTMLファイルの拡張子", .start = S(".htm"), .reset = kUnchanged, .saved = true});
    def({.id = I::edCSS, .control = "edCSS", .kind = K::Text, .caption = "スタイルファイル名指定", .start = S(), .reset = kUnchanged, .saved = true});
    def({.id = I::edRevMade, .control = "edRevMade", .kind = K::Text, .caption = "HTML作者連絡先", .start = S(), .reset = kUnchanged});
    def({.id = I::ViewTavuri, .control = "ViewTavuri", .kind = K::Check, .caption = "たぶりの頁へのリンクを挿入する", .start = true, .reset = kUnchanged});
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
