// SPDX-License-Identifier: MIT
#include "imaging/filters.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pictora::imaging::detail
{

namespace
{

// By value, not std::min's references: a choice between two addresses keeps the loops scalar.
std::uint8_t smaller(std::uint8_t a, std::uint8_t b)
{
    return a < b ? a : b;
}

std::uint8_t larger(std::uint8_t a, std::uint8_t b)
{
    return a < b ? b : a;
}

std::uint8_t median3(std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    return larger(smaller(a, b), smaller(larger(a, b), c));
}

/// Sorts every column of three samples (the rows above, at and below) into low, middle and high:
/// each output sample then needs only the three sorted columns around it.
void sortColumns(const std::uint8_t *__restrict above,
    const std::uint8_t *__restrict row,
    const std::uint8_t *__restrict below,
    std::size_t count,
    std::uint8_t *__restrict low,
    std::uint8_t *__restrict middle,
    std::uint8_t *__restrict high)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t a = above[i], b = row[i], c = below[i];
        const std::uint8_t less = smaller(a, b), more = larger(a, b);
        low[i] = smaller(less, c);
        high[i] = larger(more, c);
        middle[i] = larger(less, smaller(more, c));
    }
}

/// The medians of the samples [begin, end) of a row whose neighbours are all inside it.
void combineColumns(const std::uint8_t *__restrict low,
    const std::uint8_t *__restrict middle,
    const std::uint8_t *__restrict high,
    std::uint8_t *__restrict target,
    std::size_t begin,
    std::size_t end,
    std::size_t step)
{
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint8_t maxLow = larger(low[i - step], larger(low[i], low[i + step]));
        const std::uint8_t minHigh = smaller(high[i - step], smaller(high[i], high[i + step]));
        target[i] = median3(maxLow, median3(middle[i - step], middle[i], middle[i + step]), minHigh);
    }
}

/// The median of nine from three sorted columns: the largest low, the middle middle, the smallest high.
std::uint8_t fromColumns(const std::uint8_t *low,
    const std::uint8_t *middle,
    const std::uint8_t *high,
    std::size_t left,
    std::size_t centre,
    std::size_t right)
{
    const std::uint8_t maxLow = larger(low[left], larger(low[centre], low[right]));
    const std::uint8_t minHigh = smaller(high[left], smaller(high[centre], high[right]));
    return median3(maxLow, median3(middle[left], middle[centre], middle[right]), minHigh);
}

} // namespace

RowProgress::RowProgress(int rows, const ProgressCallback &progress)
    : m_rows(std::max(1, rows))
    , m_owner(std::this_thread::get_id())
    , m_progress(progress)
{
}

void RowProgress::rowDone()
{
    const int done = m_done.fetch_add(1, std::memory_order_relaxed) + 1;
    if (!m_progress || std::this_thread::get_id() != m_owner)
        return;
    const int percent = static_cast<int>(static_cast<long long>(done) * 100 / m_rows);
    if (percent != m_reported) {
        m_reported = percent;
        m_progress(std::min(percent, 100));
    }
}

void forEachRowShare(int begin, int end, int threads, const std::function<void(int first, int last)> &rows)
{
    if (end <= begin)
        return;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, end - begin);
    const int share = (end - begin + threads - 1) / threads;
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto guarded = [&](int first, int last) {
        try {
            rows(first, last);
        } catch (...) {
            const std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (int first = begin + share; first < end; first += share)
            helpers.emplace_back(guarded, first, std::min(end, first + share));
        guarded(begin, std::min(end, begin + share));
    } // the helpers are joined here
    if (failure)
        std::rethrow_exception(failure);
}

void median3x3(const std::uint8_t *in,
    std::uint8_t *out,
    int width,
    int height,
    int bands,
    const Region &area,
    int threads,
    RowProgress *progress)
{
    if (area.width <= 0 || area.height <= 0)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bands;
    const std::size_t step = static_cast<std::size_t>(bands);
    // The columns a row of the area needs: one more on each side where the picture has it.
    const int firstColumn = std::max(0, area.x - 1);
    const int lastColumn = std::min(width - 1, area.x + area.width);
    const std::size_t columnsStart = static_cast<std::size_t>(firstColumn) * step;
    const std::size_t columnCount = static_cast<std::size_t>(lastColumn - firstColumn + 1) * step;

    forEachRowShare(area.y, area.y + area.height, threads, [&](int firstRow, int lastRow) {
        // Indexed by the sample's position in the row, so a neighbour is one band count away.
        std::vector<std::uint8_t> sorted(3 * rowBytes);
        std::uint8_t *low = sorted.data();
        std::uint8_t *middle = low + rowBytes;
        std::uint8_t *high = middle + rowBytes;
        for (int y = firstRow; y < lastRow; ++y) {
            const std::uint8_t *row = in + static_cast<std::size_t>(y) * rowBytes;
            const std::uint8_t *above = y > 0 ? row - rowBytes : row;
            const std::uint8_t *below = y + 1 < height ? row + rowBytes : row;
            sortColumns(above + columnsStart,
                row + columnsStart,
                below + columnsStart,
                columnCount,
                low + columnsStart,
                middle + columnsStart,
                high + columnsStart);
            std::uint8_t *target = out + static_cast<std::size_t>(y) * rowBytes;
            // The picture's first and last columns repeat themselves as their missing neighbour.
            const std::size_t begin = static_cast<std::size_t>(area.x) * step;
            const std::size_t end = static_cast<std::size_t>(area.x + area.width) * step;
            std::size_t i = begin;
            for (; i < end && i < step; ++i)
                target[i] = fromColumns(low, middle, high, i, i, i + step < rowBytes ? i + step : i);
            const std::size_t innerEnd = std::max(i, std::min(end, rowBytes - step));
            combineColumns(low, middle, high, target, i, innerEnd, step);
            i = innerEnd;
            for (; i < end; ++i)
                target[i] = fromColumns(low, middle, high, i >= step ? i - step : i, i, i);
            if (progress)
                progress->rowDone();
        }
    });
}

} // namespace pictora::imaging::detail
