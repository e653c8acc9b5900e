// SPDX-License-Identifier: MIT
#include "app/terminal_progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace pictora::app
{

TerminalProgress::TerminalProgress(std::ostream &err, bool enabled, Clock clock)
    : m_err(err)
    , m_enabled(enabled)
    , m_clock(std::move(clock))
    , m_start(m_clock())
{
}

void TerminalProgress::show()
{
    m_start = m_clock();
}

void TerminalProgress::setPosition(int percent)
{
    m_percent = std::clamp(percent, 0, 100);
    draw();
}

void TerminalProgress::setLabel(const std::string &text)
{
    // Each label comes with a position; the line is drawn once, with the position.
    m_label = text;
}

void TerminalProgress::hide()
{
    if (m_enabled && m_drawn)
        m_err << "\r\033[K" << std::flush;
    m_drawn = false;
}

void TerminalProgress::draw()
{
    if (!m_enabled || m_label.empty())
        return;
    std::string line = "\r" + m_label + " " + std::to_string(m_percent) + "%";
    // The run labels each picture "[ i / n ]" once it is done.
    int done = 0;
    int total = 0;
    const double seconds = std::chrono::duration<double>(m_clock() - m_start).count();
    if (std::sscanf(m_label.c_str(), "[ %d / %d ]", &done, &total) == 2 && done > 0 && seconds > 0) {
        const double rate = done / seconds;
        const int left = static_cast<int>((total - done) / rate + 0.5);
        char text[96];
        std::snprintf(text, sizeof text, "  %.1f pictures/s  %d:%02d left", rate, left / 60, left % 60);
        line += text;
    }
    m_err << line << "\033[K" << std::flush;
    m_drawn = true;
}

} // namespace pictora::app
