// SPDX-License-Identifier: MIT
#pragma once

#include "album/prompts.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

namespace pictora::app
{

/// The progress of a run on one terminal line: "[ i / n ]", the percentage, pictures per second and
/// the time left, redrawn in place and cleared when the run hides its progress.
class TerminalProgress final : public album::ProgressSink
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// Draws only when `enabled` (standard error is a terminal and the run is not quiet).
    TerminalProgress(std::ostream &err, bool enabled, Clock clock = std::chrono::steady_clock::now);

    void show() override;
    void setPosition(int percent) override;
    void setLabel(const std::string &text) override;
    void hide() override;

private:
    void draw();

    std::ostream &m_err;
    bool m_enabled;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    bool m_drawn = false;
    int m_percent = 0;
    std::string m_label;
};

} // namespace pictora::app
