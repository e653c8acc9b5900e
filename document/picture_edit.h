// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "imaging/picture.h"

#include <exception>
#include <functional>
#include <string>

namespace pictora::project
{

class DocumentListener;

/// Runs the long part of an effect (decoding, filtering, encoding). The window runs it on a thread
/// of its own and keeps drawing meanwhile; without one, it runs in the caller.
class EffectWorker
{
public:
    /// Hands a step to the window's thread without waiting for it (the progress of a save).
    using Post = std::function<void(std::function<void()>)>;

    virtual ~EffectWorker() = default;
    /// Runs `work`, then `done` on the window's thread with what `work` threw (null when nothing);
    /// what `work` posts arrives there before `done`. `work` touches no window and no part of the
    /// document.
    virtual void start(std::function<void(const Post &)> work, std::function<void(std::exception_ptr)> done)
        = 0;
};

/// The name apply saves to: the path with its extension replaced by ".jpg", or by "_e.jpg" when
/// that file exists already (a.jpg → a_e.jpg, b.png → b.jpg).
[[nodiscard]] std::string appliedPictureName(const std::string &source);

/// The effects on the current picture of the image list, their undo and their apply.
///
/// Holds the picture being edited at the file's full resolution (the preview scales it for display,
/// never this copy). Until the first effect the preview shows the current entry's file itself, so
/// the full picture is decoded only when an effect needs it. Effects change only this copy; apply
/// saves it as a new JPEG beside the source and points the entry at it. The source file is never
/// written.
///
/// With a worker, a command goes on beside the window after it returns, and its end shows through
/// the listener; another command is refused until then (busy()). Without one, it has ended when it
/// returns.
class PictureEdit
{
public:
    PictureEdit(album::ImageList &images,
        const album::AlbumSettings &settings,
        album::ChangeSink &changes,
        album::Prompter &prompts);

    void setListener(DocumentListener *listener) { m_listener = listener; }
    void setProgress(album::ProgressSink *progress) { m_progress = progress; }
    void setWorker(EffectWorker *worker) { m_worker = worker; }
    /// Whether an effect or an apply is working right now; another one is refused meanwhile.
    [[nodiscard]] bool busy() const { return m_busy; }

    /// The edited picture; empty until an effect (or hasPicture()) loaded it.
    [[nodiscard]] const imaging::Picture &picture() const { return m_picture; }
    /// Whether there is a picture to edit: the current entry's file is decoded here, in the caller,
    /// when it has not been yet. False without a current entry, after erase(), or when the file
    /// cannot be read.
    [[nodiscard]] bool hasPicture();
    /// Whether the preview must show picture() rather than the current entry's file: an effect has
    /// changed it since the entry was selected or undone.
    [[nodiscard]] bool edited() const { return m_edited; }
    /// Whether the preview shows the current entry's file as it is (not erased, not edited).
    [[nodiscard]] bool showsFile() const { return m_showsFile && !m_edited; }
    /// Total rotation against the file, hundredths of a degree, positive left.
    [[nodiscard]] int angle() const { return m_angle; }
    /// Enabled state of `btAppend`/`mnAppend` and of `btUndo`/`mnUndo`.
    [[nodiscard]] bool canApply() const { return m_canApply; }
    [[nodiscard]] bool canUndo() const { return m_canUndo; }

    /// An entry was selected: its file is the picture (decoded when an effect first needs it),
    /// angle 0, apply disabled, undo unchanged.
    void showCurrent();
    /// Erases the preview (reset of New/Open): no picture, angle 0; the commands keep their state.
    void erase();

    /// Quarter turns, always of the file's picture: effects made before are lost. False when
    /// nothing happened (no picture shown, the file cannot be read); with a worker, true when the
    /// command started.
    bool rotateLeft();
    bool rotateRight();
    /// Region effects on the preview's selection, in picture pixels; an empty selection does nothing.
    /// The mosaic's blocks stay at least 10 pixels wide on the album's pages (the main picture's
    /// size) and in a preview of `previewBox` (none when 0 × 0), however large the picture is.
    bool mosaic(const imaging::Region &selection, imaging::TargetSize previewBox = {});
    bool emboss(const imaging::Region &selection);
    /// Whole-picture effects.
    bool removeNoise();
    bool sepia();

    /// Throws the effects away: the current entry is shown again from its file, undo disabled.
    /// Nothing happens while the list has no current entry.
    void undo();
    /// Saves the edited picture (see appliedPictureName) with the album's JPEG quality and
    /// sampling and the source's last-write time, then points the entry at the new file, marks the
    /// project changed and withdraws the rebuild. A failed save shows the error naming the file and
    /// changes nothing. Nothing happens while apply is disabled or without a current entry. True
    /// when saved (with a worker, when the save started).
    bool apply();

private:
    /// A command's continuation: called once, on the window's thread, with whether it succeeded.
    using Then = std::function<void(bool)>;
    /// Runs one command unless another is working (the window keeps turning while one does).
    bool whileBusy(const std::function<void(Then)> &command);
    /// Runs `step` as one command once the current entry's picture is held; fails without one.
    bool onHeldPicture(const std::function<void(const Then &)> &step);
    void rotate(int delta, const Then &then);
    /// Decodes the current entry's file when no picture is held yet, then `then(hasPicture)`; a
    /// picture too large to be edited is told why.
    void withPicture(const Then &then);
    /// Takes the decoded file as the picture unless another entry was shown meanwhile; `header` is
    /// what the file's header tells when it could not be decoded.
    bool adoptFile(unsigned generation, imaging::Picture loaded, const imaging::PictureInfo &header = {});
    /// Tells why a picture too large to hold takes no effect (it is shown, so silence would look
    /// like a fault).
    void tellTooLarge();
    /// The mosaic's block side for the picture held now.
    [[nodiscard]] int mosaicBlock(imaging::TargetSize previewBox) const;
    void applyNow(const Then &then);
    /// Runs one effect on the shown picture; on success the result is shown and the commands enabled.
    /// The effect's progress (0 to 100) moves the bar from `progressFrom` to `progressTo`.
    using Effect = std::function<bool(
        const imaging::Picture &, imaging::Picture &, const imaging::ProgressCallback &)>;
    void runEffect(
        Effect effect, bool enableCommands, const Then &then, int progressFrom = 0, int progressTo = 100);
    void setCommands(bool canApply, bool canUndo);
    /// Runs `work` through the worker, or here without one, then `then` here.
    void offThread(
        std::function<void(const EffectWorker::Post &)> work, std::function<void(std::exception_ptr)> then);
    void pictureChanged();
    [[nodiscard]] const album::ImageEntry *currentEntry() const;

    album::ImageList &m_images;
    const album::AlbumSettings &m_settings;
    album::ChangeSink &m_changes;
    album::Prompter &m_prompts;
    album::ProgressSink *m_progress = nullptr;
    EffectWorker *m_worker = nullptr;
    DocumentListener *m_listener = nullptr;
    bool m_busy = false;
    bool m_succeeded = false; ///< how the last command ended
    unsigned m_generation = 0; ///< counts the pictures shown, so a late result of another is dropped

    imaging::Picture m_picture;
    /// The size of a file that could not be loaded because a picture that large cannot be held.
    imaging::PictureInfo m_tooLarge;
    bool m_fileLoaded = false; ///< m_picture holds what the current entry's file gave, if anything
    bool m_showsFile = false; ///< the picture is the current entry's (not erased)
    bool m_edited = false;
    int m_angle = 0;
    bool m_canApply = false;
    bool m_canUndo = false;
};

} // namespace pictora::project
