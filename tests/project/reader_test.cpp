// SPDX-License-Identifier: MIT
#include "base/cp932.h"
#include "base/errors.h"
#include "project/project_file.h"
#include "tests/project/project_test_support.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>

using namespace pictora;
using album::OptionId;
using album::PromptKind;
using project::LoadFailure;
using test::newDocument;
using test::TempDir;
using test::writeFile;

namespace
{

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

/// A document for loading into, with its editor and a temporary folder of pictures.
struct Loading : ::testing::Test {
    TempDir dir;
    album::AlbumSettings settings = newDocument();
    test::CountingChanges changes;
    test::ScriptedPrompter prompts;
    album::SettingsEditor editor { settings, changes, prompts };
    std::vector<album::ImageEntry> images;
    project::LoadTarget target { settings, editor, images, prompts };

    std::string picture(const std::string &name)
    {
        writeFile(dir.file(name), "picture");
        return dir.file(name);
    }

    /// Writes the bytes as a project file (the name is "@DIR@" in them) and loads it.
    bool load(const std::string &bytes, const std::string &name = "album.pxa")
    {
        writeFile(dir.file(name), replaced(bytes, "@DIR@", dir.path().string()));
        return project::LoadProject(dir.file(name), target);
    }

    /// Loads a file that must stop part-way; returns the message.
    std::string loadFailing(const std::string &bytes)
    {
        try {
            load(bytes);
        } catch (const base::UserError &e) {
            EXPECT_EQ(std::string(e.what()).rfind(dir.file("album.pxa") + "\n", 0), 0u) << e.what();
            return e.what();
        }
        ADD_FAILURE() << "the load went through";
        return {};
    }
};

/// Every stored option away from its New value.
album::AlbumSettings fullDocument()
{
    auto s = newDocument();
    auto text = [&s](OptionId id, const char *value) { s.store(id, std::string(value)); };
    text(OptionId::edHTMLPath, "/srv/アルバム");
    text(OptionId::edTitle, "夏の旅");
    s.store(OptionId::csTitleSize, 20);
    s.store(OptionId::rbTL, 2);
    text(OptionId::mmComment, "一行目\r\n\r\n三行目\r\n");
    text(OptionId::mmComment2, "下段\r\n");
    s.store(OptionId::csComSize, 12);
    s.store(OptionId::rbCL, 0);
    s.store(OptionId::csSlideTime, 9);
    text(OptionId::edText, "112233");
    text(OptionId::edLink, "0000FF");
    text(OptionId::edVLink, "800000");
    text(OptionId::edALink, "00FF80");
    text(OptionId::edFTitle, "ABCDEF");
    text(OptionId::edFCom, "FEDCBA");
    text(OptionId::edBG, "000000");
    text(OptionId::edBGImage, "/img/背景.jpg");
    s.store(OptionId::cbBT1, true);
    s.store(OptionId::cbBT2, false);
    s.store(OptionId::cbBT3, true);
    text(OptionId::edBt1Face, "前へ");
    text(OptionId::edBt2Face, "");
    text(OptionId::edBt3Face, "次へ");
    text(OptionId::edBt1URL, "../a/index.htm");
    text(OptionId::edBt2URL, "");
    text(OptionId::edBt3URL, "../c/index.htm");
    s.store(OptionId::csCol, 5);
    s.store(OptionId::csW1, 2);
    s.store(OptionId::csW2, 3);
    s.store(OptionId::csW3, 6);
    s.store(OptionId::csIW, 1);
    s.store(OptionId::csFCW, 300); // wider than the thumbnail width a reset leaves
    s.store(OptionId::csFCH, 250);
    s.store(OptionId::cbNowrap, true);
    s.store(OptionId::cbCellBGColor, true);
    text(OptionId::edCellBGColor, "123456");
    s.store(OptionId::cbBorderColor, true);
    text(OptionId::edBorderColor, "ABCDEF");
    text(OptionId::edThumbX, "400");
    text(OptionId::edThumbY, "abc"); // number texts are taken as they are
    s.store(OptionId::rbL, 1);
    text(OptionId::edMainX, "800");
    text(OptionId::edMainY, "600");
    s.store(OptionId::rbLmain, 1);
    s.store(OptionId::cbTransMain, false);
    s.store(OptionId::qJPEG, 75);
    text(OptionId::edqJPEG, "75");
    text(OptionId::cbJPEGc, "4:4:4");
    text(OptionId::edIndex, "top");
    text(OptionId::edFileExt, ".html");
    text(OptionId::edCSS, "my.css");
    s.store(OptionId::cbTimeStamp, false);
    s.store(OptionId::cbMemo, false);
    return s;
}

void expectSameOptions(const album::AlbumSettings &actual, const album::AlbumSettings &expected)
{
    for (const auto &decl : album::optionTable())
        EXPECT_EQ(actual.value(decl.id), expected.value(decl.id)) << decl.control;
}

} // namespace

