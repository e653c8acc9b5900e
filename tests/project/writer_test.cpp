// SPDX-License-Identifier: MIT
#include "base/errors.h"
#include "project/layout.h"
#include "project/project_writer.h"
#include "tests/project/project_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

using namespace pictora;
using album::OptionId;
using project::projectFileBytes;
using project::SaveProjectFile;
using test::crlfLines;
using test::newDocument;
using test::readFile;
using test::TempDir;
using test::writeFile;

namespace
{

// What New leaves, line by line as the layout has it.
const char *kNewDocument = R"([PictoraProject 0.2.13.0]

[edHTMLPath]


[edTitle]

6
1

[mmComment]


4
1

[SlideShow]
5

[Colors]
0
255
139
65280
16711680
9109504

[BackGround]
16777215


[Button]
0
1
0
前のアルバム
戻る
次のアルバム

../index.htm


[Cells]
4
1
0
4
0
160
160
0
0
16777215
0
0

[ThumbNail]
160
160
1

[ViewImage]
640
640
1
1

[JPEG]
90
4:2:2

[Others]
index
.htm


[ImageNum]
0

[TimeStamp]
1

[ImageList]
1
)";

std::vector<album::ImageEntry> threePictures()
{
    return {
        { "/photos/a.jpg", "海\r\n山\r\n", "2001年02月03日 04時05分" },
        { "/photos/b.jpg", "", "" },
        { "/photos/c.jpg", "ひとこと", "stamp" },
    };
}

