// SPDX-License-Identifier: MIT
#pragma once

#include "album/prompts.h"
#include "document/picture_edit.h"
#include "generate/make_album.h"
#include "ui/background_task.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace pictora::ui
{

class BusyWindow;

/// Effects beside the window: while one works, the windows go on drawing and the timers running,
/// and the main window is shut (see BusyWindow).
class QtEffectWorker final : public project::EffectWorker
{
public:
    explicit QtEffectWorker(BusyWindow &busy);
    void start(std::function<void(const Post &)> work, std::function<void(std::exception_ptr)> done) override;

private:
    BusyWindow &m_busy;
    BackgroundTask m_task;
};

/// A message box's text: plain as it is, or, when a line is indented with a tab, rich text in which
/// such a line wraps under its own first word instead of back at the margin.
[[nodiscard]] QString messageBoxText(const QString &text, Qt::TextFormat *format);

/// Message boxes: the prompt's kind gives the icon, its buttons the box's buttons, the answer the
/// button pressed. Closing the box gives the "escape" answer: Cancel, No, or the only button.
class QtPrompter final : public album::Prompter
{
public:
    explicit QtPrompter(QWidget *parent);
    album::Answer ask(const album::Prompt &prompt) override;

private:
    QPointer<QWidget> m_parent;
};

/// The desktop's side of a run: the trash and the browser.
class QtRunPlatform final : public generate::RunPlatform
{
public:
    using Opener = std::function<void(const QUrl &)>;
    explicit QtRunPlatform(Opener open = {});

    bool moveToTrash(const std::string &path) override;
    void openDocument(const std::string &path) override;

private:
    Opener m_open;
};

} // namespace pictora::ui
