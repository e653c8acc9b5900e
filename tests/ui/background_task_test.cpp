// SPDX-License-Identifier: MIT
// Work beside the window: a make or rebuild hands every call back to the window thread in its own
// order while that thread keeps turning, and a task that is dropped or asked to stop ends as told.
// libvips (glib) before Qt, whose "signals" keyword glib uses as a name.
#include <vips/vips8>

#include "album/settings.h"
#include "base/errors.h"
#include "imaging/picture.h"
#include "tests/support/album_questions.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui/background_run.h"
#include "ui/background_task.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <thread>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;

namespace
{

/// Records progress calls, and whether any arrived off the window thread.
struct ThreadCheckingProgress final : album::ProgressSink {
    std::vector<std::string> calls;
    bool offThread = false;
    void note(std::string call)
    {
        offThread |= QThread::currentThread() != qApp->thread();
        calls.push_back(std::move(call));
    }
    void show() override { note("show"); }
    void setPosition(int p) override { note("pos " + std::to_string(p)); }
    void setLabel(const std::string &t) override { note("label " + t); }
    void hide() override { note("hide"); }
};

struct RecordingPlatform final : generate::RunPlatform {
    std::vector<std::string> opened;
    bool moveToTrash(const std::string &) override { return false; }
    void openDocument(const std::string &path) override { opened.push_back(path); }
};

/// Runs a make or rebuild beside this thread's event loop, which turns until the run's end arrives.
struct WindowRun {
    ThreadCheckingProgress progress;
    RecordingPlatform platform;
    ui::BackgroundTask task;
    std::optional<ui::BackgroundRunResult> outcome;
    std::size_t callsAtEnd = 0; ///< progress calls arrived when the end did
    int ticks = 0; ///< turns of the event loop between the run's first progress and its end

    bool run(ui::RunKind kind,
        const album::AlbumSettings &settings,
        std::vector<album::ImageEntry> entries,
        album::Prompter &prompts,
        int workers)
    {
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            if (!outcome && !progress.calls.empty())
                ++ticks;
        });
        ticker.start();
        ui::startBackgroundRun(
            task, kind, settings, std::move(entries), prompts, progress, platform, workers, [this](auto out) {
                callsAtEnd = progress.calls.size();
                outcome = std::move(out);
            });
        return QTest::qWaitFor([this] { return outcome.has_value(); }, 60000);
    }
};

} // namespace

TEST(BackgroundRun, TheWindowThreadKeepsTurningAndGetsEveryCallInOrder)
{
    test::TempDir dir;
    imaging::initialise();
    std::vector<album::ImageEntry> entries;
    for (int i = 0; i < 6; ++i) {
        const std::string path = dir.file("p" + std::to_string(i) + ".png");
        vips::VImage::xyz(900, 700)[0].cast(VIPS_FORMAT_UCHAR).write_to_file(path.c_str());
        entries.push_back({ path, "c", "t" });
    }
    entries.insert(entries.begin() + 2, { dir.file("missing.jpg"), "", "" });
    album::AlbumSettings settings;
    settings.store(OptionId::edHTMLPath, dir.path().string());
    settings.store(OptionId::edTitle, std::string("t"));

    test::ScriptedPrompter prompts;
    prompts.expect("HTML作者連絡先が空欄です。\n「support@pictora.example.org(たぶりサポート)"
                   "」をHTML作者連絡先にしますか?",
        Answer::Yes,
        PromptKind::Warning);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect("img0002.jpg\nimageX : 0\nimageY : 0", Answer::Ok, PromptKind::Confirmation);
    WindowRun run;
    ASSERT_TRUE(run.run(ui::RunKind::Make, settings, entries, prompts, 2));
    const ui::BackgroundRunResult &outcome = *run.outcome;

    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.result.completed);
    // The loop went on turning while pictures were converted; how often depends on the machine's speed.
    EXPECT_GT(run.ticks, 0);
    EXPECT_FALSE(run.progress.offThread);
    ASSERT_EQ(run.progress.calls.size(), 2u + 7u * 2u + 2u);
    EXPECT_EQ(run.callsAtEnd, run.progress.calls.size()) << "the end arrives after everything posted";
    EXPECT_EQ(run.progress.calls[1], "label [ 1 / 7 ]");
    EXPECT_EQ(run.progress.calls[14], "pos 85");
    EXPECT_EQ(outcome.settings.text(OptionId::edRevMade), "support@pictora.example.org");
    EXPECT_EQ(settings.text(OptionId::edRevMade), ""); // the caller's copy is applied by the caller
    EXPECT_EQ(run.platform.opened.size(), 1u);
}

