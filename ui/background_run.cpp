// SPDX-License-Identifier: MIT
#include "ui/background_run.h"

#include "album/prompts.h"
#include "ui/background_task.h"

#include <memory>

namespace pictora::ui
{

namespace
{

class ForwardingPrompter final : public album::Prompter
{
public:
    ForwardingPrompter(album::Prompter &target, const TaskChannel &channel)
        : m_target(target)
        , m_channel(channel)
    {
    }
    album::Answer ask(const album::Prompt &prompt) override
    {
        return m_channel.ask([target = &m_target, prompt] { return target->ask(prompt); });
    }

private:
    album::Prompter &m_target;
    const TaskChannel &m_channel;
};

class ForwardingProgress final : public album::ProgressSink
{
public:
    ForwardingProgress(album::ProgressSink &target, const TaskChannel &channel)
        : m_target(&target)
        , m_channel(channel)
    {
    }
    void show() override
    {
        m_channel.post([target = m_target] { target->show(); });
    }
    void setPosition(int percent) override
    {
        m_channel.post([target = m_target, percent] { target->setPosition(percent); });
    }
    void setLabel(const std::string &text) override
    {
        m_channel.post([target = m_target, text] { target->setLabel(text); });
    }
    void hide() override
    {
        m_channel.post([target = m_target] { target->hide(); });
    }

private:
    album::ProgressSink *m_target;
    const TaskChannel &m_channel;
};

class ForwardingPlatform final : public generate::RunPlatform
{
public:
    ForwardingPlatform(generate::RunPlatform &target, const TaskChannel &channel)
        : m_target(&target)
        , m_channel(channel)
    {
    }
    bool moveToTrash(const std::string &path) override { return m_target->moveToTrash(path); }
    void openDocument(const std::string &path) override
    {
        m_channel.post([target = m_target, path] { target->openDocument(path); });
    }
    bool cancelRequested() override { return m_channel.stopRequested(); }

private:
    generate::RunPlatform *m_target;
    const TaskChannel &m_channel;
};

} // namespace

void startBackgroundRun(BackgroundTask &task,
    RunKind kind,
    album::AlbumSettings settings,
    std::vector<album::ImageEntry> entries,
    album::Prompter &prompts,
    album::ProgressSink &progress,
    generate::RunPlatform &platform,
    int workers,
    std::function<void(BackgroundRunResult)> done)
{
    // The settings as they went in, for a run that failed before it could hand its own back.
    auto given = std::make_shared<const album::AlbumSettings>(settings);
    task.start(
        [kind,
            settings = std::move(settings),
            entries = std::move(entries),
            prompts = &prompts,
            progress = &progress,
            platform = &platform,
            workers,
            done](TaskChannel &channel) mutable -> BackgroundTask::End {
            ForwardingPrompter forwardedPrompts(*prompts, channel);
            ForwardingProgress forwardedProgress(*progress, channel);
            ForwardingPlatform forwardedPlatform(*platform, channel);
            BackgroundRunResult out;
            generate::RunContext context {
                settings, entries, forwardedPrompts, forwardedProgress, forwardedPlatform, workers
            };
            try {
                out.result
                    = kind == RunKind::Make ? generate::makeAlbum(context) : generate::rebuildPages(context);
            } catch (const TaskDropped &) {
                throw;
            } catch (...) {
                out.error = std::current_exception();
            }
            out.settings = std::move(settings);
            return [done, out = std::move(out)] { done(out); };
        },
        [done, given](const std::exception_ptr &error) {
            BackgroundRunResult out;
            out.settings = *given;
            out.error = error;
            done(std::move(out));
        });
}

} // namespace pictora::ui