TEST_F(Loading, WrittenDocumentComesBackWithCommentsEndingInCrLf)
{
    const auto source = fullDocument();
    const std::vector<album::ImageEntry> written {
        { picture("a.jpg"), "朝\r\n海\r\n", "2001年02月03日 04時05分" },
        { picture("b.jpg"), "", "" },
        { picture("c.jpg"), "x", "stamp" },
    };
    project::SaveProjectFile(dir.file("album.pxa"), source, written);
    const std::string bytes = test::readFile(dir.file("album.pxa"));

    EXPECT_TRUE(project::LoadProject(dir.file("album.pxa"), target));
    expectSameOptions(settings, source);
    const std::vector<album::ImageEntry> expected {
        { written[0].path, "朝\r\n海\r\n", written[0].timeStamp },
        { written[1].path, "\r\n", "" },
        { written[2].path, "x\r\n", "stamp" },
    };
    EXPECT_EQ(images, expected);
    // Written again, the file is the same.
    EXPECT_EQ(project::projectFileBytes(settings, images), bytes);
}

TEST_F(Loading, ScreenOptionsNeedTheNewerVersionOnlyWhenUsed)
{
    // At their start values the file is the current version, byte for byte as before; used, the
    // newer version, which every earlier reader refuses by its first line.
    const std::vector<std::pair<OptionId, album::OptionValue>> used = { { OptionId::cbPhone, true },
        { OptionId::csDensity, 3 },
        { OptionId::cbAccess, true },
        { OptionId::cbUTF8, true } };
    for (std::size_t k = 0; k <= used.size(); ++k) {
        SCOPED_TRACE(k);
        auto source = fullDocument();
        if (k < used.size())
            source.store(used[k].first, used[k].second);
        const std::vector<album::ImageEntry> written { { picture("a.jpg"), "朝\r\n", "stamp" } };
        const std::string bytes = project::projectFileBytes(source, written);
        const auto lines = test::crlfLines(bytes);
        const bool newer = k < used.size();
        EXPECT_EQ(lines.front(), newer ? "[PictoraProject 0.3.3.0]" : "[PictoraProject 0.2.13.0]");
        EXPECT_EQ(lines.size(), (newer ? 90u : 84u) + 3u);
        EXPECT_EQ(bytes.find("[Publish]") != std::string::npos, newer);

        settings = newDocument();
        images.clear();
        EXPECT_TRUE(load(bytes));
        expectSameOptions(settings, source);
        EXPECT_EQ(project::projectFileBytes(settings, images), bytes);
    }
    // The UTF-8 form of the newer version.
    auto odd = newDocument();
    odd.store(OptionId::edTitle, std::string("波〜ダッシュ"));
    odd.store(OptionId::cbPhone, true);
    odd.store(OptionId::mmComment, std::string("\r\n")); // empty memos come back as one empty line
    odd.store(OptionId::mmComment2, std::string("\r\n"));
    const std::string bytes = project::projectFileBytes(odd, {});
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF[PictoraProject 0.3.3.0]\r\n", 0), 0u);
    settings = newDocument();
    EXPECT_TRUE(load(bytes));
    expectSameOptions(settings, odd);
}

