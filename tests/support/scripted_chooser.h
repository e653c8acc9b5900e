// SPDX-License-Identifier: MIT
#pragma once

#include "album/choosers.h"

#include <deque>
#include <string>
#include <variant>
#include <vector>

namespace pictora::test
{

/// A chooser that expects an exact sequence of dialogs and gives scripted answers. A dialog that
/// was not expected fails the test; dialogs left unshown fail it when the script is destroyed.
class ScriptedChooser final : public album::Chooser
{
public:
    enum class Dialog { OpenPictures, OpenProject, SaveProject, PickFolder, PickColour, ShiftTime };
    struct Step {
        Dialog dialog;
        /// Paths for OpenPictures; one path or none (cancel) for the others, a colour as
        /// its decimal screen value for PickColour, for ShiftTime the offset ("+1h30m") and
        /// "sort" when the list is to be sorted by time.
        std::vector<std::string> answer;
    };

    ScriptedChooser() = default;
    ScriptedChooser(std::initializer_list<Step> steps);
    ~ScriptedChooser() override;

    void expect(Dialog dialog, std::vector<std::string> answer);

    std::vector<std::string> openPictures() override;
    std::optional<std::string> openProject() override;
    std::optional<std::string> saveProject(const std::string &current) override;
    std::optional<std::string> pickFolder(const std::string &startFolder) override;
    std::optional<std::uint32_t> pickColour(std::uint32_t preset) override;
    std::optional<album::TimeShiftChoice> pickTimeShift(std::size_t count) override;

    /// The start folders the folder browser was given, in order.
    std::vector<std::string> folderStarts;
    /// The files the save dialog showed, in order.
    std::vector<std::string> saveStarts;
    /// The presets the colour dialog was given, in order.
    std::vector<std::uint32_t> colourPresets;
    /// The entry counts the time-shift dialog was given, in order.
    std::vector<std::size_t> shiftCounts;

private:
    std::vector<std::string> next(Dialog dialog);
    std::optional<std::string> nextOne(Dialog dialog);

    std::deque<Step> m_script;
};

} // namespace pictora::test
