// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
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

/// Whether a dropped file's name ends in one of the accepted extensions (compared with case).
[[nodiscard]] bool isDroppableName(const std::string &path);

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
    /// Adds dropped files: the question first, then only names with an accepted extension.
    bool addDropped(std::vector<std::string> names,
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

private:
    void swapEntries(std::size_t a, std::size_t b);

    std::vector<ImageEntry> m_entries;
    std::vector<bool> m_selected;
    int m_current = -1;
};

} // namespace pictora::album