TEST_F(Loading, TextsThatReadLikeTheNextHeaderAreValues)
{
    auto source = newDocument();
    source.store(OptionId::edHTMLPath, std::string("[edTitle]"));
    source.store(OptionId::edBGImage, std::string("[Button]"));
    source.store(OptionId::edBt3URL, std::string("[Cells]"));
    source.store(OptionId::cbJPEGc, std::string("[Others]"));
    source.store(OptionId::edCSS, std::string("[ImageNum]"));
    source.store(OptionId::csW1, 7);
    source.store(OptionId::mmComment, std::string("\r\n")); // an empty memo comes back as one empty line
    source.store(OptionId::mmComment2, std::string("\r\n"));
    EXPECT_TRUE(load(project::projectFileBytes(source, {})));
    expectSameOptions(settings, source);
}

TEST_F(Loading, StoredCellSizesComeBackAsWrittenWithoutTheLimitMessage)
{
    auto source = newDocument();
    source.store(OptionId::csFCW, 300);
    source.store(OptionId::csFCH, 200);
    source.store(OptionId::edThumbX, std::string("100")); // made smaller after the cells were set
    source.store(OptionId::edThumbY, std::string("100"));
    EXPECT_TRUE(load(project::projectFileBytes(source, {})));
    EXPECT_EQ(settings.number(OptionId::csFCW), 300);
    EXPECT_EQ(settings.number(OptionId::csFCH), 200);
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(Loading, Utf8FormKeepsPathsCp932CannotHold)
{
    const std::string odd = picture("〜旅行¥100.jpg");
    auto source = newDocument();
    source.store(OptionId::edTitle, std::string("波〜ダッシュ"));
    project::SaveProjectFile(dir.file("album.pxa"), source, { { odd, "コメント", "" } });
    ASSERT_EQ(test::readFile(dir.file("album.pxa")).rfind("\xEF\xBB\xBF", 0), 0u);

    EXPECT_TRUE(project::LoadProject(dir.file("album.pxa"), target));
    EXPECT_EQ(settings.text(OptionId::edTitle), "波〜ダッシュ");
    EXPECT_EQ(images, (std::vector<album::ImageEntry> { { odd, "コメント\r\n", "" } }));

    // Bytes that are no UTF-8 in that form come into memory as replacement characters.
    const std::string broken
        = test::withLine(test::readFile(dir.file("album.pxa")).substr(3), 6, "a\xFF\xE3\x81");
    const auto contents = project::parseProject("\xEF\xBB\xBF" + broken, "x.pxa");
    ASSERT_EQ(contents.failure, LoadFailure::None);
    EXPECT_TRUE(contents.utf8);
    EXPECT_EQ(contents.steps[1].option, OptionId::edTitle);
    EXPECT_EQ(contents.steps[1].value, album::OptionValue(std::string("a\uFFFD\uFFFD\uFFFD")));
}

// Parts of hand-written older files. Values differ from the New document wherever they are read.
const char *kHead = R"(
[edHTMLPath]
/out

[edTitle]
古いアルバム
20
0
)";
const char *kColoursToJpeg = R"(
[Colors]
0
255
128
65280
16711680
8388608

[BackGround]
0
/bg.jpg
)";
const char *kOldCells = R"(
[Cells]
3
2
2
2
1
100
120
1
)";
const char *kThumbToJpeg = R"(
[ThumbNail]
200
150
0

[ViewImage]
800
600
0
0

[JPEG]
80
4:1:1
)";
const char *kButtons = R"(
[Button]
1
0
1
L
C
R
l.htm
c.htm
r.htm
)";
const char *kTail = R"(
[ImageNum]
2

[TimeStamp]
0

[ImageList]
)";
const char *kEntries = R"(@DIR@/a.jpg
one<BR>two
2001年01月02日 03時04分
@DIR@/gone.jpg
gone
stamp
)";

struct OlderFiles : Loading {
    void SetUp() override
    {
        // Options an older file does not hold must keep these.
        settings.store(OptionId::csSlideTime, 33);
        settings.store(OptionId::cbCellBGColor, true);
        settings.store(OptionId::edCellBGColor, std::string("112233"));
        settings.store(OptionId::cbMemo, false);
        settings.store(OptionId::edIndex, std::string("keep"));
        settings.store(OptionId::edCSS, std::string("keep.css"));
        before = settings;
        picture("a.jpg");
        prompts.expect(dir.file("gone.jpg") + "\nが見つかりません。リストから削除します。",
            album::Answer::Ok,
            PromptKind::Warning);
    }

