// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pictora::album
{

class ChangeSink;
class Prompter;

/// One picture of the album.
struct ImageEntry {
    std::string path; ///< full file path of the source picture
    std::string comment; ///< the picture's comment, lines separated by CR LF
    std::string timeStamp; ///< capture time stamp as display text
    bool operator==(const ImageEntry &) const = default;
};

/// The file-name part of a path: the text after the last "/".
[[nodiscard]] std::string fileNamePart(const std::string &path);

/// Orders paths for the "sort by name" answer (the user's locale, case ignored).
using PathOrder = std::function<bool(const std::string &, const std::string &)>;
/// Gives the capture time stamp text of a picture file.
using TimeStampReader = std::function<std::string(const std::string &path)>;

/// The question asked before pictures are added.
inline constexpr const char *kSortQuestion = "追加する画像を名前順に並べ替えますか!?";

/// A dropped name that added no picture, and why.
struct SkippedDrop {
    std::string name;
    std::string reason;
    bool operator==(const SkippedDrop &) const = default;
};

/// What a drop did: nothing when the sort question was cancelled, else the pictures it added and
/// the names it skipped.
struct DropResult {
    bool cancelled = false;
    std::size_t added = 0;
    std::vector<SkippedDrop> skipped;
    explicit operator bool() const { return !cancelled; }
};

/// Told when a drop adds nothing: the names skipped, each with its reason.
[[nodiscard]] std::string nothingDroppedMessage(const std::vector<SkippedDrop> &skipped);

/// What a time shift did: how many stamps moved, and the file names of the entries whose stamp is
/// no time (free text) or would leave the calendar, which kept theirs.
struct ShiftResult {
    std::size_t shifted = 0;
    std::vector<std::string> kept;
};

/// Told when a time shift left some stamps as they were.
[[nodiscard]] std::string stampsKeptMessage(const std::vector<std::string> &names);

/// How many list changes can be taken back, at least.
inline constexpr std::size_t kUndoDepth = 20;

/// The album's pictures in page order, with the list box's selection marks and current entry.
/// Every operation changes entries, marks and the current index together, so they never disagree.
class ImageList
{
public:
    [[nodiscard]] const std::vector<ImageEntry> &entries() const { return m_entries; }
    [[nodiscard]] std::size_t size() const { return m_entries.size(); }
    [[nodiscard]] bool empty() const { return m_entries.empty(); }
    [[nodiscard]] const ImageEntry &operator[](std::size_t i) const { return m_entries[i]; }

    /// The current entry (the one with the focus mark); -1 when there is none.
    [[nodiscard]] int current() const { return m_current; }
    [[nodiscard]] bool isSelected(std::size_t i) const { return m_selected[i]; }
    void setCurrent(int index);
    void setSelected(std::size_t i, bool selected) { m_selected[i] = selected; }

    /// Replaces everything (New, Open); nothing selected, no current entry.
    void assign(std::vector<ImageEntry> entries);

    /// Appends a new entry for a picture file: its comment is the file name.
    void appendPicture(const std::string &path, const TimeStampReader &timeStampOf);

    /// Adds pictures chosen in the open dialog, after the sort question. Returns false when the
    /// question was cancelled (nothing added).
    bool addPictures(std::vector<std::string> paths,
        Prompter &prompts,
        const PathOrder &order,
        const TimeStampReader &timeStampOf,
        ChangeSink &changes);
    /// Adds dropped files: the question first, then only names with an accepted extension; a folder
    /// stands for the pictures directly in it. A drop that adds nothing tells which names it
    /// skipped and changes nothing, the current entry included.
    DropResult addDropped(const std::vector<std::string> &names,
        Prompter &prompts,
        const PathOrder &order,
        const TimeStampReader &timeStampOf,
        ChangeSink &changes);

    void deleteSelected(ChangeSink &changes);
    void deleteAll(ChangeSink &changes);
    /// Whether the move commands do anything: the current entry is not already at that end.
    [[nodiscard]] bool canMoveUp() const;
    [[nodiscard]] bool canMoveDown() const;
    /// Moves the selected entries one place; nothing when the matching canMove... is false.
    void moveUp(ChangeSink &changes);
    void moveDown(ChangeSink &changes);

    /// Stores an edited comment or time stamp for the current entry (no current entry: nothing).
    void storeComment(const std::string &comment, ChangeSink &changes);
    void storeTimeStamp(const std::string &timeStamp, ChangeSink &changes);
    /// Points entry `index` at another picture file; its comment and time stamp stay.
    void setPath(std::size_t index, std::string path);
    /// Appends pictures without asking, sorted first when an order is given.
    void appendInOrder(
        std::vector<std::string> paths, const PathOrder &order, const TimeStampReader &timeStampOf);

    /// The selected entries, or the current one when none is selected.
    [[nodiscard]] std::vector<std::size_t> selectedOrCurrent() const;
    /// Moves the time stamps of the entries at `indices` by `minutes`; then, when asked, puts the
    /// whole list in the order of its time stamps (stamps that are no time last, in their order).
    /// Marks and the current entry stay with their entries. Stamps that stay as they were are told.
    ShiftResult shiftTimeStamps(const std::vector<std::size_t> &indices,
        long long minutes,
        bool sortByTime,
        Prompter &prompts,
        ChangeSink &changes);

    /// Whether a list change (add, drop, delete, move, time shift) can be taken back.
    [[nodiscard]] bool canUndo() const { return !m_undo.empty(); }
    /// Takes back the last list change: the entries come back where they were, with their comments
    /// and time stamps, and so do the marks. Comments typed since stay. False when there was none.
    bool undo(ChangeSink &changes);

private:
    /// The list as a change found it, to take the change back.
    struct UndoStep {
        std::vector<std::uint64_t> ids; ///< the entries' order
        std::vector<std::pair<std::uint64_t, ImageEntry>> removed; ///< entries the change took out
        std::vector<std::pair<std::uint64_t, std::string>> stamps; ///< time stamps it changed
        std::vector<bool> selected;
        int current = -1;
    };
    struct Before {
        std::vector<std::uint64_t> ids;
        std::vector<ImageEntry> entries;
        std::vector<bool> selected;
        int current = -1;
    };
    [[nodiscard]] Before before() const;
    /// Keeps what the change since `was` needs to be taken back; nothing when nothing changed.
    void remember(Before was);
    void swapEntries(std::size_t a, std::size_t b);
    void push(ImageEntry entry);

    std::vector<ImageEntry> m_entries;
    std::vector<bool> m_selected;
    std::vector<std::uint64_t> m_ids; ///< who each entry is, across moves and deletions
    std::uint64_t m_nextId = 0;
    int m_current = -1;
    std::deque<UndoStep> m_undo;
};

} // namespace pictora::album
