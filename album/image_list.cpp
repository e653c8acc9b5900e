// SPDX-License-Identifier: MIT
#include "album/image_list.h"

#include "album/picture_files.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "album/time_shift.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_map>

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

constexpr std::size_t kNamesShown = 20;

/// Lines of names for a message, the first kNamesShown of them and then how many more.
std::string nameLines(const std::vector<std::string> &lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kNamesShown; ++i)
        text += "\n" + lines[i];
    if (lines.size() > kNamesShown)
        text += "\nほか " + std::to_string(lines.size() - kNamesShown) + " 件";
    return text;
}

/// The dropped names as pictures to add, in drop order: a folder gives the pictures directly in
/// it, in name order; anything else that cannot be added is skipped with its reason.
std::vector<std::string> sortOutDropped(
    const std::vector<std::string> &names, std::vector<SkippedDrop> &skipped)
{
    namespace fs = std::filesystem;
    std::vector<std::string> pictures;
    for (const auto &name : names) {
        // A link dragged from a browser names no file here.
        if (!name.starts_with('/')) {
            skipped.push_back({ name, "ローカルのファイルではありません" });
            continue;
        }
        std::error_code ec;
        if (!fs::is_directory(name, ec)) {
            if (isPictureFileName(name))
                pictures.push_back(name);
            else
                skipped.push_back({ name, "追加できない種類のファイルです" });
            continue;
        }
        std::vector<std::string> inFolder;
        fs::directory_iterator it(name, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string file = it->path().string();
            std::error_code kindError;
            if (!fileNamePart(file).starts_with('.') && isPictureFileName(file)
                && it->is_regular_file(kindError))
                inFolder.push_back(file);
        }
        if (ec) {
            skipped.push_back({ name, "フォルダを読み込めません" });
            continue;
        }
        if (inFolder.empty()) {
            skipped.push_back({ name, "フォルダに追加できる画像がありません" });
            continue;
        }
        std::ranges::sort(inFolder);
        pictures.insert(pictures.end(), inFolder.begin(), inFolder.end());
    }
    return pictures;
}

/// The capture time an entry sorts by; stamps that are no time go last.
std::pair<bool, StampTime> sortKey(const ImageEntry &entry)
{
    const auto time = parseTimeStamp(entry.timeStamp);
    return { !time.has_value(), time.value_or(StampTime {}) };
}

} // namespace

std::string nothingDroppedMessage(const std::vector<SkippedDrop> &skipped)
{
    std::vector<std::string> lines;
    lines.reserve(skipped.size());
    for (const auto &drop : skipped)
        lines.push_back(fileNamePart(drop.name) + " : " + drop.reason);
    return "ドロップされたファイルから追加できる画像はありませんでした。" + nameLines(lines);
}

std::string stampsKeptMessage(const std::vector<std::string> &names)
{
    return "次の画像のタイムスタンプは日時として読めないため、ずらしていません。" + nameLines(names);
}

std::string fileNamePart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void ImageList::setCurrent(int index)
{
    m_current = (index >= 0 && static_cast<std::size_t>(index) < m_entries.size()) ? index : -1;
}

void ImageList::assign(std::vector<ImageEntry> entries)
{
    m_entries.clear();
    m_selected.clear();
    m_ids.clear();
    for (auto &entry : entries)
        push(std::move(entry));
    m_current = -1;
    // Another document: nothing of the last one can be taken back into it.
    m_undo.clear();
}

void ImageList::push(ImageEntry entry)
{
    m_entries.push_back(std::move(entry));
    m_selected.push_back(false);
    m_ids.push_back(m_nextId++);
}

void ImageList::appendPicture(const std::string &path, const TimeStampReader &timeStampOf)
{
    push({ path, fileNamePart(path), timeStampOf ? timeStampOf(path) : std::string() });
}

ImageList::Before ImageList::before() const
{
    return { m_ids, m_entries, m_selected, m_current };
}

void ImageList::remember(Before was)
{
    UndoStep step;
    std::unordered_map<std::uint64_t, const ImageEntry *> now;
    for (std::size_t i = 0; i < m_ids.size(); ++i)
        now.emplace(m_ids[i], &m_entries[i]);
    for (std::size_t i = 0; i < was.ids.size(); ++i) {
        const auto found = now.find(was.ids[i]);
        if (found == now.end())
            step.removed.emplace_back(was.ids[i], std::move(was.entries[i]));
        else if (found->second->timeStamp != was.entries[i].timeStamp)
            step.stamps.emplace_back(was.ids[i], std::move(was.entries[i].timeStamp));
    }
    if (was.ids == m_ids && step.stamps.empty())
        return;
    step.ids = std::move(was.ids);
    step.selected = std::move(was.selected);
    step.current = was.current;
    m_undo.push_back(std::move(step));
    if (m_undo.size() > kUndoDepth)
        m_undo.pop_front();
}

