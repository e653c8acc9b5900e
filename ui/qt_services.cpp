// SPDX-License-Identifier: MIT
#include "ui/qt_services.h"

#include "shell/platform_services.h"
#include "ui/busy_window.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>

#include <algorithm>
#include <exception>
#include <memory>

namespace pictora::ui
{

using album::Answer;
using album::PromptKind;

namespace
{

QMessageBox::StandardButton buttonFor(Answer answer)
{
    switch (answer) {
    case Answer::Ok:
        return QMessageBox::Ok;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon iconFor(PromptKind kind)
{
    switch (kind) {
    case PromptKind::Information:
        return QMessageBox::Information;
    case PromptKind::Warning:
        return QMessageBox::Warning;
    case PromptKind::Error:
        return QMessageBox::Critical;
    case PromptKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

/// The caption a box of this kind carries.
QString captionFor(PromptKind kind)
{
    switch (kind) {
    case PromptKind::Information:
        return QStringLiteral("情報");
    case PromptKind::Warning:
        return QStringLiteral("警告");
    case PromptKind::Error:
        return QStringLiteral("エラー");
    case PromptKind::Confirmation:
        return QStringLiteral("確認");
    }
    return {};
}

/// The answer a box gives when it is closed without a button.
Answer escapeAnswer(const std::vector<Answer> &buttons)
{
    for (Answer preferred : { Answer::Cancel, Answer::No }) {
        if (std::find(buttons.begin(), buttons.end(), preferred) != buttons.end())
            return preferred;
    }
    return buttons.empty() ? Answer::Ok : buttons.front();
}

} // namespace

QString messageBoxText(const QString &text, Qt::TextFormat *format)
{
    if (!text.contains(QStringLiteral("\n\t"))) {
        *format = Qt::PlainText;
        return text;
    }
    // Each line a paragraph of its own; a tab-indented one is indented as a whole.
    QString html;
    for (const QString &line : text.split(u'\n')) {
        const bool indented = line.startsWith(u'\t');
        const QString shown = (indented ? line.mid(1) : line).toHtmlEscaped();
        html += QStringLiteral("<p style=\"margin: 0 0 0 %1em\">%2</p>")
                    .arg(indented ? 2 : 0)
                    .arg(shown.isEmpty() ? QStringLiteral("&nbsp;") : shown);
    }
    *format = Qt::RichText;
    return html;
}

QtPrompter::QtPrompter(QWidget *parent)
    : m_parent(parent)
{
}

Answer QtPrompter::ask(const album::Prompt &prompt)
{
    const std::vector<Answer> buttons = prompt.buttons.empty() ? std::vector { Answer::Ok } : prompt.buttons;
    QMessageBox box(iconFor(prompt.kind),
        captionFor(prompt.kind),
        QString(),
        QMessageBox::NoButton,
        m_parent ? m_parent->window() : nullptr);
    Qt::TextFormat format = Qt::PlainText;
    const QString text = messageBoxText(toQString(prompt.text), &format);
    box.setTextFormat(format);
    box.setText(text);
    if (!prompt.details.empty())
        box.setDetailedText(toQString(prompt.details));
    for (Answer answer : buttons)
        box.addButton(buttonFor(answer));
    box.setDefaultButton(buttonFor(buttons.front()));
    box.setEscapeButton(buttonFor(escapeAnswer(buttons)));
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (Answer answer : buttons) {
        if (buttonFor(answer) == pressed)
            return answer;
    }
    return escapeAnswer(buttons);
}

QtEffectWorker::QtEffectWorker(BusyWindow &busy)
    : m_busy(busy)
{
}

void QtEffectWorker::start(
    std::function<void(const Post &)> work, std::function<void(std::exception_ptr)> done)
{
    m_busy.begin();
    auto ended = [this, done](const std::exception_ptr &failure) {
        m_busy.end();
        done(failure);
    };
    m_task.start(
        [work = std::move(work), ended](TaskChannel &channel) -> BackgroundTask::End {
            work([&channel](std::function<void()> step) { channel.post(std::move(step)); });
            return [ended] { ended(nullptr); };
        },
        ended);
}

QtRunPlatform::QtRunPlatform(Opener open)
    : m_open(open ? std::move(open) : Opener([](const QUrl &url) { QDesktopServices::openUrl(url); }))
{
}

bool QtRunPlatform::moveToTrash(const std::string &path)
{
    return shell::moveToTrash(path);
}

void QtRunPlatform::openDocument(const std::string &path)
{
    m_open(QUrl::fromLocalFile(toQString(path)));
}

} // namespace pictora::ui
