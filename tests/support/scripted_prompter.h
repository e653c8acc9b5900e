// SPDX-License-Identifier: MIT
#pragma once

#include "album/prompts.h"
#include "album/settings.h"

#include <deque>
#include <string>
#include <vector>

namespace pictora::test
{

/// A prompter that expects an exact sequence of message texts and gives scripted answers.
/// Any unexpected text fails the test; prompts left unasked fail it when the script is destroyed.
/// A named question must come in its declared box, and a scripted answer must be one of its buttons.
/// The report after a make asks nothing and only says what a visitor would hit: unless the script
/// expects it next, it is kept in reports() rather than failing the suites about other things.
class ScriptedPrompter final : public album::Prompter
{
public:
    struct Step {
        std::string text;
        album::Answer answer = album::Answer::Ok;
        album::PromptKind kind = album::PromptKind::Information;
        /// Checked when set: the question the prompt must be asked as.
        album::Question question = album::Question::None;
    };

    ScriptedPrompter() = default;
    ScriptedPrompter(std::initializer_list<Step> steps);
    ~ScriptedPrompter() override;

    void expect(std::string text, album::Answer answer, album::PromptKind kind);
    /// Expects a named question, in its declared box.
    void expect(album::Question question, std::string text, album::Answer answer);
    album::Answer ask(const album::Prompt &prompt) override;

    /// Every prompt asked so far, in order.
    [[nodiscard]] const std::vector<album::Prompt> &asked() const { return m_asked; }
    /// The texts of the reports after makes that the script did not expect.
    [[nodiscard]] const std::vector<std::string> &reports() const { return m_reports; }

private:
    std::deque<Step> m_script;
    std::vector<album::Prompt> m_asked;
    std::vector<std::string> m_reports;
};

/// Counts the two document-wide change effects.
struct CountingSink final : album::ChangeSink {
    int marked = 0;
    int withdrawn = 0;
    void markProjectChanged() override { ++marked; }
    void withdrawRebuild() override { ++withdrawn; }
};

/// A progress sink that records every call as text ("show", "pos 25", "label [ 1 / 4 ]", "hide").
class RecordingProgress final : public album::ProgressSink
{
public:
    void show() override { calls.push_back("show"); }
    void setPosition(int percent) override { calls.push_back("pos " + std::to_string(percent)); }
    void setLabel(const std::string &text) override { calls.push_back("label " + text); }
    void hide() override { calls.push_back("hide"); }
    std::vector<std::string> calls;
};

} // namespace pictora::test
