// SPDX-License-Identifier: MIT
#include "tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

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

album::Answer ScriptedPrompter::ask(const album::Prompt &prompt)
{
    m_asked.push_back(prompt);
    if (m_script.empty()) {
        ADD_FAILURE() << "unexpected prompt: " << prompt.text;
        return album::Answer::Cancel;
    }
    Step step = m_script.front();
    m_script.pop_front();
    EXPECT_EQ(step.text, prompt.text);
    EXPECT_EQ(static_cast<int>(step.kind), static_cast<int>(prompt.kind)) << "kind of: " << prompt.text;
    return step.answer;
}

} // namespace pictora::test