std::size_t filesIn(const std::filesystem::path &folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(ProjectWriter, NewDocumentIsTheEightyFourLinesOfTheLayoutInCp932)
{
    const std::string bytes = projectFileBytes(newDocument(), {});
    EXPECT_EQ(bytes, test::handWritten(kNewDocument));
    EXPECT_EQ(crlfLines(bytes).size(), 84u);
    // "戻る" in CP932, no byte-order mark.
    EXPECT_NE(bytes.find("\x96\xDF\x82\xE9\r\n"), std::string::npos);
    EXPECT_EQ(bytes.rfind("[PictoraProject", 0), 0u);
}

TEST(ProjectWriter, TheOptionTableSavesExactlyTheOptionsTheFileLayoutHolds)
{
    // The table's saved column (--list-settings shows it) and the layout are written apart; a
    // line added to one alone fails here.
    std::map<OptionId, int> lines;
    for (const project::Section &section : project::projectLayout(project::kNewestVersion)) {
        for (const project::Field &field : section.fields) {
            if (field.kind == project::FieldKind::Option)
                ++lines[field.option];
        }
    }
    for (const album::OptionDecl &decl : album::optionTable()) {
        const int written = lines.contains(decl.id) ? lines.at(decl.id) : 0;
        EXPECT_EQ(written, decl.saved ? 1 : 0) << decl.control;
    }
}

TEST(ProjectWriter, PicturesFollowTheListFlagThreeLinesEach)
{
    const auto lines = crlfLines(projectFileBytes(newDocument(), threePictures()));
    ASSERT_EQ(lines.size(), 93u);
    EXPECT_EQ(lines[77], "3"); // line 78
    EXPECT_EQ(lines[83], "1"); // cbMemo on line 84
    const std::vector<std::string> entries(lines.begin() + 84, lines.end());
    const std::vector<std::string> expected = {
        "/photos/a.jpg",
        "\x8A\x43<BR>\x8E\x52", // 海<BR>山: the trailing break is dropped
        "2001\x94\x4E"
        "02\x8C\x8E"
        "03\x93\xFA 04\x8E\x9E"
        "05\x95\xAA",
        "/photos/b.jpg",
        "",
        "",
        "/photos/c.jpg",
        "\x82\xD0\x82\xC6\x82\xB1\x82\xC6",
        "stamp",
    };
    EXPECT_EQ(entries, expected);
}

TEST(ProjectWriter, ColoursAreDecimalScreenColourValues)
{
    auto settings = newDocument();
    // black, red, maroon, lime, blue, navy
    settings.store(OptionId::edText, std::string("000000"));
    settings.store(OptionId::edLink, std::string("FF0000"));
    settings.store(OptionId::edVLink, std::string("800000"));
    settings.store(OptionId::edALink, std::string("00FF00"));
    settings.store(OptionId::edFTitle, std::string("0000FF"));
    settings.store(OptionId::edFCom, std::string("000080"));
    settings.store(OptionId::edBG, std::string("ff")); // short and lower case: 0x0000ff
    settings.store(OptionId::edBorderColor, std::string("GG0000")); // not hexadecimal: black
    const auto lines = crlfLines(projectFileBytes(settings, {}));
    const std::vector<std::string> colours(lines.begin() + 20, lines.begin() + 26);
    EXPECT_EQ(colours, (std::vector<std::string> { "0", "255", "128", "65280", "16711680", "8388608" }));
    EXPECT_EQ(lines[28], "255");
    EXPECT_EQ(lines[54], "0");
}

TEST(ProjectWriter, ChoicesAreIndexesAndPairsTheFirstButtonsState)
{
    auto settings = newDocument();
    settings.store(OptionId::rbTL, 2);
    settings.store(OptionId::rbCL, 0);
    settings.store(OptionId::rbL, 1); // short side
    settings.store(OptionId::rbLmain, 1);
    const auto lines = crlfLines(projectFileBytes(settings, {}));
    EXPECT_EQ(lines[8], "2");
    EXPECT_EQ(lines[14], "0");
    EXPECT_EQ(lines[59], "0");
    EXPECT_EQ(lines[64], "0");
}

TEST(ProjectWriter, JoinedTextsPutEveryLineBreakAsBrAndDropTheTail)
{
    const std::pair<std::string, std::string> cases[] = {
        { "a\r\n\r\nb", "a<BR><BR>b" },
        { "", "" },
        { "a\r\nb\r\n", "a<BR>b" },
        { "a \r\n\r\n \t", "a" },
        { "a\r\n \r\n", "a" }, // a last line of blanks leaves no break behind
        { "lf\nonly\rcr", "lf<BR>only<BR>cr" },
        { "\r\nfirst empty", "<BR>first empty" },
        { "literal <BR> kept", "literal <BR> kept" },
    };
    for (const auto &[text, joined] : cases)
        EXPECT_EQ(project::joinLines(text), joined) << text;

    auto settings = newDocument();
    settings.store(OptionId::mmComment, std::string("a\r\n\r\nb"));
    settings.store(OptionId::mmComment2, std::string("x\ny\r"));
    const auto lines = crlfLines(projectFileBytes(settings, {}));
    EXPECT_EQ(lines[11], "a<BR><BR>b");
    EXPECT_EQ(lines[12], "x<BR>y");
}

TEST(ProjectWriter, TextOutsideCp932WritesTheWholeFileAsUtf8WithAMark)
{
    auto settings = newDocument();
    settings.store(OptionId::edTitle, std::string("旅〜"));
    const std::vector<album::ImageEntry> images { { "/photos/¥100.jpg", "ok", "" } };
    const std::string bytes = projectFileBytes(settings, images);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF[PictoraProject 0.2.13.0]\r\n", 0), 0u);
    const auto lines = crlfLines(bytes.substr(3));
    ASSERT_EQ(lines.size(), 87u);
    EXPECT_EQ(lines[6], "旅〜");
    EXPECT_EQ(lines[35], "前のアルバム"); // everything is UTF-8 then, not only the odd text
    EXPECT_EQ(lines[84], "/photos/¥100.jpg");
}

TEST(ProjectWriter, LineBreakInAOneLineTextIsRefusedAndTheOldFileKept)
{
    TempDir dir;
    const std::string path = dir.file("album.pxa");
    writeFile(path, "old");

    auto settings = newDocument();
    settings.store(OptionId::edTitle, std::string("two\nlines"));
    try {
        SaveProjectFile(path, settings, {});
        FAIL() << "a title with a line break was written";
    } catch (const base::UserError &e) {
        EXPECT_EQ(std::string(e.what()).rfind(path + "\nに書き込めません。", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find("edTitle"), std::string::npos) << e.what();
    }
    std::vector<album::ImageEntry> images { { "/photos/new\nline.jpg", "", "" } };
    EXPECT_THROW(SaveProjectFile(path, newDocument(), images), base::UserError);
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(ProjectSaving, ReplacesAnExistingFileWhole)
{
    TempDir dir;
    const std::string path = dir.file("album.pxa");
    writeFile(path, std::string(5000, 'x'));
    SaveProjectFile(path, newDocument(), threePictures());
    EXPECT_EQ(readFile(path), projectFileBytes(newDocument(), threePictures()));
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(ProjectSaving, FullDiskLeavesThePreviousFileAndNoLeftovers)
{
    TempDir dir;
    const std::string path = dir.file("album.pxa");
    writeFile(path, "previous");
    auto settings = newDocument();
    settings.store(OptionId::edTitle, std::string(20000, 't'));

    // A file-size limit makes writes fail as a full disk does, for root too.
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    std::string message;
    try {
        SaveProjectFile(path, settings, {});
    } catch (const base::UserError &e) {
        threw = true;
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(message.rfind(path + "\nに書き込めません。\n(", 0), 0u) << message;
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(ProjectSaving, ReadOnlyFolderLeavesThePreviousFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root; the full-disk case covers a failing write";
    TempDir dir;
    const std::string path = dir.file("album.pxa");
    writeFile(path, "previous");
    std::filesystem::permissions(
        dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(SaveProjectFile(path, newDocument(), {}), base::UserError);
    EXPECT_EQ(readFile(path), "previous");
}

TEST(ProjectSaving, FolderThatIsAFileIsAnErrorNamingThePath)
{
    TempDir dir;
    writeFile(dir.file("plain"), "not a folder");
    const std::string path = dir.file("plain") + "/album.pxa";
    try {
        SaveProjectFile(path, newDocument(), {});
        FAIL() << "wrote below a plain file";
    } catch (const base::UserError &e) {
        EXPECT_EQ(std::string(e.what()).rfind(path + "\nに書き込めません。\n(", 0), 0u) << e.what();
    }
    EXPECT_EQ(readFile(dir.file("plain")), "not a folder");
}

TEST(ProjectSaving, ThroughALinkReplacesTheLinkedFileAndKeepsItsPermissions)
{
    TempDir dir;
    const std::string real = dir.file("real.pxa");
    writeFile(real, "previous");
    std::filesystem::permissions(real, std::filesystem::perms(0640));
    std::filesystem::create_symlink(real, dir.file("link.pxa"));
    SaveProjectFile(dir.file("link.pxa"), newDocument(), {});
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.pxa")));
    EXPECT_EQ(readFile(real), projectFileBytes(newDocument(), {}));
    EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(filesIn(dir.path()), 2u);
}
