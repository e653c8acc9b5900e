// SPDX-License-Identifier: MIT
#pragma once

#include "album/time_shift.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pictora::album
{

inline constexpr const char *kProjectFilter = "Pictora・プロジェクトファイル (*.pxa)|*.pxa";
inline constexpr const char *kFolderBrowserTitle = "HTMLフォルダ出力先を選択してください";

/// The file, folder and colour dialogs, so that rules which ask for a file run without a window.
/// The desktop implements it with Qt's dialogs, tests with a script of answers.
class Chooser
{
public:
    virtual ~Chooser() = default;
    /// The open-picture dialog (several files may be chosen); empty when cancelled.
    virtual std::vector<std::string> openPictures() = 0;
    /// The open-project dialog; nullopt when cancelled.
    virtual std::optional<std::string> openProject() = 0;
    /// The save-project dialog, which asks before replacing a file, showing `current` (the current
    /// project file) when it is not empty; nullopt when cancelled.
    virtual std::optional<std::string> saveProject(const std::string &current) = 0;
    /// The folder browser, preselecting `startFolder` when it is not empty; nullopt when cancelled.
    virtual std::optional<std::string> pickFolder(const std::string &startFolder) = 0;
    /// The colour dialog preset to a screen colour value; nullopt when cancelled.
    virtual std::optional<std::uint32_t> pickColour(std::uint32_t preset) = 0;
    /// The time-shift dialog for `count` entries; nullopt when cancelled. Front ends without it
    /// cancel.
    virtual std::optional<TimeShiftChoice> pickTimeShift(std::size_t count)
    {
        (void)count;
        return std::nullopt;
    }
};

} // namespace pictora::album
