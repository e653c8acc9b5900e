// SPDX-License-Identifier: MIT
#include "tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pictora::test
{

ScriptedPrompter::ScriptedPrompter(std::initializer_list<Step> steps)
    : m_script(steps)
{
}

ScriptedPrompter::~ScriptedPrompter()
{
    for (const auto &step : m_script)
        ADD_FAILURE() << "prompt never asked: " << step.text;
}

void ScriptedPrompter::expect(std::string text, album::Answer answer, album::PromptKind kind)
{
    m_script.push_back({ std::move(text), answer, kind });
}

void ScriptedPrompter::expect(album::Question question, std::string text, album::Answer answer)
{
    m_script.push_back({ std::move(text), answer, album::boxOf(question).kind, question });
}

album::Answer ScriptedPrompter::ask(const album::Prompt &prompt)
{
    m_asked.push_back(prompt);
    if (prompt.question == album::Question::VisitorReport
        && (m_script.empty() || m_script.front().question != album::Question::VisitorReport)) {
        EXPECT_EQ(album::boxOf(prompt.question).buttons, prompt.buttons) << prompt.text;
        m_reports.push_back(prompt.text);
        return album::Answer::Ok;
    }
    if (m_script.empty()) {
        ADD_FAILURE() << "unexpected prompt: " << prompt.text;
        return album::Answer::Cancel;
    }
    Step step = m_script.front();
    m_script.pop_front();
    EXPECT_EQ(step.text, prompt.text);
    EXPECT_EQ(static_cast<int>(step.kind), static_cast<int>(prompt.kind)) << "kind of: " << prompt.text;
    if (step.question != album::Question::None) {
        EXPECT_EQ(static_cast<int>(step.question), static_cast<int>(prompt.question))
            << "question: " << prompt.text;
    }
    if (prompt.question != album::Question::None) {
        const album::QuestionBox box = album::boxOf(prompt.question);
        EXPECT_EQ(static_cast<int>(box.kind), static_cast<int>(prompt.kind))
            << "declared kind of: " << prompt.text;
        EXPECT_EQ(box.buttons, prompt.buttons) << "declared buttons of: " << prompt.text;
    }
    EXPECT_NE(std::find(prompt.buttons.begin(), prompt.buttons.end(), step.answer), prompt.buttons.end())
        << "scripted answer is no button of: " << prompt.text;
    return step.answer;
}

} // namespace pictora::test
