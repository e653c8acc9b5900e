// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pictora::generate
{

/// The number of workers to use when the caller asks for "all cores" (0).
[[nodiscard]] inline int workerCount(int requested)
{
    if (requested > 0)
        return requested;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

/// Runs work(0) … work(count − 1) on `workers` threads and hands the results to consume() on the
/// calling thread strictly in index order, so that everything consume() does (messages, progress,
/// page text) happens exactly as a one-thread loop would do it.
///
/// At most 2 × workers results are ahead of the consumer, so memory is bounded by the number of
/// workers, not by `count`. work() must not throw; if consume() throws, the workers stop after
/// their current item and the exception reaches the caller once they have all been joined.
template <typename Result>
void runInOrder(std::size_t count,
    int workers,
    const std::function<Result(std::size_t)> &work,
    const std::function<void(std::size_t, Result &)> &consume)
{
    if (workers <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = work(i);
            consume(i, result);
        }
        return;
    }

    const std::size_t window = static_cast<std::size_t>(workers) * 2;
    std::vector<std::optional<Result>> slots(window);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextToTake = 0;
    std::size_t nextToConsume = 0;
    bool stopping = false;

    auto worker = [&] {
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock,
                    [&] { return stopping || nextToTake >= count || nextToTake < nextToConsume + window; });
                if (stopping || nextToTake >= count)
                    return;
                index = nextToTake++;
            }
            Result result = work(index);
            {
                std::lock_guard lock(mutex);
                slots[index % window] = std::move(result);
            }
            changed.notify_all();
        }
    };

    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    auto stopAndJoin = [&] {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (auto &t : threads) {
            if (t.joinable())
                t.join();
        }
    };

    try {
        for (int w = 0; w < std::min<int>(workers, static_cast<int>(count)); ++w)
            threads.emplace_back(worker);
        for (std::size_t i = 0; i < count; ++i) {
            Result result;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return slots[i % window].has_value(); });
                result = std::move(*slots[i % window]);
                slots[i % window].reset();
                nextToConsume = i + 1;
            }
            changed.notify_all();
            consume(i, result);
        }
    } catch (...) {
        stopAndJoin();
        throw;
    }
    stopAndJoin();
}

} // namespace pictora::generate