bool ImageList::undo(ChangeSink &changes)
{
    if (m_undo.empty())
        return false;
    UndoStep step = std::move(m_undo.back());
    m_undo.pop_back();
    // Entries keep what was typed into them since; only the list's shape and the stamps the change
    // moved go back.
    std::unordered_map<std::uint64_t, ImageEntry> byId;
    for (std::size_t i = 0; i < m_ids.size(); ++i)
        byId.emplace(m_ids[i], std::move(m_entries[i]));
    for (auto &[id, entry] : step.removed)
        byId.emplace(id, std::move(entry));
    for (auto &[id, stamp] : step.stamps) {
        if (const auto found = byId.find(id); found != byId.end())
            found->second.timeStamp = std::move(stamp);
    }
    m_entries.clear();
    for (const auto id : step.ids)
        m_entries.push_back(std::move(byId.at(id)));
    m_ids = std::move(step.ids);
    m_selected = std::move(step.selected);
    setCurrent(step.current);
    changes.markProjectChanged();
    changes.withdrawRebuild();
    return true;
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
    Before was = before();
    appendInOrder(std::move(paths), *sort ? order : PathOrder(), timeStampOf);
    // The item index stays; a list that was empty gets its first entry as current.
    if (m_current < 0 && !m_entries.empty())
        m_current = 0;
    if (m_current >= 0)
        m_selected[static_cast<std::size_t>(m_current)] = true;
    remember(std::move(was));
    changes.markProjectChanged();
    changes.withdrawRebuild();
    return true;
}

DropResult ImageList::addDropped(const std::vector<std::string> &names,
    Prompter &prompts,
    const PathOrder &order,
    const TimeStampReader &timeStampOf,
    ChangeSink &changes)
{
    DropResult result;
    const auto sort = askSortByName(prompts);
    if (!sort) {
        result.cancelled = true;
        return result;
    }
    std::vector<std::string> pictures = sortOutDropped(names, result.skipped);
    if (pictures.empty()) {
        prompts.inform(PromptKind::Information, nothingDroppedMessage(result.skipped));
        return result;
    }
    result.added = pictures.size();
    Before was = before();
    appendInOrder(std::move(pictures), *sort ? order : PathOrder(), timeStampOf);
    // The first entry is shown, so it alone is highlighted.
    m_selected.assign(m_entries.size(), false);
    setCurrent(0);
    if (m_current == 0)
        m_selected[0] = true;
    remember(std::move(was));
    changes.markProjectChanged();
    changes.withdrawRebuild();
    return result;
}

void ImageList::deleteSelected(ChangeSink &changes)
{
    // The entry shown afterwards is the current one if it stays, else the one that followed it; it
    // alone is highlighted, so that the next delete removes the picture on screen.
    Before was = before();
    int keptBeforeCurrent = 0;
    std::size_t i = 0;
    for (int old = 0; i < m_entries.size(); ++old) {
        if (m_selected[i]) {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            m_selected.erase(m_selected.begin() + static_cast<std::ptrdiff_t>(i));
            m_ids.erase(m_ids.begin() + static_cast<std::ptrdiff_t>(i));
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
    remember(std::move(was));
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

void ImageList::deleteAll(ChangeSink &changes)
{
    Before was = before();
    m_entries.clear();
    m_selected.clear();
    m_ids.clear();
    m_current = -1;
    remember(std::move(was));
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
    std::swap(m_ids[a], m_ids[b]);
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
    Before was = before();
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
    remember(std::move(was));
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

void ImageList::moveDown(ChangeSink &changes)
{
    if (!canMoveDown())
        return;
    Before was = before();
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
    remember(std::move(was));
    changes.markProjectChanged();
    changes.withdrawRebuild();
}

std::vector<std::size_t> ImageList::selectedOrCurrent() const
{
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_selected[i])
            indices.push_back(i);
    }
    if (indices.empty() && m_current >= 0)
        indices.push_back(static_cast<std::size_t>(m_current));
    return indices;
}

ShiftResult ImageList::shiftTimeStamps(const std::vector<std::size_t> &indices,
    long long minutes,
    bool sortByTime,
    Prompter &prompts,
    ChangeSink &changes)
{
    ShiftResult result;
    Before was = before();
    for (const std::size_t i : indices) {
        if (i >= m_entries.size())
            continue;
        const auto time = parseTimeStamp(m_entries[i].timeStamp);
        const auto shifted = time ? shiftedBy(*time, minutes) : std::nullopt;
        if (!shifted) {
            result.kept.push_back(fileNamePart(m_entries[i].path));
            continue;
        }
        m_entries[i].timeStamp = formatTimeStamp(*shifted);
        ++result.shifted;
    }
    if (sortByTime) {
        std::vector<std::size_t> order(m_entries.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::vector<std::pair<bool, StampTime>> keys;
        for (const auto &entry : m_entries)
            keys.push_back(sortKey(entry));
        std::ranges::stable_sort(order, [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
        const std::uint64_t currentId
            = m_current >= 0 ? m_ids[static_cast<std::size_t>(m_current)] : UINT64_MAX;
        std::vector<ImageEntry> entries;
        std::vector<bool> selected;
        std::vector<std::uint64_t> ids;
        for (const std::size_t i : order) {
            entries.push_back(std::move(m_entries[i]));
            selected.push_back(m_selected[i]);
            ids.push_back(m_ids[i]);
        }
        m_entries = std::move(entries);
        m_selected = std::move(selected);
        m_ids = std::move(ids);
        const auto current = std::ranges::find(m_ids, currentId);
        m_current = current == m_ids.end() ? -1 : static_cast<int>(current - m_ids.begin());
    }
    const bool reordered = was.ids != m_ids;
    const bool changed = reordered || result.shifted > 0;
    remember(std::move(was));
    if (changed)
        changes.markProjectChanged();
    // The pages are numbered in list order; stamps alone a rebuild writes again.
    if (reordered)
        changes.withdrawRebuild();
    if (!result.kept.empty())
        prompts.inform(PromptKind::Warning, stampsKeptMessage(result.kept));
    return result;
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
