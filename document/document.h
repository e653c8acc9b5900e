// SPDX-License-Identifier: MIT
#pragma once

#include "album/choosers.h"
#include "album/image_list.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "base/file_io.h"
#include "document/document_listener.h"
#include "document/picture_edit.h"
#include "project/project_reader.h"

#include <optional>
#include <string>

namespace pictora::project
{

/// "作成中のプロジェクトを保存しますか!?": asked before New and Open replace a changed document,
/// and on closing the program.
inline constexpr const char *kSaveQuestion = "作成中のプロジェクトを保存しますか!?";

/// Asked at Save when the project file changed on disk since it was read or written here.
[[nodiscard]] std::string projectChangedMessage(const std::string &path);
/// Told when another process is writing the project file at this moment.
[[nodiscard]] std::string projectBusyMessage(const std::string &path);

/// The album document of the main window: the options, the image list, the current project path,
/// the changed mark, the rebuild's availability and the picture being edited, with the project
/// commands New, Open, Save and Save As.
///
/// The window keeps no copy: it shows settings() and images(), sends option edits through
/// setOption() and list operations to images() with this document as their ChangeSink, and
/// follows what the listener reports. Errors of a command are shown through the prompter; the
/// command then stops and the document stays as the message says.
class Document final : public album::ChangeSink
{
public:
    explicit Document(album::Prompter &prompts, PictureExists pictureExists = pictureFileExists);
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    void setListener(DocumentListener *listener);

    [[nodiscard]] const album::AlbumSettings &settings() const { return m_settings; }
    [[nodiscard]] album::ImageList &images() { return m_images; }
    [[nodiscard]] const album::ImageList &images() const { return m_images; }
    [[nodiscard]] PictureEdit &pictureEdit() { return m_edit; }

    /// An edit of an option, with its coupling rules; options the rules set in turn are reported
    /// to the listener. Throws base::ConversionError like SettingsEditor::set.
    void setOption(album::OptionId id, const album::OptionValue &value);

    /// `ProjectFileName`: empty while the document has no project file.
    [[nodiscard]] const std::string &projectFileName() const { return m_projectFileName; }
    /// `SaveAsDone`: whether the last Save As wrote its file (false after a cancelled dialog).
    [[nodiscard]] bool saveAsDone() const { return m_saveAsDone; }
    /// The changed mark: `mnSave` enabled.
    [[nodiscard]] bool changed() const { return m_changed; }
    /// `btReMakeHTML` enabled.
    [[nodiscard]] bool rebuildAvailable() const { return m_rebuildAvailable; }
    /// Why the rebuild is not available (empty while it is): no album made yet, or the list or a
    /// picture option changed since the last make.
    [[nodiscard]] std::string rebuildHint() const;
    /// A completed album run: the written pictures match the document again.
    void rebuildMade();
    /// An album run ended. Only a make that completed wrote the pictures of this list, so only it
    /// makes the rebuild available; a rebuild, or a run that ended early, leaves it as it was.
    void albumRunEnded(bool completed, bool wasMake);

    /// Where the folder browser starts: the output folder when it exists, else (no output folder
    /// typed) the first picture's folder, else nowhere in particular (empty).
    [[nodiscard]] std::string folderBrowserStart() const;
    /// The output folder's browse button: a chosen folder that exists becomes the output folder.
    void chooseOutputFolder(album::Chooser &chooser);
    /// A press on a colour option's swatch: the colour dialog opens at the swatch's colour, and the
    /// option's edit gets the chosen colour, or the swatch's own when cancelled, as RRGGBB. The
    /// project counts as changed either way.
    void chooseColour(album::OptionId id, album::Chooser &chooser);

    /// MarkProjectChanged: sets the changed mark only while a file exists at projectFileName().
    void markProjectChanged() override;
    /// WithdrawRebuild.
    void withdrawRebuild() override;

    /// The save prompt comes before New and Open replace a document that has changed since it was
    /// written or read, or that was never saved and holds pictures.
    /// `mnNewClick`: the save prompt, then the reset. The project path is forgotten, so Save never
    /// writes the new document over the previous project's file. False when the prompt was
    /// cancelled or its Save As failed (nothing changed).
    bool newProject(album::Chooser &chooser);
    /// `mnOpenClick`: the save prompt, the open dialog, the reset, the load. A load that does not
    /// complete (unreadable, unsupported version, cut off) shows the reader's message and leaves
    /// the document without a project path. True when a file was loaded completely.
    bool openProject(album::Chooser &chooser);
    /// `mnSaveClick`: writes to projectFileName() (Save As when there is none). When the file
    /// changed on disk since it was read or written here (another program, a command-line --add),
    /// asks projectChangedMessage first: Yes overwrites, No runs Save As, Cancel writes nothing.
    /// True when written.
    bool save(album::Chooser &chooser);
    /// `mnSaveAsClick`: the save dialog, showing the current project file, then the write; sets
    /// saveAsDone(). True when written.
    bool saveAs(album::Chooser &chooser);

    /// A project named on the command line at start-up: loaded into the document as it is,
    /// without a reset; a complete load names the file (made absolute), as Open does. True when
    /// loaded completely.
    bool loadAtStart(const std::string &path);

    /// `ResetProject`: every option that New/Open resets, the image list and the picture editor
    /// emptied, the preview erased. The project path, saveAsDone() and the changed mark stay.
    void resetProject();

private:
    enum class Written { Yes, Cancelled, Failed };
    Written writeAs(album::Chooser &chooser);
    /// Writes the project to `path` under its lock and remembers the file's stamp.
    Written writeTo(const std::string &path);
    /// Answers the save prompt; false when the command must stop.
    bool savePrompt(album::Chooser &chooser);
    /// Loads `path` into the (reset) document; true when the whole file was read.
    bool load(const std::string &path);
    void setChanged(bool changed);
    void forgetProjectPath();
    /// An option the program sets (a dialog's answer): as an edit, a conversion error shown.
    void setByProgram(album::OptionId id, const album::OptionValue &value);
    /// Tells the listener about every option whose value differs from `before`.
    void reportOptions(const album::AlbumSettings &before);
    void showError(const std::string &text);

    album::Prompter &m_prompts;
    PictureExists m_pictureExists;
    album::AlbumSettings m_settings;
    album::SettingsEditor m_editor;
    album::ImageList m_images;
    PictureEdit m_edit;
    DocumentListener *m_listener = nullptr;

    std::string m_projectFileName;
    /// The project file as this document last read or wrote it.
    std::optional<base::FileStamp> m_fileStamp;
    bool m_saveAsDone = false;
    bool m_changed = false;
    bool m_rebuildAvailable = false;
    bool m_madeOnce = false; ///< a make has completed in this run
};

} // namespace pictora::project
