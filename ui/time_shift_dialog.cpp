// SPDX-License-Identifier: MIT
#include "ui/time_shift_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pictora::ui
{

namespace
{

QSpinBox *offsetBox(
    QWidget *parent, const char *name, const QString &accessible, int limit, const QString &unit)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(accessible);
    box->setRange(-limit, limit);
    box->setSuffix(unit);
    box->setAlignment(Qt::AlignRight);
    return box;
}

} // namespace

TimeShiftDialog::TimeShiftDialog(QWidget *parent)
    : QDialog(parent)
    , m_text(new QLabel(this))
    , m_days(offsetBox(this, "csShiftDays", QStringLiteral("ずらす日数"), 36500, QStringLiteral(" 日")))
    , m_hours(offsetBox(this, "csShiftHours", QStringLiteral("ずらす時間"), 999, QStringLiteral(" 時間")))
    , m_minutes(offsetBox(this, "csShiftMinutes", QStringLiteral("ずらす分"), 59999, QStringLiteral(" 分")))
    , m_sort(new QCheckBox(QStringLiteral("ずらした後、タイムスタンプの順に並べ替える(&S)"), this))
{
    setObjectName(QStringLiteral("dlgShiftTime"));
    setWindowTitle(QStringLiteral("時刻をずらす"));
    m_sort->setObjectName(QStringLiteral("cbShiftSort"));
    m_sort->setAccessibleName(m_sort->text().remove(QStringLiteral("(&S)")));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("日(&D):"), m_days);
    form->addRow(QStringLiteral("時間(&H):"), m_hours);
    form->addRow(QStringLiteral("分(&M):"), m_minutes);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("bbShiftTime"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    m_text->setWordWrap(true);
    layout->addWidget(m_text);
    layout->addLayout(form);
    layout->addWidget(m_sort);
    layout->addWidget(buttons);
}

std::optional<album::TimeShiftChoice> TimeShiftDialog::ask(std::size_t count)
{
    m_text->setText(QStringLiteral("選択した %1 枚の画像のタイムスタンプをずらします。"
                                   "遅らせるときは正の値、早めるときは負の値を入れてください。")
                        .arg(count));
    m_days->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    const long long minutes = m_days->value() * 24LL * 60 + m_hours->value() * 60LL + m_minutes->value();
    return album::TimeShiftChoice { minutes, m_sort->isChecked() };
}

} // namespace pictora::ui
