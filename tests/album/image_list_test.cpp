// SPDX-License-Identifier: MIT
#include "album/image_list.h"
#include "album/settings.h"
#include "tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pictora::album;
using pictora::test::CountingSink;
using pictora::test::ScriptedPrompter;

namespace
{

std::string stampOf(const std::string &path)
{
    return "stamp of " + fileNamePart(path);
}

bool byName(const std::string &a, const std::string &b)
{
    return a < b;
}

std::vector<std::string> names(const ImageList &list)
{
    std::vector<std::string> out;
    for (const auto &e : list.entries())
        out.push_back(fileNamePart(e.path));
    return out;
}

std::vector<bool> marks(const ImageList &list)
{
    std::vector<bool> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(list.isSelected(i));
    return out;
}

struct ListOps : ::testing::Test {
    ImageList list;
    CountingSink sink;

    void fill(std::vector<std::string> paths)
    {
        ScriptedPrompter prompts { { kSortQuestion, Answer::No, PromptKind::Confirmation } };
        ASSERT_TRUE(list.addPictures(paths, prompts, byName, stampOf, sink));
    }
};

} // namespace

TEST_F(ListOps, AddingAsksTheSortQuestionAndSortsOnYes)
{
    fill({ "/p/x.jpg" });
    ScriptedPrompter prompts { { kSortQuestion, Answer::Yes, PromptKind::Confirmation } };
    list.addPictures({ "/p/c.jpg", "/p/a.jpg", "/p/b.jpg" }, prompts, byName, stampOf, sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "x.jpg", "a.jpg", "b.jpg", "c.jpg" }));
    EXPECT_EQ(list[1].comment, "a.jpg");
    EXPECT_EQ(list[1].timeStamp, "stamp of a.jpg");
    EXPECT_EQ(list.current(), 0);
    EXPECT_GE(sink.withdrawn, 2);
}

TEST_F(ListOps, CancelAddsNothingAndDuplicatesAreIndependentEntries)
{
    ScriptedPrompter cancel { { kSortQuestion, Answer::Cancel, PromptKind::Confirmation } };
    EXPECT_FALSE(list.addPictures({ "/p/a.jpg" }, cancel, byName, stampOf, sink));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(sink.marked, 0);
    fill({ "/p/a.jpg", "/p/a.jpg" });
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(ListOps, DroppingKeepsOnlyExactCaseExtensions)
{
    ScriptedPrompter prompts { { kSortQuestion, Answer::No, PromptKind::Confirmation } };
    list.addDropped({ "/d/b.jpeg", "/d/a.JPG", "/d/c.Png", "/d/d.pcx", "/d/e.gif", "/d/f.FPX" },
        prompts,
        byName,
        stampOf,
        sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "a.JPG", "d.pcx", "f.FPX" }));
    EXPECT_EQ(list.current(), 0);
}

TEST_F(ListOps, MovingABlockDownKeepsItSelectedWithTheUpperOneCurrent)
{
    fill({ "/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg" });
    list.setSelected(0, false);
    list.setSelected(1, true);
    list.setSelected(2, true);
    list.setCurrent(1);
    list.moveDown(sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "0.jpg", "3.jpg", "1.jpg", "2.jpg" }));
    EXPECT_EQ(marks(list), (std::vector<bool> { false, false, true, true }));
    EXPECT_EQ(list.current(), 2);
    list.moveUp(sink);
    list.moveUp(sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "1.jpg", "2.jpg", "0.jpg", "3.jpg" }));
    EXPECT_EQ(marks(list), (std::vector<bool> { true, true, false, false }));
    EXPECT_EQ(list.current(), 0);
}

TEST_F(ListOps, MovingUpFromTheFirstEntryDoesNothing)
{
    fill({ "/p/0.jpg", "/p/1.jpg" });
    list.setCurrent(0);
    sink = {};
    list.moveUp(sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "0.jpg", "1.jpg" }));
    EXPECT_EQ(sink.marked, 0);
}

TEST_F(ListOps, SelectionIncludingTheEdgesKeepsTheListConsistent)
{
    fill({ "/p/0.jpg", "/p/1.jpg", "/p/2.jpg" });
    list.setSelected(0, true);
    list.setSelected(2, true);
    list.setCurrent(1);
    list.moveUp(sink);
    list.moveDown(sink);
    auto n = names(list);
    std::ranges::sort(n);
    EXPECT_EQ(n, (std::vector<std::string> { "0.jpg", "1.jpg", "2.jpg" }));
}

TEST_F(ListOps, DeletingSelectedEntriesMarksTheNextOne)
{
    fill({ "/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg" });
    list.setSelected(0, false);
    list.setSelected(1, true);
    list.setSelected(2, true);
    list.setCurrent(1);
    list.deleteSelected(sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "0.jpg", "3.jpg" }));
    EXPECT_EQ(list.current(), 1);
    EXPECT_TRUE(list.isSelected(1));
    list.deleteAll(sink);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.current(), -1);
}

TEST_F(ListOps, CommentsAndTimeStampsGoToTheCurrentEntryOnly)
{
    fill({ "/p/0.jpg", "/p/1.jpg" });
    list.setCurrent(1);
    list.storeComment("line 1\r\nline 2", sink);
    list.storeTimeStamp("free text", sink);
    EXPECT_EQ(list[1].comment, "line 1\r\nline 2");
    EXPECT_EQ(list[1].timeStamp, "free text");
    EXPECT_EQ(list[0].comment, "0.jpg");
}
