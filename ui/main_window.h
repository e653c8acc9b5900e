// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"
#include "document/document.h"
#include "document/document_listener.h"
#include "shell/desktop_integration.h"
#include "shell/preferences.h"
#include "ui/option_binding.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

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
class BusyWindow;
class ImageListView;
class QtEffectWorker;
class TAboutBox;
class TfrProgress;
class TfrView;
class UrlOpener;

/// What the window needs of the desktop when it is first shown and when it closes: the arguments
/// after the program's name, the preferences store and the file-type registration.
struct DesktopSession {
    std::vector<std::string> arguments;
    std::string preferencesPath = shell::PreferencesStore::defaultPath();
    shell::Registration registration = defaultRegistration();

    /// The running program, its icon from the resources, the user's data folder.
    [[nodiscard]] static shell::Registration defaultRegistration();
    /// Preferences in `folder`/config/pictora.ini, desktop files under `folder`/data, the system's
    /// under `folder`/system: for tools and tests that show the window without touching the user's
    /// own.
    [[nodiscard]] static DesktopSession inFolder(const std::string &folder);
};

/// The main window: every album option and the picture list on six tab sheets, the menus and the
/// buttons. Each menu item and button runs one handler, shared by every item that does the same.
/// It shows a project::Document and follows what the document reports: the changed mark is
/// mnSave's enabled state, the rebuild btReMakeHTML's.
class TfrMain : public QMainWindow, private project::DocumentListener
{
    Q_OBJECT
public:
    TfrMain(album::Prompter &prompts,
        album::Chooser &chooser,
        UrlOpener &urls,
        DesktopSession session = {},
        QWidget *parent = nullptr);
    ~TfrMain() override;

    [[nodiscard]] project::Document &document() { return m_document; }
    [[nodiscard]] const album::AlbumSettings &settings() const { return m_document.settings(); }
    [[nodiscard]] album::ImageList &imageList() { return m_document.images(); }
    [[nodiscard]] const std::string &projectPath() const { return m_document.projectFileName(); }
    [[nodiscard]] album::Prompter &prompter() { return m_prompts; }
    [[nodiscard]] album::Chooser &chooser() { return m_chooser; }
    /// Every option change of the program (reset, load) goes through here, so the controls follow.
    [[nodiscard]] OptionBinding &options() { return *m_options; }
    [[nodiscard]] QMenu *popupMenu() const { return m_subPopUp; }
    [[nodiscard]] ImageListView &listView() { return *m_listView; }
    [[nodiscard]] TfrView &preview() { return *m_preview; }
    [[nodiscard]] TfrProgress &progress() { return *m_progress; }
    [[nodiscard]] AlbumRunner &runner() { return *m_runner; }
    [[nodiscard]] TAboutBox &aboutBox() { return *m_about; }
    [[nodiscard]] shell::PreferencesStore &preferences() { return m_store; }

    /// Shows the window, and the preview window beside it when mnPreView says so.
    void showWindows();

    /// Folders searched, in order, for the help pages shipped with the program.
    void setHelpFolders(QStringList folders) { m_helpFolders = std::move(folders); }

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
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // project::DocumentListener
    void optionChanged(album::OptionId id) override;
    void listReplaced() override;
    void entryChanged(std::size_t index) override;
    void changedMarkChanged(bool changed) override;
    void rebuildAvailabilityChanged(bool available) override;
    void pictureChanged() override;
    void effectCommandsChanged() override;

    void buildPopupMenu();
    /// "追加" in red that reads on the button in any palette.
    void colourAddButton();
    /// The list's undo and time shift follow the list.
    void updateListCommands();
    void connectHandlers();
    /// The keys a desktop user expects, on the menu items they stand for.
    void assignShortcuts();
    void openHelpPage(const QString &page);
    /// The note for a command refused because work is running beside the window.
    void sayWorkIsRunning();
    /// The preview's selection in picture pixels.
    [[nodiscard]] imaging::Region previewSelection() const;

    std::unique_ptr<Ui::TfrMain> m_ui;
    album::Prompter &m_prompts;
    ShowingPrompter m_documentPrompts; ///< the document's questions see the controls up to date
    album::Chooser &m_chooser;
    UrlOpener &m_urls;
    DesktopSession m_session;
    shell::PreferencesStore m_store;
    project::Document m_document;
    bool m_started = false; ///< the start-up steps of the first show have run
    OptionBinding *m_options = nullptr;
    std::unique_ptr<TfrView> m_preview; ///< a window of its own, closed with this one
    TfrProgress *m_progress = nullptr;
    ImageListView *m_listView = nullptr;
    BusyWindow *m_busy = nullptr; ///< shut while a run or an effect works
    AlbumRunner *m_runner = nullptr;
    std::unique_ptr<QtEffectWorker> m_effectWorker;
    QMenu *m_subPopUp = nullptr;
    TAboutBox *m_about = nullptr;
    QStringList m_helpFolders;
};

/// Where the shipped help pages are looked for: beside the program (a build) and in the
/// installation's share folder.
[[nodiscard]] QStringList defaultHelpFolders();

} // namespace pictora::ui
