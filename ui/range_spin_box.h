// SPDX-License-Identifier: MIT
#pragma once

#include <QSpinBox>

#include <algorithm>
#include <limits>

namespace pictora::ui
{

/// A spin edit that accepts any whole number while it is typed and pulls it to the nearer bound
/// when the field is left (a plain QSpinBox refuses the keystroke or falls back to the old value).
class RangeSpinBox : public QSpinBox
{
public:
    explicit RangeSpinBox(QWidget *parent = nullptr)
        : QSpinBox(parent)
    {
        // The value is taken when the field is left or Enter is pressed, not on every keystroke.
        setKeyboardTracking(false);
    }

protected:
    QValidator::State validate(QString &input, int &) const override
    {
        const QString text = input.trimmed();
        if (text.isEmpty() || text == u"-" || text == u"+")
            return QValidator::Intermediate;
        bool ok = false;
        (void)text.toLongLong(&ok);
        return ok ? QValidator::Acceptable : QValidator::Invalid;
    }

    int valueFromText(const QString &text) const override
    {
        bool ok = false;
        const qlonglong typed = text.trimmed().toLongLong(&ok);
        if (!ok)
            return value();
        return static_cast<int>(
            std::clamp<qlonglong>(typed, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
};

} // namespace pictora::ui
