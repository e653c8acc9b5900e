// SPDX-License-Identifier: MIT
#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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
    EXPECT_TRUE(temporary.starts_with(".pictora-tmp-" + std::to_string(::getpid()) + "-")) << temporary;
    file.write("x");
    file.commit();
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { name });

    // Cut between characters, never inside one.
    const std::string cut = base::temporaryFileName(name, 64);
    EXPECT_LE(cut.size(), 64u);
    const std::string kept = cut.substr(cut.find("-ab") + 1);
    EXPECT_TRUE(name.starts_with(kept)) << cut;
    EXPECT_EQ((kept.size() - 2) % 3, 0u) << cut; // "ab" + whole characters
}

TEST(AtomicFile, OnlyMarkedTemporariesOfEndedProcessesGoWithTheNextWrite)
{
    test::TempDir dir;
    const std::string ended = std::to_string(endedProcess());
    const std::string random = "0123456789abcdef";
    const std::set<std::string> stale = {
        ".pictora-tmp-" + ended + "-" + random + "-index.htm",
        ".pictora-tmp-" + ended + "-" + random + "-", // the name cut to nothing
    };
    // Files a user may well have, names of ours that are not whole, and ours that are still written.
    const std::set<std::string> kept = {
        ".sizes-backup",
        ".sizes-a1b2c3",
        ".family.pxa.2023",
        ".old.pxa.987654",
        ".index.htm." + ended + "-0-123456.tmp",
        ".img0000.jpg.tmp-" + ended + "-3-0",
        ".index.htm.pictora-" + ended + "-1f-a3b4c5.tmp",
        ".pictora-tmp-" + ended + "-0123456789abcde-short",
        ".pictora-tmp-" + ended + "-0123456789ABCDEF-upper",
        ".pictora-tmp-x" + ended + "-" + random + "-notapid",
        ".pictora-tmp-1-" + random + "-index.htm", // process 1 never ends
        ".pictora-tmp-" + std::to_string(::getpid()) + "-" + random + "-p.pxa", // this process writes it
        ".config.tmp",
    };
    for (const auto &name : stale)
        test::writeFile(dir.path() / name, "stale");
    for (const auto &name : kept)
        test::writeFile(dir.path() / name, "kept");
    // A folder of that name is no temporary, nor is anything in a folder below.
    const std::string folderName = ".pictora-tmp-" + ended + "-" + random + "-folder";
    fs::create_directory(dir.path() / folderName);
    fs::create_directory(dir.path() / "sub");
    test::writeFile(dir.path() / "sub" / *stale.begin(), "stale below");

    base::writeFileAtomically(dir.file("index.htm"), "page");
    std::set<std::string> expected = kept;
    expected.insert({ "index.htm", folderName, "sub" });
    EXPECT_EQ(test::namesIn(dir.path()), expected);
    EXPECT_EQ(test::namesIn(dir.path() / "sub"), std::set<std::string> { *stale.begin() });
}

TEST(FileLock, AWaitingWriterTakesTheFileThatReplacedTheOneItWaitedFor)
{
    test::TempDir dir;
    const std::string path = dir.file("p.pxa");
    base::FileLock missing;
    EXPECT_EQ(missing.lock(path, false), base::FileLock::Outcome::Missing);
    test::writeFile(path, "first");

    auto first = std::make_unique<base::FileLock>();
    ASSERT_EQ(first->lock(path, false), base::FileLock::Outcome::Locked);
    base::FileLock other;
    EXPECT_EQ(other.lock(path, false), base::FileLock::Outcome::Busy) << "held, in this process too";
    std::string seen;
    std::thread waiter([&] {
        base::FileLock second;
        if (second.lock(path, true) == base::FileLock::Outcome::Locked)
            seen = test::readFile(path);
        // Still held: a third writer is kept out of the new file as well.
        base::FileLock third;
        if (third.lock(path, false) != base::FileLock::Outcome::Busy)
            seen += " (not held)";
    });
    // The holder writes its file anew, which puts another file at the path, then lets go; the
    // pause lets the waiter block on the old file first (the outcome is the same without it).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    base::writeFileAtomically(path, "second");
    first.reset();
    waiter.join();
    EXPECT_EQ(seen, "second");
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string> { "p.pxa" }) << "nothing beside it";
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
