// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"
#include "generate/background_run.h"
#include "ui/qt_services.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <future>
#include <memory>

class QAction;
class QWidget;

namespace pictora::ui
{

class ImageListView;
class TfrProgress;
class TfrView;

/// Make album and rebuild from the window. The run works on its own thread through
/// startBackgroundRun; the window keeps drawing and answering, but its controls and menu take no
/// command until the run is over. Questions go to the prompter, progress to the progress window.
class AlbumRunner : public QObject
{
    Q_OBJECT
public:
    /// Sets one option the way the program does (not as the user's edit), so its control shows it.
    using ProgramSetter = std::function<void(album::OptionId, const album::OptionValue &)>;

    /// `window` is the main window: its central widget and menu bar are shut while a run works,
    /// and `mnPreView` is found in it by name.
    AlbumRunner(QWidget &window,
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
    [[nodiscard]] bool isRunning() const { return m_running; }

public slots:
    void make();
    void rebuild();

signals:
    /// The run is over: `completed` false when a question, a message, the user's stop or a failure
    /// ended it early.
    void finished(bool completed, bool wasMake);

private:
    void start(generate::RunKind kind);
    void poll();
    void finish();
    void setInputEnabled(bool enabled);
    [[nodiscard]] bool previewWanted() const;

    QWidget &m_window;
    const album::AlbumSettings &m_settings;
    const album::ImageList &m_list;
    album::Prompter &m_prompts;
    TfrProgress &m_progress;
    TfrView &m_preview;
    ImageListView &m_listView;
    ProgramSetter m_setByProgram;
    QtUiDispatcher m_dispatcher;
    std::unique_ptr<QtRunPlatform> m_platform;
    QTimer m_poll;
    std::future<generate::BackgroundRunResult> m_future;
    generate::RunKind m_kind = generate::RunKind::Make;
    int m_workers = 0;
    bool m_running = false;
};

} // namespace pictora::ui
