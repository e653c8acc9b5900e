// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace pictora::ui
{

/// Thrown inside a task's work that waits for an answer when the window drops the task: the
/// work ends there, and nothing of it arrives any more.
struct TaskDropped {
};

namespace detail
{
/// One start of a task, shared by the window thread and the work.
struct TaskRun {
    std::atomic<bool> stop { false }; ///< the cancel token the work reads
    std::atomic<bool> dropped { false }; ///< nothing of this run is delivered any more
    std::mutex mutex;
    std::condition_variable woken; ///< an answer arrived, or the run was dropped
};
} // namespace detail

/// The work's side of a task: what it hands to the window thread, and the token it reads.
class TaskChannel
{
public:
    TaskChannel(std::shared_ptr<detail::TaskRun> run, QObject &window);

    /// Runs `step` on the window thread after everything handed over before it; never waits.
    void post(std::function<void()> step) const;
    /// Runs `question` on the window thread after everything handed over before it and waits for
    /// its result (or its exception). Throws TaskDropped when the task is dropped meanwhile.
    template <typename Question> auto ask(Question question) const -> decltype(question());
    /// The one cancel token: set when the user asks the work to stop, or the task is dropped.
    [[nodiscard]] bool stopRequested() const { return m_run->stop.load(); }

private:
    void waitFor(std::function<void()> step) const;

    std::shared_ptr<detail::TaskRun> m_run;
    QObject &m_window;
};

/// Work beside the window, one piece at a time: the album runs, the effects, the preview's
/// decoding. The work runs on a thread of the task's own; what it hands back (its progress, its
/// questions, its end) arrives on the window thread as queued calls, in the order it was handed
/// over. Only a question waits for its answer.
class BackgroundTask final : public QObject
{
    Q_OBJECT
public:
    /// What the work hands back: run on the window thread as the task's end.
    using End = std::function<void()>;
    using Work = std::function<End(TaskChannel &)>;
    /// Run on the window thread instead of the end when the work threw.
    using Failed = std::function<void(std::exception_ptr)>;

    explicit BackgroundTask(QObject *parent = nullptr);
    /// Drops the task in flight and waits for its work to return.
    ~BackgroundTask() override;

    /// Starts `work` beside the window. A task still in flight is dropped first (see drop()); the
    /// new one starts when its work has returned.
    void start(Work work, Failed failed);
    /// Asks the work in flight to stop; it reads that between its steps, and its end still arrives.
    void requestStop();
    /// Stops the task in flight and forgets it: nothing it hands back arrives any more, and a
    /// question it waits on is left unanswered.
    void drop();
    /// From start() until the end (or the failure) has run on the window thread.
    [[nodiscard]] bool isRunning() const { return m_current != nullptr; }

signals:
    /// The task's end or its failure has run.
    void finished();

private:
    std::shared_ptr<detail::TaskRun> m_current;
    QThreadPool m_pool;
};

template <typename Question> auto TaskChannel::ask(Question question) const -> decltype(question())
{
    using Result = decltype(question());
    if constexpr (std::is_void_v<Result>) {
        waitFor(std::move(question));
    } else {
        auto answer = std::make_shared<std::optional<Result>>();
        waitFor([answer, question = std::move(question)]() mutable { answer->emplace(question()); });
        return std::move(**answer);
    }
}

} // namespace pictora::ui
