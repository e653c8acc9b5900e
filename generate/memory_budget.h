// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>

namespace pictora::generate
{

/// Bytes of decoded pictures the workers may hold at once, so that memory follows the pictures,
/// not the number of workers. A picture waits until it fits beside those in flight; one larger than
/// the whole budget goes alone. Pictures get their turn in list order, so a large one is not passed
/// over for ever by small ones behind it.
class MemoryBudget
{
public:
    explicit MemoryBudget(std::size_t bytes);
    MemoryBudget(const MemoryBudget &) = delete;
    MemoryBudget &operator=(const MemoryBudget &) = delete;

    /// What one picture holds; the bytes go back when it is dropped.
    class Lease
    {
    public:
        Lease() = default;
        ~Lease() { release(); }
        Lease(Lease &&other) noexcept;
        Lease &operator=(Lease &&other) noexcept;
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        [[nodiscard]] bool held() const { return m_budget != nullptr; }

    private:
        friend class MemoryBudget;
        Lease(MemoryBudget *budget, std::size_t bytes)
            : m_budget(budget)
            , m_bytes(bytes)
        {
        }
        void release();
        MemoryBudget *m_budget = nullptr;
        std::size_t m_bytes = 0;
    };

    /// Waits until `bytes` fit (or nothing else is held) and no picture before `order` still waits.
    [[nodiscard]] Lease take(std::size_t order, std::size_t bytes);

    [[nodiscard]] std::size_t bytes() const { return m_limit; }

private:
    void give(std::size_t bytes);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_limit;
    std::size_t m_held = 0;
    std::set<std::size_t> m_waiting;
};

/// What this process may spend on decoded pictures: the smallest of half the physical memory, what
/// its control group may still take and what its address-space limit leaves, less a quarter of
/// the last two for everything else a run maps (stacks, the libraries' own buffers).
[[nodiscard]] std::size_t pictureMemoryBudget();

} // namespace pictora::generate
