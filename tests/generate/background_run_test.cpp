// SPDX-License-Identifier: MIT
#include "album/settings.h"
#include "base/errors.h"
#include "generate/background_run.h"
#include "imaging/picture.h"
#include "tests/support/album_questions.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;

namespace
{

/// The window thread's event loop, reduced to a queue of tasks that the test thread works off.
class EventLoop final : public generate::UiDispatcher
{
public:
    void invokeAndWait(const std::function<void()> &task) override
    {
        std::mutex done;
        std::condition_variable finished;
        bool ran = false;
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back([&] {
                task();
                std::lock_guard doneLock(done);
                ran = true;
                finished.notify_all();
            });
        }
        std::unique_lock lock(done);
        finished.wait(lock, [&] { return ran; });
    }

    /// Spins until the future is ready; returns how many times the loop went round.
    template <typename Future> int spinUntil(Future &future)
    {
        int turns = 0;
        while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                if (!m_tasks.empty()) {
                    task = std::move(m_tasks.front());
                    m_tasks.pop_front();
                }
            }
            if (task)
                task();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            ++turns;
        }
        return turns;
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

/// Records progress calls with the thread they arrived on.
struct ThreadCheckingProgress final : album::ProgressSink {
    std::thread::id windowThread = std::this_thread::get_id();
    std::vector<std::string> calls;
    bool offThread = false;
    void note(std::string call)
    {
        offThread |= std::this_thread::get_id() != windowThread;
        calls.push_back(std::move(call));
    }
    void show() override { note("show"); }
    void setPosition(int p) override { note("pos " + std::to_string(p)); }
    void setLabel(const std::string &t) override { note("label " + t); }
    void hide() override { note("hide"); }
};

struct NullPlatform final : generate::RunPlatform {
    std::vector<std::string> opened;
    bool moveToTrash(const std::string &) override { return false; }
    void openDocument(const std::string &path) override { opened.push_back(path); }
};

} // namespace

TEST(BackgroundRun, WindowThreadKeepsTurningAndGetsEveryCallInOrder)
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
    ThreadCheckingProgress progress;
    NullPlatform platform;
    EventLoop loop;

    auto future = generate::startBackgroundRun(
        generate::RunKind::Make, settings, entries, prompts, progress, platform, loop, 2);
    const int turns = loop.spinUntil(future);
    auto outcome = future.get();

    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.result.completed);
    EXPECT_GT(turns, 20); // the loop went on turning while pictures were converted
    EXPECT_FALSE(progress.offThread);
    ASSERT_EQ(progress.calls.size(), 2u + 7u * 2u + 2u);
    EXPECT_EQ(progress.calls[1], "label [ 1 / 7 ]");
    EXPECT_EQ(progress.calls[14], "pos 85");
    EXPECT_EQ(outcome.settings.text(OptionId::edRevMade), "support@pictora.example.org");
    EXPECT_EQ(settings.text(OptionId::edRevMade), ""); // the caller's copy is applied by the caller
    EXPECT_EQ(platform.opened.size(), 1u);
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
    ThreadCheckingProgress progress;
    NullPlatform platform;
    EventLoop loop;
    auto future = generate::startBackgroundRun(
        generate::RunKind::Rebuild, settings, {}, prompts, progress, platform, loop, 1);
    loop.spinUntil(future);
    auto outcome = future.get();
    ASSERT_TRUE(outcome.error);
    EXPECT_THROW(std::rethrow_exception(outcome.error), base::ConversionError);
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
        ThreadCheckingProgress progress;
        NullPlatform platform;
        EventLoop loop;
        auto future = generate::startBackgroundRun(generate::RunKind::Make,
            settings,
            { { source, "c", "t" } },
            prompts,
            progress,
            platform,
            loop,
            1);
        loop.spinUntil(future);
        EXPECT_TRUE(future.get().result.completed);
        return std::filesystem::directory_entry(main).last_write_time();
    };
    const auto first = make(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(make(true), first);
}
