// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <string>

class QMenu;

namespace Ui
{
class TfrMain;
}

namespace pictora::album
{
class Chooser;
class Prompter;
} // namespace pictora::album

namespace pictora::ui
{

class AlbumRunner;
class ImageListView;
class OptionBinding;
class TfrProgress;
class TfrView;
class UrlOpener;

/// The document the window works on: the album options, the picture list and the project file it
/// belongs to (empty until one is opened or saved).
struct AlbumDocument {
    album::AlbumSettings settings;
    album::ImageList images;
    std::string projectPath;
};

/// The main window: every album option and the picture list on six tab sheets, the menus and the
/// buttons. Each menu item and button runs one handler, shared by every item that does the same.
/// It is also the document's change sink: the changed mark is mnSave's enabled state, the
/// rebuild command btReMakeHTML's.
class TfrMain : public QMainWindow, public album::ChangeSink
{
    Q_OBJECT
public:
    TfrMain(album::Prompter &prompts, album::Chooser &chooser, UrlOpener &urls, QWidget *parent = nullptr);
    ~TfrMain() override;

    [[nodiscard]] AlbumDocument &document() { return m_document; }
    [[nodiscard]] album::AlbumSettings &settings() { return m_document.settings; }
    [[nodiscard]] album::ImageList &imageList() { return m_document.images; }
    [[nodiscard]] const std::string &projectPath() const { return m_document.projectPath; }
    void setProjectPath(std::string path) { m_document.projectPath = std::move(path); }
    [[nodiscard]] album::Prompter &prompter() { return m_prompts; }
    [[nodiscard]] album::Chooser &chooser() { return m_chooser; }
    [[nodiscard]] UrlOpener &urlOpener() { return m_urls; }
    /// Every option change of the program (reset, load) goes through here, so the controls follow.
    [[nodiscard]] OptionBinding &options() { return *m_options; }
    [[nodiscard]] QMenu *popupMenu() const { return m_subPopUp; }
    [[nodiscard]] ImageListView &listView() { return *m_listView; }
    [[nodiscard]] TfrView &preview() { return *m_preview; }
    [[nodiscard]] TfrProgress &progress() { return *m_progress; }
    [[nodiscard]] AlbumRunner &runner() { return *m_runner; }

    /// Shows the window, and the preview window beside it when mnPreView says so.
    void showWindows();

    /// Folders searched, in order, for the help pages shipped with the program.
    void setHelpFolders(QStringList folders) { m_helpFolders = std::move(folders); }

    // album::ChangeSink
    void markProjectChanged() override;
    void withdrawRebuild() override;
    /// A completed make run: the pages on disk match the settings again.
    void enableRebuild();

public slots:
    void btAddImageClick();
    void btDelImageClick();
    void btAllDelImageClick();
    void btUpClick();
    void btDownClick();
    void btRotLClick();
    void btRotRClick();
    void btMosaicClick();
    void btNRClick();
    void btEmbossClick();
    void btSepiaClick();
    void btUndoClick();
    void btAppendClick();
    void btMakeHTMLClick();
    void btReMakeHTMLClick();
    void btHelpClick();
    void btEndClick();
    void btSetDirClick();
    void btLoadBGClick();
    void mnNewClick();
    void mnOpenClick();
    void mnSaveClick();
    void mnSaveAsClick();
    void mnPreViewClick();
    void mnContentsClick();
    void mnSerchHelpClick();
    void mnAboutClick();
    /// The swatch procedure of every colour option: the dialog, then the paired edit.
    void swatchMouseDown(album::OptionId id);

signals:
    /// Local files dropped on the window, in drop order.
    void filesDropped(const QStringList &localPaths);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPopupMenu();
    void connectHandlers();
    void openHelpPage(const QString &page);

    std::unique_ptr<Ui::TfrMain> m_ui;
    album::Prompter &m_prompts;
    album::Chooser &m_chooser;
    UrlOpener &m_urls;
    AlbumDocument m_document;
    OptionBinding *m_options = nullptr;
    std::unique_ptr<TfrView> m_preview; ///< a window of its own, closed with this one
    TfrProgress *m_progress = nullptr;
    ImageListView *m_listView = nullptr;
    AlbumRunner *m_runner = nullptr;
    QMenu *m_subPopUp = nullptr;
    QStringList m_helpFolders;
};

/// Where the shipped help pages are looked for: beside the program (a build) and in the
/// installation's share folder.
[[nodiscard]] QStringList defaultHelpFolders();

} // namespace pictora::ui
