// SPDX-License-Identifier: MIT
#include "generate/memory_budget.h"

#include "base/file_io.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <unistd.h>

namespace pictora::generate
{

MemoryBudget::MemoryBudget(std::size_t bytes)
    : m_limit(bytes)
{
}

MemoryBudget::Lease::Lease(Lease &&other) noexcept
    : m_budget(other.m_budget)
    , m_bytes(other.m_bytes)
{
    other.m_budget = nullptr;
}

MemoryBudget::Lease &MemoryBudget::Lease::operator=(Lease &&other) noexcept
{
    if (this != &other) {
        release();
        m_budget = other.m_budget;
        m_bytes = other.m_bytes;
        other.m_budget = nullptr;
    }
    return *this;
}

void MemoryBudget::Lease::release()
{
    if (m_budget)
        m_budget->give(m_bytes);
    m_budget = nullptr;
}

MemoryBudget::Lease MemoryBudget::take(std::size_t order, std::size_t bytes)
{
    std::unique_lock lock(m_mutex);
    m_waiting.insert(order);
    m_changed.wait(lock, [&] {
        return *m_waiting.begin() == order && (m_held == 0 || bytes <= m_limit - std::min(m_held, m_limit));
    });
    m_waiting.erase(order);
    m_held += bytes;
    // The next in line may fit too.
    m_changed.notify_all();
    return Lease(this, bytes);
}

void MemoryBudget::give(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_held -= bytes;
    }
    m_changed.notify_all();
}

namespace
{

constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

std::string small(const std::string &path)
{
    const base::WholeFile file = base::readWholeFile(path, 64 * 1024);
    return file.ok ? file.bytes : std::string();
}

std::optional<std::size_t> number(std::string_view text)
{
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    return value;
}

/// A "Name:   123 kB" line of /proc/meminfo or /proc/self/status, in bytes.
std::optional<std::size_t> kilobytesField(const std::string &text, std::string_view name)
{
    const std::size_t at = text.find(name);
    if (at == std::string::npos)
        return std::nullopt;
    std::size_t digits = text.find_first_of("0123456789", at + name.size());
    if (digits == std::string::npos)
        return std::nullopt;
    const std::optional<std::size_t> kb = number(std::string_view(text).substr(digits));
    return kb ? std::optional<std::size_t>(*kb * 1024) : std::nullopt;
}

/// What the control group (v2, else v1 memory) may still take.
std::size_t controlGroupRoom()
{
    const std::string groups = small("/proc/self/cgroup");
    for (std::size_t line = 0; line < groups.size();) {
        const std::size_t end = std::min(groups.find('\n', line), groups.size());
        const std::string_view entry(groups.data() + line, end - line);
        line = end + 1;
        if (entry.starts_with("0::")) {
            const std::string folder = "/sys/fs/cgroup" + std::string(entry.substr(3));
            const std::optional<std::size_t> limit = number(small(folder + "/memory.max"));
            if (!limit)
                return kUnlimited; // "max", or no such file
            const std::size_t used = number(small(folder + "/memory.current")).value_or(0);
            return *limit - std::min(*limit, used);
        }
    }
    const std::optional<std::size_t> limit = number(small("/sys/fs/cgroup/memory/memory.limit_in_bytes"));
    // v1 tells "no limit" with a huge number.
    if (!limit || *limit >= (std::size_t(1) << 60))
        return kUnlimited;
    const std::size_t used = number(small("/sys/fs/cgroup/memory/memory.usage_in_bytes")).value_or(0);
    return *limit - std::min(*limit, used);
}

/// What the address-space limit leaves beside what is mapped already.
std::size_t addressSpaceRoom()
{
    struct rlimit limit {
    };
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kUnlimited;
    const std::size_t mapped = kilobytesField(small("/proc/self/status"), "VmSize:").value_or(0);
    const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
    return allowed - std::min(allowed, mapped);
}

} // namespace

std::size_t pictureMemoryBudget()
{
    std::size_t budget = kUnlimited;
    if (const std::optional<std::size_t> total = kilobytesField(small("/proc/meminfo"), "MemTotal:"))
        budget = *total / 2;
    for (const std::size_t room : { controlGroupRoom(), addressSpaceRoom() }) {
        if (room != kUnlimited)
            budget = std::min(budget, room / 4 * 3);
    }
    // Without any figure, a budget that still lets a few camera pictures go together.
    return budget == kUnlimited ? std::size_t(2) << 30 : budget;
}

} // namespace pictora::generate
