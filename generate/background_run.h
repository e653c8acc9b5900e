// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"
#include "generate/make_album.h"

#include <exception>
#include <functional>
#include <future>

namespace pictora::generate
{

/// Runs a function on the thread that draws the windows and waits until it has run there.
/// The desktop front end implements it with a blocking queued call into its event loop.
class UiDispatcher
{
public:
    virtual ~UiDispatcher() = default;
    virtual void invokeAndWait(const std::function<void()> &task) = 0;
};

enum class RunKind { Make, Rebuild };

/// What a run on its own thread hands back to the window thread.
struct BackgroundRunResult {
    RunResult result;
    album::AlbumSettings settings; ///< the settings as the run left them (the author address may be filled)
    std::exception_ptr error; ///< the run's failure, to be shown by the window thread
};

/// Starts a make or rebuild run on a thread of its own, so that the window thread keeps drawing
/// and answering while pictures are converted. Every question, message, progress call and platform
/// call of the run is carried over to the window thread through `ui` and happens there in the
/// run's own order. The run works on copies of the settings and the list; the caller applies the
/// returned settings. `prompts`, `progress` and `platform` are used on the window thread only.
[[nodiscard]] std::future<BackgroundRunResult> startBackgroundRun(RunKind kind,
    album::AlbumSettings settings,
    std::vector<album::ImageEntry> entries,
    album::Prompter &prompts,
    album::ProgressSink &progress,
    RunPlatform &platform,
    UiDispatcher &ui,
    int workers = 0);

} // namespace pictora::generate
