// SPDX-License-Identifier: MIT
#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pictora;
namespace fs = std::filesystem;

namespace
{

mode_t modeOf(const std::string &path)
{
    struct stat info {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

/// The message a failed write throws.
std::string writeFailure(const std::string &path, std::string_view bytes)
{
    try {
        base::writeFileAtomically(path, bytes);
    } catch (const base::UserError &e) {
        return e.what();
    }
    return {};
}

/// A process id that belonged to a process that has ended.
pid_t endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST(AtomicFile, ReplacesWholeKeepingModeAndLeavesNothingElse)
{
    test::TempDir dir;
    const std::string path = dir.file("index.htm");
    test::writeFile(path, std::string(10000, 'x'));
    ::chmod(path.c_str(), 0640);
    base::writeFileAtomically(path, "short");
    EXPECT_EQ(test::readFile(path), "short");
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "index.htm" });

    // A new file gets 0666 less the umask.
    const mode_t mask = ::umask(022);
    base::writeFileAtomically(dir.file("new.htm"), "new");
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.file("new.htm")), 0644u);
}

TEST(AtomicFile, FollowsLinksToTheFileTheyName)
{
    test::TempDir dir;
    fs::create_directory(dir.path() / "real");
    test::writeFile(dir.path() / "real" / "p.pxa", "old");
    fs::create_symlink("real/p.pxa", dir.path() / "link.pxa");
    fs::create_symlink("link.pxa", dir.path() / "second.pxa");
    base::writeFileAtomically(dir.file("second.pxa"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "second.pxa"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.pxa"));
    EXPECT_EQ(test::readFile(dir.path() / "real" / "p.pxa"), "new");
    EXPECT_EQ(test::namesIn(dir.path() / "real"), std::set<std::string> { "p.pxa" });

    // Files of an album replace a link planted in it rather than write where it leads.
    base::writeFileAtomically(dir.file("link.pxa"), "album page", { .followLinks = false });
    EXPECT_FALSE(fs::is_symlink(dir.path() / "link.pxa"));
    EXPECT_EQ(test::readFile(dir.path() / "link.pxa"), "album page");
    EXPECT_EQ(test::readFile(dir.path() / "real" / "p.pxa"), "new");

    fs::create_symlink("loop-b", dir.path() / "loop-a");
    fs::create_symlink("loop-a", dir.path() / "loop-b");
    EXPECT_EQ(writeFailure(dir.file("loop-a"), "x"),
        dir.file("loop-a") + "\nに書き込めません。\n(シンボリックリンクが多すぎるか循環しています)");
}

TEST(AtomicFile, EveryFailureLeavesTheOldFileAndNoTemporary)
{
    test::TempDir dir;
    // The rename fails: a folder holds the name.
    fs::create_directories(dir.path() / "index.htm" / "inside");
    EXPECT_EQ(writeFailure(dir.file("index.htm"), "page"),
        dir.file("index.htm") + "\nに書き込めません。\n(フォルダーです)");
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "index.htm" });

    // A FIFO is not replaced (nor a device, as root could do to /dev/null).
    ASSERT_EQ(::mkfifo(dir.file("pipe.pxa").c_str(), 0600), 0);
    EXPECT_EQ(writeFailure(dir.file("pipe.pxa"), "project"),
        dir.file("pipe.pxa") + "\nに書き込めません。\n(通常のファイルではありません)");
    EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe.pxa"));

    // The temporary cannot even be made: the folder is a file.
    test::writeFile(dir.path() / "plain", "keep");
    EXPECT_EQ(writeFailure(dir.file("plain") + "/page.htm", "page"),
        dir.file("plain") + "/page.htm\nに書き込めません。\n(パスの途中にフォルダーでないものがあります)");
    EXPECT_EQ(test::readFile(dir.path() / "plain"), "keep");

    // Dropped before commit (an exception while the page was written): the old page stays.
    test::writeFile(dir.path() / "page.htm", "old");
    {
        base::AtomicFile file(dir.file("page.htm"));
        file.write("half a pa");
        EXPECT_TRUE(fs::exists(file.temporaryPath()));
    }
    EXPECT_EQ(test::readFile(dir.path() / "page.htm"), "old");
    EXPECT_EQ(
        test::namesIn(dir.path()), (std::set<std::string> { "index.htm", "page.htm", "pipe.pxa", "plain" }));
}

TEST(AtomicFile, WriteProtectedFileRefusedWhenAsked)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    test::TempDir dir;
    const std::string path = dir.file("p.pxa");
    test::writeFile(path, "old");
    ::chmod(path.c_str(), 0444);
    EXPECT_THROW(base::writeFileAtomically(path, "new", { .refuseWriteProtected = true }), base::UserError);
    EXPECT_EQ(test::readFile(path), "old");
}

