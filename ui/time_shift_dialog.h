// SPDX-License-Identifier: MIT
#pragma once

#include "album/time_shift.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace pictora::ui
{

/// "時刻をずらす": days, hours and minutes, each with a sign, and whether the list is then sorted by
/// time stamp.
class TimeShiftDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit TimeShiftDialog(QWidget *parent);

    /// Opens the dialog for `count` entries; nullopt when cancelled.
    std::optional<album::TimeShiftChoice> ask(std::size_t count);

private:
    QLabel *m_text;
    QSpinBox *m_days;
    QSpinBox *m_hours;
    QSpinBox *m_minutes;
    QCheckBox *m_sort;
};

} // namespace pictora::ui
