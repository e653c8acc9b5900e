// SPDX-License-Identifier: MIT
#include "ui/album_runner.h"

#include "base/errors.h"
#include "base/file_messages.h"
#include "ui/image_list_view.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QWidget>

#include <chrono>

namespace pictora::ui
{

AlbumRunner::AlbumRunner(QWidget &window,
    const album::AlbumSettings &settings,
    const album::ImageList &list,
    album::Prompter &prompts,
    TfrProgress &progress,
    TfrView &preview,
    ImageListView &listView,
    ProgramSetter setByProgram)
    : QObject(&window)
    , m_window(window)
    , m_settings(settings)
    , m_list(list)
    , m_prompts(prompts)
    , m_progress(progress)
    , m_preview(preview)
    , m_listView(listView)
    , m_setByProgram(std::move(setByProgram))
{
    setOpener({});
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, &AlbumRunner::poll);
}

AlbumRunner::~AlbumRunner()
{
    // The run's thread calls into this window's objects: let it end before they go.
    while (m_future.valid() && m_future.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void AlbumRunner::setOpener(QtRunPlatform::Opener open)
{
    m_platform = std::make_unique<QtRunPlatform>(
        m_preview,
        m_progress,
        [this] { return previewWanted(); },
        [this] { m_listView.selectFirst(); },
        std::move(open));
}

void AlbumRunner::make()
{
    start(generate::RunKind::Make);
}

void AlbumRunner::rebuild()
{
    start(generate::RunKind::Rebuild);
}

void AlbumRunner::start(generate::RunKind kind)
{
    if (m_running)
        return;
    m_running = true;
    m_kind = kind;
    setInputEnabled(false);
    m_window.setCursor(Qt::BusyCursor);
    m_future = generate::startBackgroundRun(
        kind, m_settings, m_list.entries(), m_prompts, m_progress, *m_platform, m_dispatcher, m_workers);
    m_poll.start();
}

void AlbumRunner::poll()
{
    if (m_future.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        finish();
}

void AlbumRunner::finish()
{
    m_poll.stop();
    generate::BackgroundRunResult out = m_future.get();
    m_window.unsetCursor();
    setInputEnabled(true);
    m_running = false;

    // The run may have filled in settings (the author address): the window shows them too.
    for (const album::OptionDecl &decl : album::optionTable()) {
        const album::OptionValue &returned = out.settings.value(decl.id);
        if (returned == m_settings.value(decl.id))
            continue;
        m_setByProgram(decl.id, returned);
    }

    if (out.error) {
        m_progress.hide();
        m_preview.setVisible(previewWanted());
        try {
            std::rethrow_exception(out.error);
        } catch (const std::exception &e) {
            m_prompts.inform(album::PromptKind::Error, base::messageOf(e));
        } catch (...) {
            m_prompts.inform(album::PromptKind::Error, "アルバムを作成できませんでした。");
        }
    }
    emit finished(!out.error && out.result.completed, m_kind == generate::RunKind::Make);
}

void AlbumRunner::setInputEnabled(bool enabled)
{
    if (auto *mainWindow = qobject_cast<QMainWindow *>(&m_window)) {
        if (QWidget *central = mainWindow->centralWidget())
            central->setEnabled(enabled);
        if (QMenuBar *menu = mainWindow->menuBar())
            menu->setEnabled(enabled);
        return;
    }
    for (QWidget *child : m_window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child != &m_progress && child != &m_preview)
            child->setEnabled(enabled);
    }
}

bool AlbumRunner::previewWanted() const
{
    const auto *item = m_window.findChild<QAction *>(QStringLiteral("mnPreView"));
    return !item || item->isChecked();
}

} // namespace pictora::ui
