// SPDX-License-Identifier: MIT
#pragma once

#include "album/prompts.h"
#include "document/picture_edit.h"
#include "generate/background_run.h"
#include "generate/make_album.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace pictora::ui
{

class TfrProgress;
class TfrView;

/// Effects on a thread of their own: while one works, the windows go on drawing and the timers
/// running, and the main window's controls and menu (so their keys too) take no input.
class QtEffectWorker final : public project::EffectWorker
{
public:
    /// `window`: the main window, whose central widget and menu bar are shut while work runs.
    explicit QtEffectWorker(QWidget &window);
    void run(const std::function<void()> &work) override;
    void report(album::ProgressSink &progress, int percent) override;

private:
    QWidget &m_window;
    QObject m_context; ///< lives on the window's thread
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

/// Runs a task on the thread of the event loop and waits for it; called there, runs it at once.
class QtUiDispatcher final : public generate::UiDispatcher
{
public:
    QtUiDispatcher();
    void invokeAndWait(const std::function<void()> &task) override;

private:
    QObject m_context; ///< lives on the thread that made the dispatcher
};

/// The desktop's side of a run: trash, the browser, the preview window and the list's first entry,
/// and the progress window's stop request.
class QtRunPlatform final : public generate::RunPlatform
{
public:
    using Opener = std::function<void(const QUrl &)>;
    using SelectFirst = std::function<void()>;
    /// `previewWanted` says whether the preview is to be seen after the run (mnPreView's check).
    QtRunPlatform(TfrView &preview,
        TfrProgress &progress,
        std::function<bool()> previewWanted,
        SelectFirst selectFirst,
        Opener open = {});

    bool moveToTrash(const std::string &path) override;
    void openDocument(const std::string &path) override;
    void hidePreview() override;
    void showPreview() override;
    void selectFirstEntry() override;
    bool cancelRequested() override;

private:
    TfrView &m_preview;
    TfrProgress &m_progress;
    std::function<bool()> m_previewWanted;
    SelectFirst m_selectFirst;
    Opener m_open;
};

} // namespace pictora::ui
