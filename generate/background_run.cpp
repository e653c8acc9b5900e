// SPDX-License-Identifier: MIT
#include "generate/background_run.h"

#include "album/prompts.h"

#include <memory>
#include <optional>
#include <type_traits>

namespace pictora::generate
{

namespace
{

/// Runs `task` on the window thread and hands back its result or its exception on this thread.
template <typename Task> auto onUi(UiDispatcher &ui, Task &&task) -> decltype(task())
{
    using Result = decltype(task());
    std::exception_ptr error;
    if constexpr (std::is_void_v<Result>) {
        ui.invokeAndWait([&] {
            try {
                task();
            } catch (...) {
                error = std::current_exception();
            }
        });
        if (error)
            std::rethrow_exception(error);
    } else {
        std::optional<Result> result;
        ui.invokeAndWait([&] {
            try {
                result = task();
            } catch (...) {
                error = std::current_exception();
            }
        });
        if (error)
            std::rethrow_exception(error);
        return *result;
    }
}

class ForwardingPrompter final : public album::Prompter
{
public:
    ForwardingPrompter(album::Prompter &target, UiDispatcher &ui)
        : m_target(target)
        , m_ui(ui)
    {
    }
    album::Answer ask(const album::Prompt &prompt) override
    {
        return onUi(m_ui, [&] { return m_target.ask(prompt); });
    }

private:
    album::Prompter &m_target;
    UiDispatcher &m_ui;
};

class ForwardingProgress final : public album::ProgressSink
{
public:
    ForwardingProgress(album::ProgressSink &target, UiDispatcher &ui)
        : m_target(target)
        , m_ui(ui)
    {
    }
    void show() override
    {
        onUi(m_ui, [&] { m_target.show(); });
    }
    void setPosition(int percent) override
    {
        onUi(m_ui, [&] { m_target.setPosition(percent); });
    }
    void setLabel(const std::string &text) override
    {
        onUi(m_ui, [&] { m_target.setLabel(text); });
    }
    void hide() override
    {
        onUi(m_ui, [&] { m_target.hide(); });
    }

private:
    album::ProgressSink &m_target;
    UiDispatcher &m_ui;
};

class ForwardingPlatform final : public RunPlatform
{
public:
    ForwardingPlatform(RunPlatform &target, UiDispatcher &ui)
        : m_target(target)
        , m_ui(ui)
    {
    }
    bool moveToTrash(const std::string &path) override
    {
        return onUi(m_ui, [&] { return m_target.moveToTrash(path); });
    }
    void openDocument(const std::string &path) override
    {
        onUi(m_ui, [&] { m_target.openDocument(path); });
    }
    void hidePreview() override
    {
        onUi(m_ui, [&] { m_target.hidePreview(); });
    }
    void showPreview() override
    {
        onUi(m_ui, [&] { m_target.showPreview(); });
    }
    void selectFirstEntry() override
    {
        onUi(m_ui, [&] { m_target.selectFirstEntry(); });
    }
    bool cancelRequested() override
    {
        return onUi(m_ui, [&] { return m_target.cancelRequested(); });
    }

private:
    RunPlatform &m_target;
    UiDispatcher &m_ui;
};

} // namespace

std::future<BackgroundRunResult> startBackgroundRun(RunKind kind,
    album::AlbumSettings settings,
    std::vector<album::ImageEntry> entries,
    album::Prompter &prompts,
    album::ProgressSink &progress,
    RunPlatform &platform,
    UiDispatcher &ui,
    int workers)
{
    return std::async(std::launch::async,
        [kind,
            settings = std::move(settings),
            entries = std::move(entries),
            &prompts,
            &progress,
            &platform,
            &ui,
            workers]() mutable {
            ForwardingPrompter forwardedPrompts(prompts, ui);
            ForwardingProgress forwardedProgress(progress, ui);
            ForwardingPlatform forwardedPlatform(platform, ui);
            BackgroundRunResult out;
            RunContext context {
                settings, entries, forwardedPrompts, forwardedProgress, forwardedPlatform, workers
            };
            try {
                out.result = kind == RunKind::Make ? makeAlbum(context) : rebuildPages(context);
            } catch (...) {
                out.error = std::current_exception();
            }
            out.settings = std::move(settings);
            return out;
        });
}

} // namespace pictora::generate
