// SPDX-License-Identifier: MIT
#include "ui/album_runner.h"

#include "base/errors.h"
#include "base/file_messages.h"
#include "ui/busy_window.h"
#include "ui/image_list_view.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"

#include <QAction>
#include <QMainWindow>

namespace pictora::ui
{

class AlbumRunner::RunProgress final : public album::ProgressSink
{
public:
    explicit RunProgress(AlbumRunner &runner)
        : m_runner(runner)
    {
    }
    void show() override
    {
        m_runner.m_progress.show();
        m_runner.m_preview.hide();
    }
    void setPosition(int percent) override { m_runner.m_progress.setPosition(percent); }
    void setLabel(const std::string &text) override { m_runner.m_progress.setLabel(text); }
    void hide() override
    {
        m_runner.m_progress.hide();
        m_runner.m_preview.setVisible(m_runner.previewWanted());
    }

private:
    AlbumRunner &m_runner;
};

AlbumRunner::AlbumRunner(BusyWindow &busy,
    const album::AlbumSettings &settings,
    const album::ImageList &list,
    album::Prompter &prompts,
    TfrProgress &progress,
    TfrView &preview,
    ImageListView &listView,
    ProgramSetter setByProgram)
    : QObject(&busy.window())
    , m_busy(busy)
    , m_settings(settings)
    , m_list(list)
    , m_prompts(prompts)
    , m_progress(progress)
    , m_preview(preview)
    , m_listView(listView)
    , m_setByProgram(std::move(setByProgram))
    , m_runProgress(std::make_unique<RunProgress>(*this))
    , m_platform(std::make_unique<QtRunPlatform>())
{
    // Esc in the progress window, or closing it: the run stops after the pictures in flight.
    connect(&m_progress, &TfrProgress::cancelRequestedByUser, &m_task, &BackgroundTask::requestStop);
}

AlbumRunner::~AlbumRunner() = default;

void AlbumRunner::setOpener(QtRunPlatform::Opener open)
{
    m_platform = std::make_unique<QtRunPlatform>(std::move(open));
}

void AlbumRunner::make()
{
    start(RunKind::Make);
}

void AlbumRunner::rebuild()
{
    start(RunKind::Rebuild);
}

void AlbumRunner::start(RunKind kind)
{
    if (m_busy.isBusy())
        return;
    m_kind = kind;
    m_busy.begin();
    startBackgroundRun(m_task,
        kind,
        m_settings,
        m_list.entries(),
        m_prompts,
        *m_runProgress,
        *m_platform,
        m_workers,
        [this](const BackgroundRunResult &out) { finish(out); });
}

void AlbumRunner::finish(const BackgroundRunResult &out)
{
    m_busy.end();
    if (!out.error && out.result.completed && !m_list.empty())
        m_listView.selectFirst();

    // The run may have filled in settings (the author address): the window shows them too.
    for (const album::OptionDecl &decl : album::optionTable()) {
        const album::OptionValue &returned = out.settings.value(decl.id);
        if (returned == m_settings.value(decl.id))
            continue;
        m_setByProgram(decl.id, returned);
    }

    if (out.error) {
        m_progress.hide();
        m_preview.setVisible(previewWanted());
        try {
            std::rethrow_exception(out.error);
        } catch (const std::exception &e) {
            m_prompts.inform(album::PromptKind::Error, base::messageOf(e));
        } catch (...) {
            m_prompts.inform(album::PromptKind::Error, "アルバムを作成できませんでした。");
        }
    }
    emit finished(!out.error && out.result.completed, m_kind == RunKind::Make);
}

bool AlbumRunner::previewWanted() const
{
    const auto *item = m_busy.window().findChild<QAction *>(QStringLiteral("mnPreView"));
    return !item || item->isChecked();
}

} // namespace pictora::ui