TEST(BackgroundRun, FailuresComeBackToTheWindowThread)
{
    test::TempDir dir;
    album::AlbumSettings settings;
    settings.store(OptionId::edHTMLPath, dir.path().string());
    settings.store(OptionId::edTitle, std::string("t"));
    settings.store(OptionId::edRevMade, std::string("a@b"));
    settings.store(OptionId::edThumbX, std::string("x"));
    test::ScriptedPrompter prompts;
    WindowRun run;
    ASSERT_TRUE(run.run(ui::RunKind::Rebuild, settings, {}, prompts, 1));
    ASSERT_TRUE(run.outcome->error);
    EXPECT_THROW(std::rethrow_exception(run.outcome->error), base::ConversionError);
    EXPECT_EQ(run.outcome->settings.text(OptionId::edRevMade), "a@b");
}

TEST(BackgroundRun, TheWindowsMakeLeavesWhatIsStillCurrentAsItIs)
{
    test::TempDir dir;
    imaging::initialise();
    const std::string source = dir.file("p.png");
    vips::VImage::xyz(300, 200)[0].cast(VIPS_FORMAT_UCHAR).write_to_file(source.c_str());
    album::AlbumSettings settings;
    settings.store(OptionId::edHTMLPath, dir.path().string());
    settings.store(OptionId::edTitle, std::string("t"));
    settings.store(OptionId::edRevMade, std::string("a@b"));
    const std::string main = dir.file("images/img0000.jpg");
    auto make = [&](bool again) {
        test::ScriptedPrompter prompts;
        prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        if (again)
            prompts.expect(
                "「" + dir.path().string() + "/index.htm」が既に存在します。\n上書きしてよろしいですか?",
                Answer::Ok,
                PromptKind::Warning);
        WindowRun run;
        EXPECT_TRUE(run.run(ui::RunKind::Make, settings, { { source, "c", "t" } }, prompts, 1));
        EXPECT_TRUE(run.outcome && run.outcome->result.completed);
        return std::filesystem::directory_entry(main).last_write_time();
    };
    const auto first = make(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(make(true), first);
}

TEST(BackgroundTask, ADroppedTaskEndsWithoutItsAnswerAndAStoppedOneStillEnds)
{
    ui::BackgroundTask task;
    QSignalSpy finished(&task, &ui::BackgroundTask::finished);
    std::atomic<bool> waiting { false };
    std::atomic<bool> leftWithoutAnswer { false };
    int delivered = 0;
    task.start(
        [&](ui::TaskChannel &channel) -> ui::BackgroundTask::End {
            channel.post([&] { ++delivered; });
            waiting = true;
            try {
                (void)channel.ask([&] { return ++delivered; });
            } catch (const ui::TaskDropped &) {
                leftWithoutAnswer = true;
                throw;
            }
            return [&] { ++delivered; };
        },
        [&](std::exception_ptr) { ++delivered; });
    // The window thread does not turn until the work waits: its question can only be dropped.
    while (!waiting)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    task.drop();
    EXPECT_FALSE(task.isRunning());

    // The next task starts once the dropped one's work has returned; it works until asked to stop.
    std::atomic<int> steps { 0 };
    bool ended = false;
    task.start(
        [&](ui::TaskChannel &channel) -> ui::BackgroundTask::End {
            while (!channel.stopRequested())
                steps = steps + 1; // counted, so the test sees the work under way
            return [&] { ended = true; };
        },
        {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps > 0; }, 10000));
    task.requestStop();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(leftWithoutAnswer);
    EXPECT_EQ(delivered, 0) << "nothing of the dropped task arrived";
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(task.isRunning());
}
