// SPDX-License-Identifier: MIT
#include "tests/support/scripted_chooser.h"

#include <gtest/gtest.h>

namespace pictora::test
{

namespace
{
const char *dialogName(ScriptedChooser::Dialog dialog)
{
    switch (dialog) {
    case ScriptedChooser::Dialog::OpenPictures:
        return "open pictures";
    case ScriptedChooser::Dialog::OpenProject:
        return "open project";
    case ScriptedChooser::Dialog::SaveProject:
        return "save project";
    case ScriptedChooser::Dialog::PickFolder:
        return "pick folder";
    case ScriptedChooser::Dialog::PickColour:
        return "pick colour";
    case ScriptedChooser::Dialog::ShiftTime:
        return "shift time";
    }
    return "?";
}
} // namespace

ScriptedChooser::ScriptedChooser(std::initializer_list<Step> steps)
    : m_script(steps)
{
}

ScriptedChooser::~ScriptedChooser()
{
    for (const Step &step : m_script)
        ADD_FAILURE() << "dialog expected but never shown: " << dialogName(step.dialog);
}

void ScriptedChooser::expect(Dialog dialog, std::vector<std::string> answer)
{
    m_script.push_back(Step { dialog, std::move(answer) });
}

std::vector<std::string> ScriptedChooser::next(Dialog dialog)
{
    if (m_script.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << dialogName(dialog);
        return {};
    }
    Step step = m_script.front();
    m_script.pop_front();
    if (step.dialog != dialog) {
        ADD_FAILURE() << "expected dialog " << dialogName(step.dialog) << ", shown " << dialogName(dialog);
        return {};
    }
    return step.answer;
}

std::optional<std::string> ScriptedChooser::nextOne(Dialog dialog)
{
    std::vector<std::string> answer = next(dialog);
    if (answer.empty())
        return std::nullopt;
    return answer.front();
}

std::vector<std::string> ScriptedChooser::openPictures()
{
    return next(Dialog::OpenPictures);
}

std::optional<std::string> ScriptedChooser::openProject()
{
    return nextOne(Dialog::OpenProject);
}

std::optional<std::string> ScriptedChooser::saveProject(const std::string &current)
{
    saveStarts.push_back(current);
    return nextOne(Dialog::SaveProject);
}

std::optional<std::string> ScriptedChooser::pickFolder(const std::string &startFolder)
{
    folderStarts.push_back(startFolder);
    return nextOne(Dialog::PickFolder);
}

std::optional<std::uint32_t> ScriptedChooser::pickColour(std::uint32_t preset)
{
    colourPresets.push_back(preset);
    std::optional<std::string> answer = nextOne(Dialog::PickColour);
    if (!answer)
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(*answer));
}

std::optional<album::TimeShiftChoice> ScriptedChooser::pickTimeShift(std::size_t count)
{
    shiftCounts.push_back(count);
    const std::vector<std::string> answer = next(Dialog::ShiftTime);
    if (answer.empty())
        return std::nullopt;
    const auto minutes = album::parseTimeOffset(answer.front());
    if (!minutes) {
        ADD_FAILURE() << "scripted offset is no offset: " << answer.front();
        return std::nullopt;
    }
    return album::TimeShiftChoice { *minutes, answer.size() > 1 && answer[1] == "sort" };
}

} // namespace pictora::test