    void expectCommonValues(const std::vector<OptionId> &untouched)
    {
        EXPECT_EQ(settings.text(OptionId::edHTMLPath), "/out");
        EXPECT_EQ(settings.text(OptionId::edTitle), "古いアルバム");
        EXPECT_EQ(settings.number(OptionId::csTitleSize), 20);
        EXPECT_EQ(settings.number(OptionId::rbTL), 0);
        EXPECT_EQ(settings.text(OptionId::edFCom), "000080");
        EXPECT_EQ(settings.text(OptionId::edBG), "000000");
        EXPECT_EQ(settings.text(OptionId::edBGImage), "/bg.jpg");
        EXPECT_EQ(settings.number(OptionId::csW3), 2);
        EXPECT_EQ(settings.number(OptionId::csFCW), 100);
        EXPECT_EQ(settings.number(OptionId::csFCH), 120);
        EXPECT_TRUE(settings.checked(OptionId::cbNowrap));
        EXPECT_EQ(settings.text(OptionId::edThumbY), "150");
        EXPECT_EQ(settings.number(OptionId::rbL), 1);
        EXPECT_FALSE(settings.checked(OptionId::cbTransMain));
        EXPECT_EQ(settings.number(OptionId::qJPEG), 80);
        EXPECT_EQ(settings.text(OptionId::edqJPEG), "80");
        EXPECT_EQ(settings.text(OptionId::cbJPEGc), "4:1:1");
        EXPECT_FALSE(settings.checked(OptionId::cbTimeStamp));
        EXPECT_EQ(images,
            (std::vector<album::ImageEntry> {
                { dir.file("a.jpg"), "one\r\ntwo\r\n", "2001年01月02日 03時04分" } }));
        for (OptionId id : untouched)
            EXPECT_EQ(settings.value(id), before.value(id)) << album::optionDecl(id).control;
    }

    void expectButtons()
    {
        EXPECT_TRUE(settings.checked(OptionId::cbBT1));
        EXPECT_FALSE(settings.checked(OptionId::cbBT2));
        EXPECT_EQ(settings.text(OptionId::edBt3Face), "R");
        EXPECT_EQ(settings.text(OptionId::edBt1URL), "l.htm");
    }

    album::AlbumSettings before;
    // Not held before 0.2.11.0, nor (the last three) before 0.2.13.0.
    const std::vector<OptionId> kOldUnstored { OptionId::cbCellBGColor,
        OptionId::edCellBGColor,
        OptionId::cbBorderColor,
        OptionId::edBorderColor,
        OptionId::cbMemo,
        OptionId::edIndex,
        OptionId::edFileExt,
        OptionId::edCSS };
};

TEST_F(OlderFiles, Version0250HasOneCommentNoButtonsNoSlideTime)
{
    const std::string file = std::string("[PictoraProject 0.2.5.0]\n") + kHead
        + "\n[mmComment]\n上<BR>下\n10\n2\n" + kColoursToJpeg + kOldCells + kThumbToJpeg + kTail + kEntries;
    EXPECT_TRUE(load(test::handWritten(file)));
    expectCommonValues(kOldUnstored);
    EXPECT_EQ(settings.text(OptionId::mmComment), "上\r\n下\r\n");
    EXPECT_EQ(settings.number(OptionId::csComSize), 10);
    EXPECT_EQ(settings.number(OptionId::rbCL), 2);
    for (OptionId untouched : { OptionId::mmComment2,
             OptionId::csSlideTime,
             OptionId::cbBT1,
             OptionId::cbBT2,
             OptionId::edBt1Face,
             OptionId::edBt2URL })
        EXPECT_EQ(settings.value(untouched), before.value(untouched)) << album::optionDecl(untouched).control;
}

