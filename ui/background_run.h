// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"
#include "generate/make_album.h"

#include <exception>
#include <functional>
#include <vector>

namespace pictora::ui
{

class BackgroundTask;

enum class RunKind { Make, Rebuild };

/// What a run beside the window hands back to the window thread.
struct BackgroundRunResult {
    generate::RunResult result;
    album::AlbumSettings settings; ///< the settings as the run left them (the author address may be filled)
    std::exception_ptr error; ///< the run's failure, to be shown by the window thread
};

/// Starts a make or rebuild run as `task`'s work, on copies of the settings and the list, so that
/// the window thread keeps drawing and answering while pictures are converted. Each question goes
/// to `prompts` on the window thread and the run waits for its answer; progress calls and the
/// opening of the cover page go to `progress` and `platform` there without waiting, all in the
/// run's own order. A folder goes to the trash on the run's own thread (that touches only files).
/// The run stops between pictures once the task is asked to stop. `done` gets the outcome on the
/// window thread after everything else the run handed over.
void startBackgroundRun(BackgroundTask &task,
    RunKind kind,
    album::AlbumSettings settings,
    std::vector<album::ImageEntry> entries,
    album::Prompter &prompts,
    album::ProgressSink &progress,
    generate::RunPlatform &platform,
    int workers,
    std::function<void(BackgroundRunResult)> done);

} // namespace pictora::ui
