// SPDX-License-Identifier: MIT
#include "ui/qt_services.h"

#include "shell/platform_services.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <exception>
#include <iterator>
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

QtUiDispatcher::QtUiDispatcher() = default;

void QtUiDispatcher::invokeAndWait(const std::function<void()> &task)
{
    if (QThread::currentThread() == m_context.thread()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(
        &m_context, [&task] { task(); }, Qt::BlockingQueuedConnection);
}

QtEffectWorker::QtEffectWorker(QWidget &window)
    : m_window(window)
{
}

void QtEffectWorker::run(const std::function<void()> &work)
{
    auto *mainWindow = qobject_cast<QMainWindow *>(&m_window);
    QWidget *shut[] = { mainWindow ? mainWindow->centralWidget() : nullptr,
        mainWindow ? mainWindow->menuBar() : nullptr };
    bool wasEnabled[] = { false, false };
    const QPointer<QWidget> focused = QApplication::focusWidget();
    for (std::size_t i = 0; i < std::size(shut); ++i) {
        if (shut[i]) {
            wasEnabled[i] = shut[i]->isEnabled();
            shut[i]->setEnabled(false);
        }
    }
    m_window.setCursor(Qt::BusyCursor);

    std::exception_ptr failure;
    const std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();

    m_window.unsetCursor();
    for (std::size_t i = 0; i < std::size(shut); ++i) {
        if (shut[i])
            shut[i]->setEnabled(wasEnabled[i]);
    }
    // Shutting the controls took the keyboard away from the one the user was in.
    if (focused && focused->isEnabled())
        focused->setFocus();
    if (failure)
        std::rethrow_exception(failure);
}

void QtEffectWorker::report(album::ProgressSink &progress, int percent)
{
    QMetaObject::invokeMethod(
        &m_context, [&progress, percent] { progress.setPosition(percent); }, Qt::QueuedConnection);
}

QtRunPlatform::QtRunPlatform(TfrView &preview,
    TfrProgress &progress,
    std::function<bool()> previewWanted,
    SelectFirst selectFirst,
    Opener open)
    : m_preview(preview)
    , m_progress(progress)
    , m_previewWanted(std::move(previewWanted))
    , m_selectFirst(std::move(selectFirst))
    , m_open(open ? std::move(open) : Opener([](const QUrl &url) { QDesktopServices::openUrl(url); }))
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

void QtRunPlatform::hidePreview()
{
    m_preview.hide();
}

void QtRunPlatform::showPreview()
{
    m_preview.setVisible(!m_previewWanted || m_previewWanted());
}

void QtRunPlatform::selectFirstEntry()
{
    if (m_selectFirst)
        m_selectFirst();
}

bool QtRunPlatform::cancelRequested()
{
    return m_progress.cancelRequested();
}

} // namespace pictora::ui