TEST_F(OlderFiles, Version0270AddsTheLowerCommentAndButtons)
{
    const std::string file = std::string("[PictoraProject 0.2.7.0]\n") + kHead
        + "\n[mmComment]\n上\n下\n10\n1\n" + kColoursToJpeg + kButtons + kOldCells + kThumbToJpeg + kTail
        + kEntries;
    EXPECT_TRUE(load(test::handWritten(file)));
    expectCommonValues(kOldUnstored);
    expectButtons();
    EXPECT_EQ(settings.text(OptionId::mmComment2), "下\r\n");
    EXPECT_EQ(settings.number(OptionId::csSlideTime), 33);
}

TEST_F(OlderFiles, Version0290TakesTheSlideTimeFromTheSecondLine)
{
    const std::string file = std::string("[PictoraProject 0.2.9.0]\n") + kHead
        + "\n[mmComment]\n上\n下\n10\n1\n\n[SlideShow]\n44\n7\n" + kColoursToJpeg + kButtons + kOldCells
        + kThumbToJpeg + kTail + kEntries;
    EXPECT_TRUE(load(test::handWritten(file)));
    expectCommonValues(kOldUnstored);
    expectButtons();
    EXPECT_EQ(settings.number(OptionId::csSlideTime), 7);
}

TEST_F(OlderFiles, Version02110AddsCellColoursAndTheCommentFlag)
{
    const std::string cells = replaced(kOldCells, "120\n1\n", "120\n1\n0\n65280\n1\n16711680\n");
    const std::string file = std::string("[PictoraProject 0.2.11.0]\n") + kHead
        + "\n[mmComment]\n上\n下\n10\n1\n\n[SlideShow]\n7\n" + kColoursToJpeg + kButtons + cells
        + kThumbToJpeg + kTail + "1\n" + kEntries;
    EXPECT_TRUE(load(test::handWritten(file)));
    expectCommonValues({ OptionId::edIndex, OptionId::edFileExt, OptionId::edCSS });
    expectButtons();
    EXPECT_EQ(settings.number(OptionId::csSlideTime), 7);
    EXPECT_FALSE(settings.checked(OptionId::cbCellBGColor));
    EXPECT_EQ(settings.text(OptionId::edCellBGColor), "00FF00");
    EXPECT_TRUE(settings.checked(OptionId::cbBorderColor));
    EXPECT_EQ(settings.text(OptionId::edBorderColor), "0000FF");
    EXPECT_TRUE(settings.checked(OptionId::cbMemo));
}

TEST_F(Loading, FirstLineWithATrailingSpaceIsAnUnsupportedVersionAndNothingChanges)
{
    const auto untouched = settings;
    std::string file = project::projectFileBytes(fullDocument(), {});
    const std::size_t lineEnd = file.find("\r\n");
    file = file.substr(0, lineEnd) + " " + file.substr(lineEnd); // insert() trips GCC 12's -Wrestrict
    prompts.expect(dir.file("album.pxa") + "\nは対応していないバージョンのプロジェクトファイルです。",
        album::Answer::Ok,
        PromptKind::Error);
    EXPECT_FALSE(load(file));
    EXPECT_EQ(settings, untouched);
    EXPECT_EQ(changes.marked, 0);

    // The UTF-8 form is unknown to a reader that does not look for the mark, and so is other case.
    const auto contents = project::parseProject("[pictoraproject 0.2.13.0]\r\n", "x.pxa");
    EXPECT_EQ(contents.failure, LoadFailure::UnsupportedVersion);
    EXPECT_TRUE(contents.steps.empty());
}

TEST_F(Loading, ExtraLinesBetweenSectionsAndAnyLineEndsAreTakenAsTheyCome)
{
    const auto source = fullDocument();
    std::string file = project::projectFileBytes(source, {});
    file = replaced(file, "\r\n\r\n[Cells]", "\r\n; cells by hand\r\n\r\n\r\n[Cells]");
    file = replaced(file, "\r\n\r\n[JPEG]", "\n\n[ImageNum]?\r[JPEG]"); // lone LF and lone CR
    file.resize(file.size() - 2); // no line end after the last line
    EXPECT_TRUE(load(file));
    expectSameOptions(settings, source);
}

