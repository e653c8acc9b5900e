// SPDX-License-Identifier: MIT
#include "album/image_list.h"

#include "album/prompts.h"
#include "album/settings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace pictora::album
{

namespace
{

/// Asks the sort question; nullopt for Cancel, otherwise whether to sort.
std::optional<bool> askSortByName(Prompter &prompts)
{
    const Answer answer = prompts.ask(Prompt::asking(Question::SortByName, kSortQuestion));
    if (answer == Answer::Cancel)
        return std::nullopt;
    return answer == Answer::Yes;
}

} // namespace

std::string fileNamePart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isDroppableName(const std::string &path)
{
    static constexpr std::array<std::string_view, 12> kExtensions
        = { ".jpg", ".JPG", ".bmp", ".BMP", ".png", ".PNG", ".tif", ".TIF", ".pcx", ".PCX", ".fpx", ".FPX" };
    const std::string name = fileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    return std::ranges::find(kExtensions, std::string_view(name).substr(dot)) != kExtensions.end();
}

void ImageList::setCurrent(int index)
{
    m_current = (index >= 0 && static_cast<std::size_t>(index) < m_entries.size()) ? index : -1;
}

void ImageList::assign(std::vector<ImageEntry> entries)
{
    m_entries = std::move(entries);
    m_selected.assign(m_entries.size(), false);
    m_current = -1;
}

void ImageList::appendPicture(const std::string &path, const TimeStampReader &timeStampOf)
{
    m_entries.push_back({ path, fileNamePart(path), timeStampOf ? timeStampOf(path) : std::string() });
    m_selected.push_back(false);
}

void ImageList::appendInOrder(
    std::vector<std::string> paths, const PathOrder &order, const TimeStampReader &timeStampOf)
{
    if (order)
        std::ranges::stable_sort(paths, order);
    for (const auto &path : paths)
        appendPicture(path, timeStampOf);
}

bool ImageList::addPictures(std::vector<std::string> paths,
    Prompter &prompts,
    const PathOrder &order,
    const TimeStampReader &timeStampOf,
    ChangeSink &changes)
{
    const auto sort = askSortByName(prompts);
    if (!sort)
        return false;
    appendInOrder(std::move(paths), *sort ? order : PathOrder(), timeStampOf);
    // The item index stays; a list that was empty gets its first entry as current.
    if (m_current < 0 && !m_entries.empty())
        m_current = 0;
    if (m_current >= 0)
        m_selected[static_cast<std::size_t>(m_current)] = true;
    changes.markProjectChanged();
    changes.withdrawRebuild();
    return true;
}

bool ImageList::addDropped(std::vector<std::string> names,
    Prompter &prompts,
    const PathOrder &order,
    const TimeStampReader &timeStampOf,
    ChangeSink &changes)
{
    const auto sort = askSortByName(prompts);
    if (!sort)
        return false;
    std::erase_if(names, [](const std::string &name) { return !isDroppableName(name); });
    appendInOrder(std::move(names), *sort ? order : PathOrder(), timeStampOf);
    // The first entry is shown, so it alone is highlighted.
    m_selected.assign(m_entries.size(), false);
    setCurrent(0);
    if (m_current == 0)
        m_selected[0] = true;
    changes.markProjectChanged();
    changes.withdrawRebuild();
    return true;
}

void ImageList::deleteSelected(ChangeSink &changes)
{
    // The entry shown afterwards is the current one if it stays, else the one that followed it; it
    // alone is highlighted, so that the next delete removes the picture on screen.
    int keptBeforeCurrent = 0;
    std::size_t i = 0;
    for (int old = 0; i < m_entries.size(); ++old) {
        if (m_selected[i]) {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            m_selected.erase(m_selected.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            if (old < m_current)
                ++keptBeforeCurrent;
            ++i;
        }
    }
    if (m_entries.empty()) {
        m_current = -1;
    } else {
        m_current = std::min(keptBeforeCurrent, static_cast<int>(m_entries.size()) - 1);
        m_selected[static_cast<std::size_t>(m_current)] = true;
    }
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

void ImageList::deleteAll(ChangeSink &changes)
{
    assign({});
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

void ImageList::setPath(std::size_t index, std::string path)
{
    if (index < m_entries.size())
        m_entries[index].path = std::move(path);
}

void ImageList::swapEntries(std::size_t a, std::size_t b)
{
    std::swap(m_entries[a], m_entries[b]);
    // Changing a moved item clears its marks; the caller marks the moved block again.
    m_selected[a] = false;
    m_selected[b] = false;
}

bool ImageList::canMoveUp() const
{
    return m_current > 0;
}

bool ImageList::canMoveDown() const
{
    return m_current >= 0 && static_cast<std::size_t>(m_current) + 1 < m_entries.size();
}

void ImageList::moveUp(ChangeSink &changes)
{
    if (!canMoveUp())
        return;
    int first = -1;
    int moved = 0;
    for (std::size_t k = 1; k < m_entries.size(); ++k) {
        if (!m_selected[k])
            continue;
        swapEntries(k, k - 1);
        if (first < 0)
            first = static_cast<int>(k);
        ++moved;
    }
    if (moved > 0) {
        for (int i = first - 1; i <= first + moved - 2; ++i)
            m_selected[static_cast<std::size_t>(i)] = true;
        m_current = first - 1;
    }
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

void ImageList::moveDown(ChangeSink &changes)
{
    if (!canMoveDown())
        return;
    int first = -1;
    int moved = 0;
    for (std::size_t k = m_entries.size() - 1; k-- > 0;) {
        if (!m_selected[k])
            continue;
        swapEntries(k, k + 1);
        first = static_cast<int>(k);
        ++moved;
    }
    if (moved > 0) {
        for (int i = first + 1; i <= first + moved; ++i)
            m_selected[static_cast<std::size_t>(i)] = true;
        m_current = first + 1;
    }
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

void ImageList::storeComment(const std::string &comment, ChangeSink &changes)
{
    if (m_current < 0)
        return;
    m_entries[static_cast<std::size_t>(m_current)].comment = comment;
    changes.markProjectChanged();
}

void ImageList::storeTimeStamp(const std::string &timeStamp, ChangeSink &changes)
{
    if (m_current < 0)
        return;
    m_entries[static_cast<std::size_t>(m_current)].timeStamp = timeStamp;
    changes.markProjectChanged();
}

} // namespace pictora::album