TEST(AtomicFile, LongNamesFitTheNameLimitWithTheirTemporary)
{
    test::TempDir dir;
    // 255 bytes, the most a name may have, in characters of three bytes after two ASCII letters.
    std::string name = "ab";
    while (name.size() + 3 <= 251)
        name += "写";
    name += ".pxa";
    ASSERT_EQ(name.size(), 255u);
    base::AtomicFile file(dir.file(name));
    const std::string temporary = fs::path(file.temporaryPath()).filename().string();
    EXPECT_LE(temporary.size(), 255u);
    EXPECT_NE(temporary.find(".pictora-" + std::to_string(::getpid()) + "-"), std::string::npos);
    file.write("x");
    file.commit();
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { name });

    // Cut between characters, never inside one.
    const std::string cut = base::temporaryFileName(name, 64);
    EXPECT_LE(cut.size(), 64u);
    EXPECT_EQ((cut.find(".pictora-") - 3) % 3, 0u) << cut; // "." + "ab" + whole characters
}

TEST(AtomicFile, TemporariesOfEndedProcessesGoWithTheNextWrite)
{
    test::TempDir dir;
    const std::string ended = std::to_string(endedProcess());
    const std::set<std::string> stale = {
        ".index.htm.pictora-" + ended + "-1f-a3b4c5.tmp", // ours
        ".index.htm." + ended + "-0-123456.tmp", // pages of older versions
        ".img0000.jpg.tmp-" + ended + "-3-0", // pictures of older versions
    };
    const std::set<std::string> kept = {
        ".index.htm.pictora-1-0-abc.tmp", // process 1 never ends
        ".p.pxa.pictora-" + std::to_string(::getpid()) + "-0-1.tmp", // this process is writing it
        ".p.pxa.12345678", // older project temporary, but fresh
        ".config.tmp", // not ours
        "notes-" + ended + "-1-2.tmp",
    };
    for (const auto &name : stale)
        test::writeFile(dir.path() / name, "stale");
    for (const auto &name : kept)
        test::writeFile(dir.path() / name, "kept");
    // An older project temporary of yesterday.
    test::writeFile(dir.path() / ".old.pxa.987654", "stale");
    fs::last_write_time(
        dir.path() / ".old.pxa.987654", fs::file_time_type::clock::now() - std::chrono::hours(25));

    base::writeFileAtomically(dir.file("index.htm"), "page");
    std::set<std::string> expected = kept;
    expected.insert("index.htm");
    EXPECT_EQ(test::namesIn(dir.path()), expected);
}

TEST(FileMessages, JapaneseWithPathAndReason)
{
    EXPECT_EQ(base::cannotWriteMessage("/a/img0000.jpg", ENOSPC),
        "/a/img0000.jpg\nに書き込めません。\n(ディスクの空き容量が足りません)");
    EXPECT_EQ(base::cannotCreateFolderMessage("/ro/html", EACCES),
        "/ro/html\nフォルダを作成できません。\n(アクセスが許可されていません)");
    // No reason in the system's (English) words, whatever the error.
    for (int error = 1; error < 134; ++error) {
        const std::string reason = base::systemReason(error);
        EXPECT_GE(static_cast<unsigned char>(reason.front()), 0x80u) << error << ": " << reason;
    }
    EXPECT_EQ(base::messageOf(fs::filesystem_error(
                  "status", "/x/p.pxa", std::make_error_code(std::errc::permission_denied))),
        "/x/p.pxa\nを扱えません。\n(アクセスが許可されていません)");
    EXPECT_EQ(base::messageOf(std::bad_alloc()), "メモリが足りません。");
    EXPECT_EQ(base::messageOf(base::UserError("そのまま")), "そのまま");
}

TEST(InputFile, OpensOnlyRegularFilesAndNeverWaits)
{
    test::TempDir dir;
    const std::string fifo = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO for reading without a writer would wait for ever.
    const base::InputFile pipe(fifo);
    EXPECT_FALSE(pipe.isOpen());
    EXPECT_EQ(pipe.failure(), base::kReasonNotRegular);
    EXPECT_EQ(base::InputFile(dir.path().string()).failure(), base::kReasonIsFolder);
    EXPECT_EQ(base::InputFile(dir.file("none")).failure(), base::kReasonNotFound);

    test::writeFile(dir.path() / "small", "12345");
    const base::WholeFile whole = base::readWholeFile(dir.file("small"), 5);
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.bytes, "12345");
    const base::WholeFile large = base::readWholeFile(dir.file("small"), 4);
    EXPECT_FALSE(large.ok);
    EXPECT_TRUE(large.tooLarge);
    EXPECT_FALSE(base::readWholeFile(fifo, 100).ok);
}