TEST_F(Loading, ConvertedValuesAreClampedAndChoicesOutsideTheGroupIgnored)
{
    std::string file = project::projectFileBytes(newDocument(), {});
    file = test::withLine(file, 7, " +12"); // csTitleSize
    file = test::withLine(file, 8, "3"); // title alignment: no such button
    file = test::withLine(file, 14, "-1"); // comment alignment: neither
    file = test::withLine(file, 20, "-1"); // colour: only the low three bytes count
    file = test::withLine(file, 32, "7"); // a flag is any number but 0
    file = test::withLine(file, 43, "-5"); // csCol below its minimum
    file = test::withLine(file, 68, " 150"); // JPEG quality above 100
    settings.store(OptionId::rbTL, 2);
    EXPECT_TRUE(load(file));
    EXPECT_EQ(settings.number(OptionId::csTitleSize), 12);
    EXPECT_EQ(settings.number(OptionId::rbTL), 2);
    EXPECT_EQ(settings.number(OptionId::rbCL), 1);
    EXPECT_EQ(settings.text(OptionId::edText), "FFFFFF");
    EXPECT_TRUE(settings.checked(OptionId::cbBT1));
    EXPECT_EQ(settings.number(OptionId::csCol), 0);
    EXPECT_EQ(settings.number(OptionId::qJPEG), 100);
    EXPECT_EQ(settings.text(OptionId::edqJPEG), "100");
}

TEST_F(Loading, DeletedPictureInTheMiddleIsWarnedAboutAndTheRestFollow)
{
    const std::vector<album::ImageEntry> written {
        { picture("first.jpg"), "1", "s1" },
        { dir.file("deleted.jpg"), "2", "s2" },
        { picture("third.jpg"), "3<BR>", "s3" },
    };
    prompts.expect(dir.file("deleted.jpg") + "\nが見つかりません。リストから削除します。",
        album::Answer::Ok,
        PromptKind::Warning);
    EXPECT_TRUE(load(project::projectFileBytes(newDocument(), written)));
    EXPECT_EQ(images,
        (std::vector<album::ImageEntry> {
            { written[0].path, "1\r\n", "s1" }, { written[2].path, "3\r\n", "s3" } }));
}

// A relative path is first taken as before, from the working folder; only where it leads nowhere is
// it looked for beside the project file, so a project shared with its pictures keeps them.
TEST(RelativePicturePaths, AreFoundBesideTheProjectFileNeverFromTheWorkingFolder)
{
    const std::set<std::string> files { "here/x.jpg", "/albums/trip/pics/a.jpg", "/albums/trip/b.jpg" };
    const project::PictureExists exists = [&files](const std::string &path) { return files.count(path) > 0; };
    const std::string bytes = project::projectFileBytes(newDocument(),
        { { "here/x.jpg", "", "" },
            { "pics/./a.jpg", "", "" },
            { "../trip/b.jpg", "", "" },
            { "nowhere/c.jpg", "", "" },
            { "/albums/trip/gone.jpg", "", "" } });
    const auto contents = project::parseProject(bytes, "/albums/trip/album.pxa", exists);
    std::vector<std::string> kept;
    std::vector<std::string> missing;
    for (const auto &step : contents.steps) {
        if (step.kind == project::LoadStep::Kind::Entry)
            kept.push_back(step.entry.path);
        else if (step.kind == project::LoadStep::Kind::MissingPicture)
            missing.push_back(step.entry.path);
    }
    EXPECT_EQ(kept, (std::vector<std::string> { "/albums/trip/pics/a.jpg", "/albums/trip/b.jpg" }));
    // "here/x.jpg" leads to a picture from the working folder only: not the project's.
    EXPECT_EQ(missing, (std::vector<std::string> { "here/x.jpg", "nowhere/c.jpg", "/albums/trip/gone.jpg" }));
}

