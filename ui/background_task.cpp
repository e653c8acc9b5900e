// SPDX-License-Identifier: MIT
#include "ui/background_task.h"

#include <QThread>

namespace pictora::ui
{

TaskChannel::TaskChannel(std::shared_ptr<detail::TaskRun> run, QObject &window)
    : m_run(std::move(run))
    , m_window(window)
{
}

void TaskChannel::post(std::function<void()> step) const
{
    QMetaObject::invokeMethod(
        &m_window,
        [run = m_run, step = std::move(step)] {
            if (!run->dropped)
                step();
        },
        Qt::QueuedConnection);
}

void TaskChannel::waitFor(std::function<void()> step) const
{
    if (QThread::currentThread() == m_window.thread()) {
        step();
        return;
    }
    struct Answer {
        bool given = false;
        std::exception_ptr error;
    };
    // Shared with the call on the window thread, which may outlive this wait when the task is
    // dropped while a message box is open.
    auto answer = std::make_shared<Answer>();
    post([run = m_run, answer, step = std::move(step)] {
        std::exception_ptr error;
        try {
            step();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(run->mutex);
            answer->given = true;
            answer->error = error;
        }
        run->woken.notify_all();
    });
    std::unique_lock lock(m_run->mutex);
    m_run->woken.wait(lock, [&] { return answer->given || m_run->dropped; });
    if (!answer->given)
        throw TaskDropped {};
    if (answer->error)
        std::rethrow_exception(answer->error);
}

BackgroundTask::BackgroundTask(QObject *parent)
    : QObject(parent)
{
    // One piece of work at a time; a newer one waits for a dropped one still decoding.
    m_pool.setMaxThreadCount(1);
}

BackgroundTask::~BackgroundTask()
{
    drop();
    m_pool.waitForDone();
}

void BackgroundTask::start(Work work, Failed failed)
{
    drop();
    auto run = std::make_shared<detail::TaskRun>();
    m_current = run;
    m_pool.start([this, run, work = std::move(work), failed = std::move(failed)] {
        if (run->dropped)
            return;
        TaskChannel channel(run, *this);
        End end;
        std::exception_ptr error;
        try {
            end = work(channel);
        } catch (const TaskDropped &) {
            return;
        } catch (...) {
            error = std::current_exception();
        }
        // After everything the work posted, since it goes the same way.
        channel.post([this, run, end = std::move(end), error, failed] {
            m_current.reset();
            if (!error) {
                if (end)
                    end();
            } else if (failed) {
                failed(error);
            }
            emit finished();
        });
    });
}

void BackgroundTask::requestStop()
{
    if (m_current)
        m_current->stop = true;
}

void BackgroundTask::drop()
{
    if (!m_current)
        return;
    {
        std::lock_guard lock(m_current->mutex);
        m_current->stop = true;
        m_current->dropped = true;
    }
    m_current->woken.notify_all();
    m_current.reset();
}

} // namespace pictora::ui
