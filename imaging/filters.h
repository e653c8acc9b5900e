// SPDX-License-Identifier: MIT
// Inside the imaging layer only: pixel filters of the effects that need no libvips.
#pragma once

#include "imaging/picture.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace pictora::imaging::detail
{

/// Counts the rows that several threads work off and passes the percentage on from the thread
/// that made it only (forEachRowShare runs the first share there), so the callback need not be safe
/// to call from several threads.
class RowProgress
{
public:
    RowProgress(int rows, const ProgressCallback &progress);
    /// Called by any thread once per row done.
    void rowDone();

private:
    std::atomic<int> m_done { 0 };
    int m_rows;
    int m_reported = -1; ///< touched by the owner only
    std::thread::id m_owner;
    const ProgressCallback &m_progress;
};

/// Calls `rows(first, last)` on contiguous shares of [begin, end), one share per thread, on up to
/// `threads` threads (0 = one per core) including the calling one, and returns when all are done.
void forEachRowShare(int begin, int end, int threads, const std::function<void(int first, int last)> &rows);

/// The 3 × 3 median of every sample inside `area` (each band on its own), for interleaved 8-bit
/// pixels of `width` × `height` × `bands`. Neighbours are read from `in`, also outside `area`;
/// beyond the picture's edge the edge pixel repeats. Only `area` of `out` is written; `in` and
/// `out` must not overlap.
void median3x3(const std::uint8_t *in,
    std::uint8_t *out,
    int width,
    int height,
    int bands,
    const Region &area,
    int threads = 0,
    RowProgress *progress = nullptr);

} // namespace pictora::imaging::detail