TEST_F(Loading, AllPicturesMissingLeaveAnEmptyList)
{
    for (const char *name : { "x.jpg", "y.jpg" })
        prompts.expect(dir.file(name) + "\nが見つかりません。リストから削除します。",
            album::Answer::Ok,
            PromptKind::Warning);
    std::filesystem::create_directory(dir.file("y.jpg")); // a folder is no picture file
    EXPECT_TRUE(load(project::projectFileBytes(
        newDocument(), { { dir.file("x.jpg"), "", "" }, { dir.file("y.jpg"), "", "" } })));
    EXPECT_TRUE(images.empty());
}

TEST_F(Loading, EmptyFileFailsOnItsFirstLine)
{
    const std::string message = loadFailing("");
    EXPECT_NE(message.find("の 1 行目がありません"), std::string::npos) << message;
    EXPECT_EQ(settings, newDocument());
}

TEST_F(Loading, FileCutInsideASectionKeepsWhatCameBefore)
{
    const std::string full = project::projectFileBytes(fullDocument(), {});
    const std::string cut = full.substr(0, full.find("\r\n6\r\n", full.find("[Cells]")) + 2); // up to csW2
    const auto contents = project::parseProject(cut, "cut.pxa");
    EXPECT_EQ(contents.failure, LoadFailure::PastEnd);
    EXPECT_EQ(contents.errorLine, 46u); // csW3
    ASSERT_FALSE(contents.steps.empty());
    EXPECT_EQ(contents.steps.back().option, OptionId::csW2);

    const std::string message = loadFailing(cut);
    EXPECT_NE(message.find("の 47 行目がありません"), std::string::npos) << message;
    EXPECT_EQ(settings.text(OptionId::edBt3URL), "../c/index.htm");
    EXPECT_EQ(settings.number(OptionId::csW2), 3);
    EXPECT_EQ(settings.number(OptionId::csW3), newDocument().number(OptionId::csW3));
}

TEST_F(Loading, MissingOrMisspelledSectionHeaderStopsTheLoad)
{
    std::string file = replaced(project::projectFileBytes(fullDocument(), {}), "[ThumbNail]", "[ThumbNail] ");
    const std::string message = loadFailing(file);
    EXPECT_NE(message.find("[ThumbNail]"), std::string::npos) << message;
    EXPECT_EQ(settings.text(OptionId::edBorderColor), "ABCDEF");
    EXPECT_EQ(settings.text(OptionId::edThumbX), "160");
}

TEST_F(Loading, TextWhereANumberBelongsStopsWithTheConversionMessage)
{
    std::string file = project::projectFileBytes(fullDocument(), {});
    file = test::withLine(file, 7, "abc");
    const std::string message = loadFailing(file);
    EXPECT_NE(message.find("の 8 行目: 'abc' は整数ではありません"), std::string::npos) << message;
    EXPECT_EQ(settings.text(OptionId::edTitle), "夏の旅");
    EXPECT_EQ(settings.number(OptionId::csTitleSize), 6);

    // An empty line is no number either.
    EXPECT_EQ(project::parseProject(test::withLine(file, 7, ""), "x.pxa").failure, LoadFailure::NotInteger);
}

TEST_F(Loading, FewerEntriesThanAnnouncedKeepsTheWholeOnesOnly)
{
    const std::vector<album::ImageEntry> written {
        { picture("a.jpg"), "a", "sa" },
        { picture("b.jpg"), "b", "sb" },
    };
    std::string file = test::withLine(project::projectFileBytes(newDocument(), written), 77, "3");
    const std::string message = loadFailing(file + dir.file("a.jpg") + "\r\ncomment only\r\n");
    EXPECT_NE(message.find("の 93 行目がありません"), std::string::npos) << message;
    EXPECT_EQ(images.size(), 2u);
}

TEST_F(Loading, UnreadableFileChangesNothing)
{
    const auto untouched = settings;
    for (const std::string &path : { dir.file("none.pxa"), dir.path().string() }) {
        try {
            project::LoadProject(path, target);
            ADD_FAILURE() << "loaded " << path;
        } catch (const base::UserError &e) {
            EXPECT_EQ(std::string(e.what()).rfind(path + "\nを開けません。", 0), 0u) << e.what();
        }
    }
    EXPECT_EQ(settings, untouched);
}

