// SPDX-License-Identifier: MIT
#include "document/picture_edit.h"

#include "base/file_messages.h"
#include "document/document_listener.h"
#include "generate/picture_conversion.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <new>
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

/// What a save that threw tells the user.
std::string failureMessage(const std::string &target, const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc &) {
        return base::cannotWriteMessage(target, ENOMEM);
    } catch (const std::exception &error) {
        return base::messageOf(error);
    } catch (...) {
        return base::cannotWriteMessage(target, EIO);
    }
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
    m_tooLarge = {};
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
    m_tooLarge = {};
    m_fileLoaded = false;
    m_showsFile = false;
    m_edited = false;
    m_angle = 0;
    pictureChanged();
}

void PictureEdit::offThread(
    std::function<void(const EffectWorker::Post &)> work, std::function<void(std::exception_ptr)> then)
{
    if (m_worker) {
        m_worker->start(std::move(work), std::move(then));
        return;
    }
    std::exception_ptr failure;
    try {
        work([](const std::function<void()> &step) { step(); });
    } catch (...) {
        failure = std::current_exception();
    }
    then(failure);
}

bool PictureEdit::adoptFile(unsigned generation, imaging::Picture loaded, const imaging::PictureInfo &header)
{
    // Another entry shown meanwhile is not this file's.
    if (generation != m_generation)
        return false;
    m_picture = std::move(loaded);
    m_fileLoaded = true;
    if (m_picture.empty() && header.valid() && !imaging::sizeCanBeHeld(header.width, header.height))
        m_tooLarge = header;
    return !m_picture.empty();
}

void PictureEdit::tellTooLarge()
{
    const auto *entry = currentEntry();
    if (!entry || !m_tooLarge.valid())
        return;
    m_prompts.inform(album::PromptKind::Warning,
        album::fileNamePart(entry->path) + "\nは " + std::to_string(m_tooLarge.width) + " x "
            + std::to_string(m_tooLarge.height)
            + " 画素と大きすぎるため、エフェクトをかけられません。\n(エフェクトをかけられるのは 1 "
              "億画素までの画像です)");
}

int PictureEdit::mosaicBlock(imaging::TargetSize previewBox) const
{
    const double width = m_picture.width();
    const double height = m_picture.height();
    double scale = 1.0;
    // As the picture will be applied: its pages show it at the main picture's size.
    if (const auto page = generate::pageSize(m_settings, width, height); page && page->width > 0)
        scale = std::min(scale, page->width / width);
    const imaging::TargetSize shown = imaging::fitInside(
        { m_picture.width(), m_picture.height(), 0 }, previewBox.width, previewBox.height);
    if (shown.width > 0)
        scale = std::min(scale, shown.width / width);
    return imaging::mosaicBlockFor(scale);
}

bool PictureEdit::hasPicture()
{
    if (!m_picture.empty())
        return true;
    const auto *entry = currentEntry();
    if (!m_showsFile || m_fileLoaded || !entry)
        return false;
    return adoptFile(m_generation, imaging::load(entry->path));
}

void PictureEdit::withPicture(const Then &then)
{
    if (!m_picture.empty()) {
        then(true);
        return;
    }
    const auto *entry = currentEntry();
    if (!m_showsFile || m_fileLoaded || !entry) {
        tellTooLarge();
        then(false);
        return;
    }
    auto loaded = std::make_shared<imaging::Picture>();
    auto header = std::make_shared<imaging::PictureInfo>();
    offThread(
        [path = entry->path, loaded, header](const EffectWorker::Post &) {
            *loaded = imaging::load(path);
            if (loaded->empty())
                *header = imaging::probe(path);
        },
        [this, generation = m_generation, loaded, header, then](const std::exception_ptr &failure) {
            const bool has = !failure && adoptFile(generation, std::move(*loaded), *header);
            if (!has && generation == m_generation)
                tellTooLarge();
            then(has);
        });
}

void PictureEdit::runEffect(
    Effect effect, bool enableCommands, const Then &then, int progressFrom, int progressTo)
{
    album::ProgressSink *progress = m_progress;
    if (progress) {
        progress->show();
        progress->setPosition(progressFrom);
    }
    // The work gets its own copy of the picture (pixels are shared, never changed in place), so
    // nothing it reads changes under it.
    auto result = std::make_shared<imaging::Picture>();
    auto ok = std::make_shared<bool>(false);
    offThread(
        [effect = std::move(effect), input = m_picture, result, ok, progress, progressFrom, progressTo](
            const EffectWorker::Post &post) {
            *ok = effect(input, *result, [&post, progress, progressFrom, progressTo](int percent) {
                const int position = progressFrom + (progressTo - progressFrom) * percent / 100;
                if (progress)
                    post([progress, position] { progress->setPosition(position); });
            });
        },
        [this, progress, generation = m_generation, result, ok, enableCommands, then](
            const std::exception_ptr &failure) {
            if (progress)
                progress->hide();
            if (failure || !*ok || generation != m_generation) {
                then(false);
                return;
            }
            m_picture = std::move(*result);
            m_edited = true;
            pictureChanged();
            if (enableCommands)
                setCommands(true, true);
            then(true);
        });
}

