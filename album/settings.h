// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pictora::album
{

class Prompter;

/// Every album option, named after the control that holds it in the main window.
/// The order is the order in which a reset of New/Open sets them.
enum class OptionId : int {
    edHTMLPath,
    edTitle,
    mmComment,
    mmComment2,
    edBGImage,
    edBt1Face,
    edBt2Face,
    edBt3Face,
    edBt1URL,
    edBt2URL,
    edBt3URL,
    cbTimeStamp,
    edThumbX,
    edThumbY,
    rbL, // choice: 0 = rbL (long side), 1 = rbS (short side)
    edMainX,
    edMainY,
    rbLmain, // choice: 0 = rbLmain, 1 = rbSmain
    cbTransMain,
    qJPEG,
    edqJPEG,
    cbJPEGc,
    csTitleSize,
    csComSize,
    edText,
    edLink,
    edVLink,
    edALink,
    edFTitle,
    edFCom,
    edBG,
    csCol,
    csW1,
    csW2,
    csW3,
    csIW,
    csFCW,
    csFCH,
    cbNowrap,
    cbBT1,
    cbBT2,
    cbBT3,
    // Options for the screens an album is looked at on; off (density 1) in a new project.
    cbPhone,
    csDensity,
    cbAccess,
    cbUTF8,
    // Options a reset leaves as they are.
    rbTL, // choice: 0 = rbTL, 1 = rbTC, 2 = rbTR, -1 = none selected
    rbCL, // choice: 0 = rbCL, 1 = rbCC, 2 = rbCR, -1 = none selected
    csSlideTime,
    cbMakeSlide,
    cbMainOrigin,
    cbCellBGColor,
    edCellBGColor,
    cbBorderColor,
    edBorderColor,
    cbMemo,
    edIndex,
    edFileExt,
    edCSS,
    edRevMade,
    ViewTavuri,
    Count
};

inline constexpr std::size_t kOptionCount = static_cast<std::size_t>(OptionId::Count);

enum class OptionKind {
    Text, ///< single-line edit
    NumberText, ///< edit holding a whole number as text, converted where it is used
    Spin, ///< whole number kept within [minimum, maximum]
    Check, ///< ticked or not
    Choice, ///< radio group: index of the selected button, -1 for none
    Slider, ///< 0 to 100
    ChoiceText, ///< editable drop-down
    Memo, ///< lines separated by CR LF
    Colour, ///< colour text RRGGBB; its swatch shows HexTextToColor of it
};

/// What a change of an option does besides storing the value.
enum ChangeEffect : unsigned {
    kNoEffect = 0,
    kMarksChanged = 1u << 0, ///< MarkProjectChanged
    kWithdrawsRebuild = 1u << 1, ///< WithdrawRebuild
    kCellLimit = 1u << 2, ///< pulled back to the thumbnail size, marking changed only then
    kQualityPair = 1u << 3, ///< qJPEG and edqJPEG follow each other
};

using OptionValue = std::variant<bool, int, std::string>;

/// The declaration of one option: everything the window, the reset and the project file need.
struct OptionDecl {
    OptionId id;
    std::string_view control; ///< control name, e.g. "edTitle"
    OptionKind kind;
    std::string_view caption; ///< caption or label shown in the window
    OptionValue start; ///< value at program start
    std::optional<OptionValue> reset; ///< value after New/Open; nullopt = unchanged
    int minimum = 0; ///< range of spin edits and sliders
    int maximum = 0;
    unsigned effects = kNoEffect;
    std::span<const std::string_view> enables = {}; ///< controls enabled exactly when this box is ticked
    std::span<const std::string_view> disables = {}; ///< controls enabled exactly when it is not ticked
    /// a choice's radio buttons, or a drop-down's items, in order
    std::span<const std::string_view> buttons = {};
    bool saved = false; ///< kept in the project file
    std::optional<OptionId> limitedBy = std::nullopt; ///< the number text a cell size may not exceed
    std::string_view limitMessage = {}; ///< shown when that limit pulls the value back
};

[[nodiscard]] std::span<const OptionDecl, kOptionCount> optionTable();
[[nodiscard]] const OptionDecl &optionDecl(OptionId id);
[[nodiscard]] std::optional<OptionId> findOption(std::string_view control);

/// Pulls a spin or slider value into its range.
[[nodiscard]] int clampToRange(const OptionDecl &decl, int value);

/// The album options' values. Plain storage: coupling rules live in SettingsEditor.
class AlbumSettings
{
public:
    AlbumSettings(); ///< every option at its start value

    [[nodiscard]] const OptionValue &value(OptionId id) const { return m_values[index(id)]; }
    [[nodiscard]] const std::string &text(OptionId id) const;
    [[nodiscard]] int number(OptionId id) const;
    [[nodiscard]] bool checked(OptionId id) const;
    /// The screen colour value a colour option's swatch shows.
    [[nodiscard]] std::uint32_t swatch(OptionId id) const;

    /// Stores a value as it is (spin values clamped); no coupling rules run.
    void store(OptionId id, OptionValue value);

    /// Whether a control of the main window is enabled under the enabling rules.
    [[nodiscard]] bool isEnabled(std::string_view control) const;

    bool operator==(const AlbumSettings &) const = default;

private:
    static std::size_t index(OptionId id) { return static_cast<std::size_t>(id); }
    std::array<OptionValue, kOptionCount> m_values;
};

/// Receives the two document-wide change effects.
class ChangeSink
{
public:
    virtual ~ChangeSink() = default;
    virtual void markProjectChanged() = 0;
    virtual void withdrawRebuild() = 0;
};

/// Changes options the way the window does: stores the value, then runs the option's coupling rules
/// (quality pair, cell-size limit, changed mark, rebuild withdrawal) in their order. The reset of
/// New/Open and the project reader change options through here too, so the rules always hold.
class SettingsEditor
{
public:
    SettingsEditor(AlbumSettings &settings, ChangeSink &changes, Prompter &prompts);

    /// Sets an option. Throws ConversionError where a rule converts a text that is not a number
    /// (the value is then stored but the rules after that point do not run).
    void set(OptionId id, const OptionValue &value);
    /// Sets every option that New/Open resets, in declaration order.
    void reset();

private:
    void runChangeHandler(OptionId id);

    AlbumSettings &m_settings;
    ChangeSink &m_changes;
    Prompter &m_prompts;
};

} // namespace pictora::album
