// SPDX-License-Identifier: MIT
#include "tests/project/project_test_support.h"

#include "base/cp932.h"
#include "tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

namespace pictora::test
{

album::AlbumSettings newDocument()
{
    album::AlbumSettings settings;
    CountingChanges changes;
    ScriptedPrompter prompts;
    album::SettingsEditor(settings, changes, prompts).reset();
    return settings;
}

std::vector<std::string> crlfLines(const std::string &bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line has no CR LF: " << bytes.substr(start);
            break;
        }
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line end in: " << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

std::string handWritten(const std::string &utf8Text)
{
    std::string text;
    for (char c : utf8Text) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    auto bytes = base::cp932::encode(text);
    EXPECT_TRUE(bytes) << "not CP932: " << utf8Text;
    return bytes.value_or(std::string());
}

std::string withLine(const std::string &bytes, std::size_t index, const std::string &line)
{
    std::vector<std::string> lines = crlfLines(bytes);
    EXPECT_LT(index, lines.size());
    if (index < lines.size())
        lines[index] = line;
    std::string out;
    for (const auto &l : lines)
        out += l + "\r\n";
    return out;
}

} // namespace pictora::test
