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

TEST_F(ListOps, DroppingKeepsPictureNamesWhateverTheirCase)
{
    ScriptedPrompter prompts { { kSortQuestion, Answer::No, PromptKind::Confirmation } };
    list.addDropped({ "/d/b.jpeg",
                        "/d/a.JPG",
                        "/d/c.Png",
                        "/d/d.pcx",
                        "/d/e.gif",
                        "/d/f.FPX",
                        "/d/g.HEIC",
                        "/d/h.Avif",
                        "/d/i.webp",
                        "/d/j.JXL",
                        "/d/k.txt",
                        "/d/jpg",
                        "/d/.jpg" },
        prompts,
        byName,
        stampOf,
        sink);
    EXPECT_EQ(names(list),
        (std::vector<std::string> {
            "b.jpeg", "a.JPG", "c.Png", "d.pcx", "e.gif", "g.HEIC", "h.Avif", "i.webp", "j.JXL" }));
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

TEST_F(ListOps, UndoTakesBackDeletionsMovesAndShiftsButKeepsCommentsTypedSince)
{
    fill({ "/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg" });
    list.setCurrent(1);
    list.storeComment("first comment", sink);
    list.setSelected(0, false);
    list.setSelected(1, true);
    list.setSelected(2, true);
    list.deleteSelected(sink);
    list.setCurrent(0);
    list.storeComment("typed after the delete", sink);
    list.setSelected(1, false);
    list.setSelected(0, true);
    list.moveDown(sink);
    ASSERT_EQ(names(list), (std::vector<std::string> { "3.jpg", "0.jpg" }));

    sink = {};
    ASSERT_TRUE(list.undo(sink));
    EXPECT_EQ(names(list), (std::vector<std::string> { "0.jpg", "3.jpg" }));
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(marks(list), (std::vector<bool> { true, false }));
    ASSERT_TRUE(list.undo(sink));
    EXPECT_EQ(names(list), (std::vector<std::string> { "0.jpg", "1.jpg", "2.jpg", "3.jpg" }));
    EXPECT_EQ(list[1].comment, "first comment");
    EXPECT_EQ(list[1].timeStamp, "stamp of 1.jpg");
    EXPECT_EQ(list[0].comment, "typed after the delete");
    EXPECT_EQ(marks(list), (std::vector<bool> { false, true, true, false }));
    EXPECT_EQ(list.current(), 1);
    EXPECT_EQ(sink.marked, 2);
    EXPECT_EQ(sink.withdrawn, 2);
    // The add that filled the list is the last step left.
    ASSERT_TRUE(list.undo(sink));
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.undo(sink));

    // A shift with sorting goes back whole: the stamps and the order.
    fill({ "/p/a.jpg", "/p/b.jpg" });
    list.setCurrent(0);
    list.storeTimeStamp("2004年05月01日 13時05分", sink);
    list.setCurrent(1);
    list.storeTimeStamp("2004年05月01日 12時00分", sink);
    ScriptedPrompter quiet;
    const ShiftResult shifted = list.shiftTimeStamps({ 0 }, -120, true, quiet, sink);
    EXPECT_EQ(shifted.shifted, 1u);
    EXPECT_EQ(names(list), (std::vector<std::string> { "a.jpg", "b.jpg" }));
    list.shiftTimeStamps({ 1 }, -120, true, quiet, sink);
    EXPECT_EQ(names(list), (std::vector<std::string> { "b.jpg", "a.jpg" }));
    EXPECT_EQ(list.current(), 0) << "the current entry moves with its picture";
    ASSERT_TRUE(list.undo(sink));
    ASSERT_TRUE(list.undo(sink));
    EXPECT_EQ(names(list), (std::vector<std::string> { "a.jpg", "b.jpg" }));
    EXPECT_EQ(list[0].timeStamp, "2004年05月01日 13時05分");
    EXPECT_EQ(list[1].timeStamp, "2004年05月01日 12時00分");

    // At least ten steps deep; another document starts with none.
    for (int i = 0; i < 12; ++i) {
        list.setCurrent(1);
        list.setSelected(1, true);
        list.moveUp(sink);
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(list.undo(sink)) << i;
    list.assign({});
    EXPECT_FALSE(list.canUndo());
}

TEST_F(ListOps, ADropThatAddsNothingSaysWhatItSkippedAndChangesNothing)
{
    fill({ "/p/0.jpg", "/p/1.jpg" });
    list.setCurrent(1);
    sink = {};
    const std::string skipped = nothingDroppedMessage({ { "/d/a.txt", "追加できない種類のファイルです" },
        { "https://example.org/b.jpg", "ローカルのファイルではありません" } });
    ScriptedPrompter prompts { { kSortQuestion, Answer::No, PromptKind::Confirmation },
        { skipped, Answer::Ok, PromptKind::Information } };
    const DropResult result
        = list.addDropped({ "/d/a.txt", "https://example.org/b.jpg" }, prompts, byName, stampOf, sink);
    EXPECT_EQ(result.added, 0u);
    EXPECT_EQ(result.skipped.size(), 2u);
    EXPECT_NE(skipped.find("a.txt : 追加できない種類のファイルです"), std::string::npos) << skipped;
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.current(), 1);
    EXPECT_EQ(sink.marked + sink.withdrawn, 0);
}
