// SPDX-License-Identifier: MIT
#include "ui/contrast.h"

#include <algorithm>
#include <cmath>

namespace pictora::ui
{

namespace
{

constexpr double kReadable = 4.5;

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor mixed(const QColor &from, const QColor &to, double share)
{
    auto channel = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
    return QColor(
        channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableRed(const QColor &background)
{
    const QColor red(255, 0, 0);
    // Towards black or white, whichever can stand further from the background.
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const QColor goal = contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
    for (int step = 0; step <= 100; ++step) {
        const QColor candidate = mixed(red, goal, step / 100.0);
        if (contrastRatio(candidate, background) >= kReadable)
            return candidate;
    }
    return goal;
}

} // namespace pictora::ui
