// SPDX-License-Identifier: MIT
#include "document/picture_edit.h"

#include "document/document_listener.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace pictora::project
{

namespace
{

constexpr int kQuarterTurn = 9000;
constexpr int kFullTurn = 36000;
constexpr int kNoiseLevel = 3;

/// The path without the extension of its file name (from the last dot after the last "/").
std::string withoutExtension(const std::string &path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path;
    return path.substr(0, dot);
}

bool fileExists(const std::string &path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

std::string appliedPictureName(const std::string &source)
{
    const std::string stem = withoutExtension(source);
    const std::string plain = stem + ".jpg";
    return fileExists(plain) ? stem + "_e.jpg" : plain;
}

PictureEdit::PictureEdit(album::ImageList &images,
    const album::AlbumSettings &settings,
    album::ChangeSink &changes,
    album::Prompter &prompts)
    : m_images(images)
    , m_settings(settings)
    , m_changes(changes)
    , m_prompts(prompts)
{
}

const album::ImageEntry *PictureEdit::currentEntry() const
{
    const int current = m_images.current();
    if (current < 0 || static_cast<std::size_t>(current) >= m_images.size())
        return nullptr;
    return &m_images[static_cast<std::size_t>(current)];
}

void PictureEdit::pictureChanged()
{
    if (m_listener)
        m_listener->pictureChanged();
}

void PictureEdit::setCommands(bool canApply, bool canUndo)
{
    if (canApply == m_canApply && canUndo == m_canUndo)
        return;
    m_canApply = canApply;
    m_canUndo = canUndo;
    if (m_listener)
        m_listener->effectCommandsChanged();
}

void PictureEdit::showCurrent()
{
    ++m_generation;
    m_picture = imaging::Picture();
    m_fileLoaded = false;
    m_showsFile = currentEntry() != nullptr;
    m_edited = false;
    m_angle = 0;
    pictureChanged();
    setCommands(false, m_canUndo);
}

void PictureEdit::erase()
{
    ++m_generation;
    m_picture = imaging::Picture();
    m_fileLoaded = false;
    m_showsFile = false;
    m_edited = false;
    m_angle = 0;
    pictureChanged();
}

void PictureEdit::offThread(const std::function<void()> &work)
{
    if (m_worker)
        m_worker->run(work);
    else
        work();
}

bool PictureEdit::hasPicture()
{
    if (!m_picture.empty())
        return true;
    const auto *entry = currentEntry();
    if (!m_showsFile || m_fileLoaded || !entry)
        return false;
    const std::string path = entry->path;
    const unsigned generation = m_generation;
    imaging::Picture loaded;
    offThread([&] { loaded = imaging::load(path); });
    // Another entry shown meanwhile is not this file's.
    if (generation != m_generation)
        return false;
    m_picture = std::move(loaded);
    m_fileLoaded = true;
    return !m_picture.empty();
}

template <typename Effect> bool PictureEdit::runEffect(Effect &&effect, bool enableCommands)
{
    if (m_progress) {
        m_progress->show();
        m_progress->setPosition(0);
    }
    // The work gets its own copy of the picture (pixels are shared, never changed in place), so
    // nothing it reads changes under it.
    const imaging::Picture input = m_picture;
    const unsigned generation = m_generation;
    imaging::Picture result;
    bool ok = false;
    offThread([&] { ok = effect(input, result); });
    if (m_progress)
        m_progress->hide();
    if (!ok || generation != m_generation)
        return false;
    m_picture = std::move(result);
    m_edited = true;
    pictureChanged();
    if (enableCommands)
        setCommands(true, true);
    return true;
}

bool PictureEdit::rotate(int delta)
{
    const auto *entry = currentEntry();
    if (!hasPicture() || !entry)
        return false;
    // Unedited, the picture is the file's already; edited, the file is read again (off the
    // window's thread too, as part of the turn).
    const std::string path = entry->path;
    const bool reload = m_edited;
    int angle = m_angle + delta;
    if (angle == kFullTurn || angle == -kFullTurn)
        angle = 0;
    // The angle follows the picture shown, so it changes only with a turn that succeeded.
    const bool ok = runEffect([&](const imaging::Picture &shown, imaging::Picture &out) {
        const imaging::Picture fromFile = reload ? imaging::load(path) : shown;
        return !fromFile.empty() && imaging::Rotation(fromFile, out, angle);
    });
    if (ok)
        m_angle = angle;
    return ok;
}

template <typename Command> bool PictureEdit::whileBusy(Command &&command)
{
    if (m_busy)
        return false;
    m_busy = true;
    struct Done {
        bool &busy;
        ~Done() { busy = false; }
    } done { m_busy };
    return command();
}

bool PictureEdit::rotateLeft()
{
    return whileBusy([&] { return rotate(kQuarterTurn); });
}

bool PictureEdit::rotateRight()
{
    return whileBusy([&] { return rotate(-kQuarterTurn); });
}

bool PictureEdit::mosaic(const imaging::Region &selection)
{
    return whileBusy([&] { return mosaicNow(selection); });
}

bool PictureEdit::mosaicNow(const imaging::Region &selection)
{
    if (!hasPicture())
        return false;
    return runEffect([&](const imaging::Picture &in, imaging::Picture &out) {
        return imaging::Mosaic(in, out, selection);
    });
}

bool PictureEdit::emboss(const imaging::Region &selection)
{
    return whileBusy([&] { return embossNow(selection); });
}

bool PictureEdit::embossNow(const imaging::Region &selection)
{
    if (!hasPicture())
        return false;
    return runEffect([&](const imaging::Picture &in, imaging::Picture &out) {
        return imaging::Emboss(in, out, selection);
    });
}

bool PictureEdit::removeNoise()
{
    return whileBusy([&] { return removeNoiseNow(); });
}

bool PictureEdit::removeNoiseNow()
{
    if (!hasPicture())
        return false;
    // The picture's own size, so a turned picture is covered whole.
    return runEffect([](const imaging::Picture &in, imaging::Picture &out) {
        return imaging::RemoveNoise(in, out, imaging::wholeRegion(in), kNoiseLevel);
    });
}

bool PictureEdit::sepia()
{
    return whileBusy([&] { return sepiaNow(); });
}

bool PictureEdit::sepiaNow()
{
    if (!hasPicture())
        return false;
    // The grey step stays shown even if the tint fails; only the tint enables the commands.
    const bool grey = runEffect(
        [](const imaging::Picture &in, imaging::Picture &out) {
            return imaging::SetGray(in, out, imaging::wholeRegion(in));
        },
        false);
    if (!grey || m_picture.empty())
        return false;
    return runEffect([](const imaging::Picture &in, imaging::Picture &out) {
        return imaging::RGBLevel(in, out, imaging::wholeRegion(in), 10, -10, -35);
    });
}

void PictureEdit::undo()
{
    if (!currentEntry())
        return;
    showCurrent();
    setCommands(m_canApply, false);
}

bool PictureEdit::apply()
{
    return whileBusy([&] { return applyNow(); });
}

bool PictureEdit::applyNow()
{
    const auto *entry = currentEntry();
    if (!entry || m_picture.empty() || !m_canApply)
        return false;
    const std::size_t index = static_cast<std::size_t>(m_images.current());
    const std::string source = entry->path;
    const std::string target = appliedPictureName(source);

    struct stat sourceInfo {
    };
    const bool haveTime = ::stat(source.c_str(), &sourceInfo) == 0;

    if (m_progress) {
        m_progress->show();
        m_progress->setPosition(0);
    }
    std::string error;
    bool saved = false;
    const imaging::Picture picture = m_picture;
    const int quality = m_settings.number(album::OptionId::qJPEG);
    const imaging::Sampling sampling = imaging::samplingFromText(m_settings.text(album::OptionId::cbJPEGc));
    offThread([&] {
        saved = imaging::saveJpeg(picture, target, quality, sampling, &error, [this](int percent) {
            if (!m_progress)
                return;
            if (m_worker)
                m_worker->report(*m_progress, percent);
            else
                m_progress->setPosition(percent);
        });
    });
    if (m_progress)
        m_progress->hide();
    if (!saved) {
        m_prompts.inform(album::PromptKind::Error, error);
        return false;
    }
    if (haveTime) {
        const timespec times[2] = { { 0, UTIME_NOW }, sourceInfo.st_mtim };
        // The picture is saved; a time that cannot be set only leaves it with today's date.
        (void)::utimensat(AT_FDCWD, target.c_str(), times, 0);
    }

    // The list cannot change while the picture is saved (the window takes no input meanwhile),
    // but an entry that went away is not renamed.
    if (index >= m_images.size())
        return true;
    // Only now that the file is complete does the entry name it.
    m_images.setPath(index, target);
    if (m_listener)
        m_listener->entryChanged(index);
    // The shown picture is now the file's, unturned against it.
    m_angle = 0;
    setCommands(false, false);
    m_images.setSelected(index, true);
    m_changes.markProjectChanged();
    m_changes.withdrawRebuild();
    return true;
}

} // namespace pictora::project