TEST(ProjectLines, EndAtCrLfLoneCrOrLoneLf)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(project::splitLines(""), V {});
    EXPECT_EQ(project::splitLines("\r\n"), V { "" });
    EXPECT_EQ(project::splitLines("a\r\nb"), (V { "a", "b" }));
    EXPECT_EQ(project::splitLines("a\n\rb\r\r\n"), (V { "a", "", "b", "" }));
}

namespace
{

/// Whatever a load finds: every entry is taken.
bool anyPicture(const std::string &)
{
    return true;
}

std::vector<std::string> stepTexts(const project::ProjectContents &contents)
{
    std::vector<std::string> texts;
    for (const auto &step : contents.steps) {
        if (const auto *text = std::get_if<std::string>(&step.value))
            texts.push_back(*text);
        texts.push_back(step.entry.path + "|" + step.entry.comment + "|" + step.entry.timeStamp);
    }
    return texts;
}

} // namespace

TEST_F(Loading, FileReadInPiecesGivesWhatTheBytesGive)
{
    // Line ends on either side of the reads' 64 KiB pieces, CR LF split across two of them too.
    const std::string before = project::projectFileBytes(newDocument(), {});
    const std::size_t titleAt = before.find("[edTitle]\r\n") + 11;
    for (const std::string &lineEnd : { std::string("\r\n"), std::string("\r"), std::string("\n") }) {
        for (std::size_t length = 65533 - titleAt; length <= 65537 - titleAt; ++length) {
            auto document = newDocument();
            document.store(OptionId::edTitle, std::string(length, 't'));
            const std::string bytes = replaced(
                project::projectFileBytes(document, { { "/p/a.jpg", "一\r\n二", "s" } }), "\r\n", lineEnd);
            writeFile(dir.file("pieces.pxa"), bytes);
            const auto fromFile = project::readProjectFile(dir.file("pieces.pxa"), anyPicture);
            const auto fromBytes = project::parseProject(bytes, dir.file("pieces.pxa"), anyPicture);
            ASSERT_EQ(fromFile.failure, LoadFailure::None) << fromFile.error;
            EXPECT_EQ(stepTexts(fromFile), stepTexts(fromBytes)) << length;
            EXPECT_EQ(fromFile.steps.size(), fromBytes.steps.size());
        }
    }
}

TEST_F(Loading, HostileSizesAreRefusedWholeWithAClearMessage)
{
    const auto untouched = settings;
    // 100 MB: a proper start, then a sparse rest, so the test writes next to nothing.
    const std::string huge = dir.file("huge.pxa");
    writeFile(huge, project::projectFileBytes(fullDocument(), {}));
    std::filesystem::resize_file(huge, 100u * 1024 * 1024);
    const auto contents = project::readProjectFile(huge);
    EXPECT_EQ(contents.failure, LoadFailure::TooLarge);
    EXPECT_TRUE(contents.steps.empty());
    EXPECT_EQ(contents.error, huge + "\nを開けません。\n(ファイルが 64 MB を超えています)");
    EXPECT_THROW(project::LoadProject(huge, target), base::UserError);
    EXPECT_EQ(settings, untouched);

    // More entries than any album has: refused at the count, before any entry is read.
    const std::string many = test::withLine(project::projectFileBytes(fullDocument(), {}), 77, "1000001");
    const auto counted = project::parseProject(many, "many.pxa", anyPicture);
    EXPECT_EQ(counted.failure, LoadFailure::TooLarge);
    EXPECT_TRUE(counted.steps.empty());
    EXPECT_EQ(counted.error, "many.pxa\nを開けません。\n(画像が 1000000 枚を超えています)");
    EXPECT_EQ(project::parseProject(test::withLine(many, 77, "1000000"), "x.pxa", anyPicture).failure,
        LoadFailure::PastEnd);
}

TEST_F(Loading, SpecialFilesAreNotOpened)
{
    const std::string fifo = dir.file("pipe.pxa");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO for reading waits for a writer: this would hang without the check.
    const auto contents = project::readProjectFile(fifo);
    EXPECT_EQ(contents.failure, LoadFailure::Unreadable);
    EXPECT_EQ(contents.error, fifo + "\nを開けません。\n(通常のファイルではありません)");
}