void PictureEdit::rotate(int delta, const Then &then)
{
    withPicture([this, delta, then](bool has) {
        const auto *entry = currentEntry();
        if (!has || !entry) {
            then(false);
            return;
        }
        // Unedited, the picture is the file's already; edited, the file is read again (off the
        // window's thread too, as part of the turn).
        const bool reload = m_edited;
        int angle = m_angle + delta;
        if (angle == kFullTurn || angle == -kFullTurn)
            angle = 0;
        runEffect(
            [path = entry->path, reload, angle](
                const imaging::Picture &shown, imaging::Picture &out, const imaging::ProgressCallback &) {
                const imaging::Picture fromFile = reload ? imaging::load(path) : shown;
                return !fromFile.empty() && imaging::Rotation(fromFile, out, angle);
            },
            true,
            // The angle follows the picture shown, so it changes only with a turn that succeeded.
            [this, angle, then](bool ok) {
                if (ok)
                    m_angle = angle;
                then(ok);
            });
    });
}

bool PictureEdit::whileBusy(const std::function<void(Then)> &command)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_succeeded = false;
    command([this](bool ok) {
        m_busy = false;
        m_succeeded = ok;
    });
    // Without a worker the command has ended by now; with one it may still be working.
    return m_busy || m_succeeded;
}

bool PictureEdit::onHeldPicture(const std::function<void(const Then &)> &step)
{
    return whileBusy([this, step](const Then &then) {
        withPicture([step, then](bool has) {
            if (has)
                step(then);
            else
                then(false);
        });
    });
}

bool PictureEdit::rotateLeft()
{
    return whileBusy([this](const Then &then) { rotate(kQuarterTurn, then); });
}

bool PictureEdit::rotateRight()
{
    return whileBusy([this](const Then &then) { rotate(-kQuarterTurn, then); });
}

bool PictureEdit::mosaic(const imaging::Region &selection, imaging::TargetSize previewBox)
{
    return onHeldPicture([this, selection, previewBox](const Then &then) {
        runEffect(
            [selection, block = mosaicBlock(previewBox)](const imaging::Picture &in,
                imaging::Picture &out,
                const imaging::ProgressCallback &) { return imaging::Mosaic(in, out, selection, block); },
            true,
            then);
    });
}

bool PictureEdit::emboss(const imaging::Region &selection)
{
    return onHeldPicture([this, selection](const Then &then) {
        runEffect([selection](const imaging::Picture &in,
                      imaging::Picture &out,
                      const imaging::ProgressCallback &) { return imaging::Emboss(in, out, selection); },
            true,
            then);
    });
}

bool PictureEdit::removeNoise()
{
    return onHeldPicture([this](const Then &then) {
        // The picture's own size, so a turned picture is covered whole.
        runEffect(
            [](const imaging::Picture &in, imaging::Picture &out, const imaging::ProgressCallback &progress) {
                return imaging::RemoveNoise(in, out, imaging::wholeRegion(in), kNoiseLevel, progress);
            },
            true,
            then);
    });
}

bool PictureEdit::sepia()
{
    return onHeldPicture([this](const Then &then) {
        // The grey step stays shown even if the tint fails; only the tint enables the commands.
        // Each step moves the bar half of its way.
        runEffect(
            [](const imaging::Picture &in, imaging::Picture &out, const imaging::ProgressCallback &progress) {
                return imaging::SetGray(in, out, imaging::wholeRegion(in), progress);
            },
            false,
            [this, then](bool grey) {
                if (!grey || m_picture.empty()) {
                    then(false);
                    return;
                }
                runEffect(
                    [](const imaging::Picture &in,
                        imaging::Picture &out,
                        const imaging::ProgressCallback &progress) {
                        return imaging::RGBLevel(in, out, imaging::wholeRegion(in), 10, -10, -35, progress);
                    },
                    true,
                    then,
                    50,
                    100);
            },
            0,
            50);
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
    return whileBusy([this](const Then &then) { applyNow(then); });
}

void PictureEdit::applyNow(const Then &then)
{
    const auto *entry = currentEntry();
    if (!entry || m_picture.empty() || !m_canApply) {
        then(false);
        return;
    }
    const std::size_t index = static_cast<std::size_t>(m_images.current());
    const std::string source = entry->path;
    const std::string target = appliedPictureName(source);

    struct stat sourceInfo {
    };
    const bool haveTime = ::stat(source.c_str(), &sourceInfo) == 0;

    album::ProgressSink *progress = m_progress;
    if (progress) {
        progress->show();
        progress->setPosition(0);
    }
    auto error = std::make_shared<std::string>();
    auto saved = std::make_shared<bool>(false);
    offThread(
        [picture = m_picture,
            target,
            quality = m_settings.number(album::OptionId::qJPEG),
            sampling = imaging::samplingFromText(m_settings.text(album::OptionId::cbJPEGc)),
            progress,
            error,
            saved](const EffectWorker::Post &post) {
            *saved = imaging::saveJpeg(
                picture, target, quality, sampling, error.get(), [&post, progress](int percent) {
                    if (progress)
                        post([progress, percent] { progress->setPosition(percent); });
                });
        },
        [this, progress, index, target, haveTime, sourceInfo, error, saved, then](
            const std::exception_ptr &failure) {
            if (progress)
                progress->hide();
            if (failure || !*saved) {
                m_prompts.inform(
                    album::PromptKind::Error, failure ? failureMessage(target, failure) : *error);
                then(false);
                return;
            }
            if (haveTime) {
                const timespec times[2] = { { 0, UTIME_NOW }, sourceInfo.st_mtim };
                // The picture is saved; a time that cannot be set only leaves it with today's date.
                (void)::utimensat(AT_FDCWD, target.c_str(), times, 0);
            }

            // The list cannot change while the picture is saved (the window takes no input
            // meanwhile), but an entry that went away is not renamed.
            if (index >= m_images.size()) {
                then(true);
                return;
            }
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
            then(true);
        });
}

} // namespace pictora::project
