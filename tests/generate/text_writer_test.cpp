// SPDX-License-Identifier: MIT
#include "base/errors.h"
#include "generate/page_text.h"
#include "generate/size_cache.h"
#include "generate/text_writer.h"
#include "tests/generate/byte_compare.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace pictora;
namespace fs = std::filesystem;

TEST(TextWriter, JapaneseAndUnfitCharactersOnDisk)
{
    test::TempDir dir;
    const std::string path = dir.file("title.htm");
    generate::writeTextFile(path, "<TITLE>旅行～①</TITLE>\n😀\u00A5\u301C");
    EXPECT_TRUE(test::sameBytes(
        "<TITLE>\x97\xB7\x8D\x73\x81\x60\x87\x40</TITLE>\r\n&#128512;&#165;&#12316;", test::readFile(path)));
}

TEST(TextWriter, LineEndsAndConvertedCommentsEndInCrCrLf)
{
    test::TempDir dir;
    const std::string path = dir.file("page.htm");
    generate::writeTextFile(path, "<P>\n" + generate::convertComment("a\r\nb\r\n\r\n") + "</P>\n\n");
    EXPECT_TRUE(test::sameBytes("<P>\r\na<BR>b\r\r\n</P>\r\n\r\n", test::readFile(path)));
}

TEST(TextWriter, ReplacesAnExistingFileAndLeavesNoTemporaryFile)
{
    test::TempDir dir;
    const std::string path = dir.file("index.htm");
    test::writeFile(path, std::string(10000, 'x'));
    generate::writeTextFile(path, "short\n");
    EXPECT_EQ(test::readFile(path), "short\r\n");
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "index.htm" });
}

TEST(TextWriter, LargeTextWrittenWhole)
{
    test::TempDir dir;
    const std::string path = dir.file("big.htm");
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "行" + std::to_string(i) + "\n";
    generate::writeTextFile(path, text);
    EXPECT_TRUE(test::sameBytes(generate::encodeText(text), test::readFile(path)));
    EXPECT_EQ(generate::encodeText("行\n").size(), 4u);
}

TEST(TextWriter, UnwritablePlaceIsReportedByPathAndNothingIsLeft)
{
    test::TempDir dir;
    // A regular file as the parent folder fails even for root.
    test::writeFile(dir.file("notafolder"), "keep");
    const std::string path = dir.file("notafolder") + "/index.htm";
    try {
        generate::writeTextFile(path, "text\n");
        FAIL() << "no error";
    } catch (const base::UserError &e) {
        EXPECT_NE(std::string(e.what()).find(path + "\nに書き込めません。"), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "notafolder" });
    EXPECT_EQ(test::readFile(dir.file("notafolder")), "keep");
}

TEST(TextWriter, FolderInTheWayIsReportedAndKept)
{
    test::TempDir dir;
    fs::create_directory(dir.file("index.htm"));
    test::writeFile(dir.file("index.htm") + "/inside", "keep");
    EXPECT_THROW(generate::writeTextFile(dir.file("index.htm"), "text\n"), base::UserError);
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "index.htm" });
    EXPECT_EQ(test::readFile(dir.file("index.htm") + "/inside"), "keep");
}

TEST(TextWriter, UncommittedFileLeavesTheOldOneAlone)
{
    test::TempDir dir;
    const std::string path = dir.file("index.htm");
    test::writeFile(path, "old");
    {
        generate::TextFile file(path);
        file.write(std::string(100000, 'n')); // past the buffer, so bytes reach the temporary file
    }
    EXPECT_EQ(test::readFile(path), "old");
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "index.htm" });
}

TEST(TextWriter, NameAtTheLengthLimit)
{
    test::TempDir dir;
    const std::string path = dir.file(std::string(251, 'n') + ".htm");
    generate::writeTextFile(path, "x\n");
    EXPECT_EQ(test::readFile(path), "x\r\n");
    EXPECT_EQ(test::namesIn(dir.path()).size(), 1u);
}

TEST(TextWriter, AFileThatHoldsTheTextAlreadyIsLeftAsItIsAnyOtherIsReplaced)
{
    test::TempDir dir;
    const std::string path = dir.file("index.htm");
    std::string big; // past the buffer, so that the bytes found equal are carried over
    for (int i = 0; i < 20000; ++i)
        big += "行" + std::to_string(i) + "\n";
    std::string changedLate = big;
    changedLate[changedLate.size() - 10] = 'x';
    struct Case {
        const char *what;
        std::string before; ///< bytes on disk
        std::string text;
        bool written;
    };
    const std::vector<Case> cases = {
        { "the same", generate::encodeText(big), big, false },
        { "the same, empty", "", "", false },
        { "longer on disk", generate::encodeText(big) + "tail", big, true },
        { "shorter on disk", generate::encodeText(big.substr(0, 70000)), big, true },
        { "one byte after the first buffer", generate::encodeText(big), changedLate, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::writeFile(path, c.before);
        const std::optional<generate::FileStamp> stamp = generate::stampOf(path);
        EXPECT_EQ(generate::writeTextFile(path, c.text), c.written);
        EXPECT_TRUE(test::sameBytes(generate::encodeText(c.text), test::readFile(path)));
        EXPECT_EQ(generate::stampOf(path) == stamp, !c.written);
        EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "index.htm" });
    }

    // A link to the very same bytes is replaced by a file all the same.
    fs::remove(path);
    test::writeFile(dir.file("elsewhere"), "x\r\n");
    fs::create_symlink(dir.file("elsewhere"), path);
    EXPECT_TRUE(generate::writeTextFile(path, "x\n"));
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(test::readFile(path), "x\r\n");
}
