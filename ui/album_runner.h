// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"
#include "ui/background_run.h"
#include "ui/background_task.h"
#include "ui/qt_services.h"

#include <QObject>

#include <functional>
#include <memory>

namespace pictora::ui
{

class BusyWindow;
class ImageListView;
class TfrProgress;
class TfrView;

/// Make album and rebuild from the window. The run works beside the window (startBackgroundRun);
/// the window keeps drawing and answering, but is shut to commands until the run is over.
/// Questions go to the prompter, progress to the progress window; the preview is out of sight
/// while the progress window shows, and a completed album shows its first entry.
class AlbumRunner : public QObject
{
    Q_OBJECT
public:
    /// Sets one option the way the program does (not as the user's edit), so its control shows it.
    using ProgramSetter = std::function<void(album::OptionId, const album::OptionValue &)>;

    /// `busy` shuts the main window while a run works; `mnPreView` is found in that window by name.
    AlbumRunner(BusyWindow &busy,
        const album::AlbumSettings &settings,
        const album::ImageList &list,
        album::Prompter &prompts,
        TfrProgress &progress,
        TfrView &preview,
        ImageListView &listView,
        ProgramSetter setByProgram);
    ~AlbumRunner() override;

    /// Where the cover page is opened (default: the desktop's browser).
    void setOpener(QtRunPlatform::Opener open);
    /// Picture workers of a run; 0 = one per core.
    void setWorkers(int workers) { m_workers = workers; }
    [[nodiscard]] bool isRunning() const { return m_task.isRunning(); }

public slots:
    void make();
    void rebuild();

signals:
    /// The run is over: `completed` false when a question, a message, the user's stop or a failure
    /// ended it early.
    void finished(bool completed, bool wasMake);

private:
    /// The progress window of a run, with the preview out of its way.
    class RunProgress;

    void start(RunKind kind);
    void finish(const BackgroundRunResult &out);
    [[nodiscard]] bool previewWanted() const;

    BusyWindow &m_busy;
    const album::AlbumSettings &m_settings;
    const album::ImageList &m_list;
    album::Prompter &m_prompts;
    TfrProgress &m_progress;
    TfrView &m_preview;
    ImageListView &m_listView;
    ProgramSetter m_setByProgram;
    std::unique_ptr<RunProgress> m_runProgress;
    std::unique_ptr<QtRunPlatform> m_platform;
    RunKind m_kind = RunKind::Make;
    int m_workers = 0;
    BackgroundTask m_task; ///< last, so that it goes first: the run refers to the members above
};

} // namespace pictora::ui
