// SPDX-License-Identifier: MIT
#include "document/document.h"

#include "album/conversions.h"
#include "base/errors.h"
#include "project/project_writer.h"

#include <filesystem>

namespace pictora::project
{

std::string projectChangedMessage(const std::string &path)
{
    return "「" + path
        + "」は、読み込んだ後にほかのプログラムによって変更されています。\n"
          "上書きすると、その変更は失われます。\n\n"
          "「はい」… 上書きします。\n「いいえ」… 別の名前で保存します。\n「キャンセル」… 保存しません。";
}

std::string projectBusyMessage(const std::string &path)
{
    return "「" + path + "」には、ほかの処理が書き込んでいます。\nしばらくしてからもう一度保存してください。";
}

Document::Document(album::Prompter &prompts, PictureExists pictureExists)
    : m_prompts(prompts)
    , m_pictureExists(std::move(pictureExists))
    , m_editor(m_settings, *this, prompts)
    , m_edit(m_images, m_settings, *this, prompts)
{
}

void Document::setListener(DocumentListener *listener)
{
    m_listener = listener;
    m_edit.setListener(listener);
}

void Document::setOption(album::OptionId id, const album::OptionValue &value)
{
    const album::AlbumSettings before = m_settings;
    try {
        m_editor.set(id, value);
    } catch (...) {
        reportOptions(before);
        throw;
    }
    reportOptions(before);
}

void Document::reportOptions(const album::AlbumSettings &before)
{
    if (!m_listener)
        return;
    for (const auto &decl : album::optionTable()) {
        if (m_settings.value(decl.id) != before.value(decl.id))
            m_listener->optionChanged(decl.id);
    }
}

void Document::setChanged(bool changed)
{
    if (changed == m_changed)
        return;
    m_changed = changed;
    if (m_listener)
        m_listener->changedMarkChanged(changed);
}

void Document::markProjectChanged()
{
    std::error_code ec;
    if (!m_projectFileName.empty() && std::filesystem::is_regular_file(m_projectFileName, ec))
        setChanged(true);
}

void Document::withdrawRebuild()
{
    if (!m_rebuildAvailable)
        return;
    m_rebuildAvailable = false;
    if (m_listener)
        m_listener->rebuildAvailabilityChanged(false);
}

std::string Document::rebuildHint() const
{
    if (m_rebuildAvailable)
        return {};
    if (!m_madeOnce)
        return "アルバムをまだ作成していないため使えません。先に「アルバム作成」を行ってください。";
    return "前回のアルバム作成の後で画像リストか画像オプションが変更されたため使えません。"
           "「アルバム作成」をもう一度行ってください。";
}

void Document::rebuildMade()
{
    m_madeOnce = true;
    if (m_rebuildAvailable)
        return;
    m_rebuildAvailable = true;
    if (m_listener)
        m_listener->rebuildAvailabilityChanged(true);
}

void Document::albumRunEnded(bool completed, bool wasMake)
{
    if (completed && wasMake)
        rebuildMade();
}

std::string Document::folderBrowserStart() const
{
    const std::string &outputFolder = m_settings.text(album::OptionId::edHTMLPath);
    std::error_code error;
    if (!outputFolder.empty() && std::filesystem::is_directory(outputFolder, error))
        return outputFolder;
    if (outputFolder.empty() && !m_images.empty()) {
        const std::string &first = m_images[0].path;
        const auto slash = first.rfind('/');
        if (slash != std::string::npos)
            return first.substr(0, slash + 1);
    }
    return {};
}

void Document::chooseOutputFolder(album::Chooser &chooser)
{
    const auto chosen = chooser.pickFolder(folderBrowserStart());
    std::error_code error;
    if (!chosen || !std::filesystem::is_directory(*chosen, error))
        return;
    setByProgram(album::OptionId::edHTMLPath, *chosen);
}

void Document::chooseColour(album::OptionId id, album::Chooser &chooser)
{
    const std::uint32_t shown = m_settings.swatch(id);
    const std::uint32_t colour = chooser.pickColour(shown).value_or(shown);
    setByProgram(id, album::ColorToHexText(colour));
    markProjectChanged();
}

void Document::setByProgram(album::OptionId id, const album::OptionValue &value)
{
    try {
        setOption(id, value);
    } catch (const base::UserError &e) {
        showError(e.what());
    }
}

void Document::showError(const std::string &text)
{
    m_prompts.inform(album::PromptKind::Error, text);
}

void Document::forgetProjectPath()
{
    m_projectFileName.clear();
    setChanged(false);
}

void Document::resetProject()
{
    const album::AlbumSettings before = m_settings;
    m_editor.set(album::OptionId::edHTMLPath, std::string());
    const bool hadPictures = !m_images.empty();
    m_images.assign({});
    // The pictures of the last album run belong to a list that is gone.
    if (hadPictures)
        withdrawRebuild();
    m_editor.reset();
    m_edit.erase();
    reportOptions(before);
    if (m_listener)
        m_listener->listReplaced();
}

Document::Written Document::writeTo(const std::string &path)
{
    base::FileLock lock;
    if (lock.lock(path, false) == base::FileLock::Outcome::Busy) {
        showError(projectBusyMessage(path));
        return Written::Failed;
    }
    try {
        SaveProjectFile(path, m_settings, m_images.entries());
    } catch (const base::UserError &e) {
        showError(e.what());
        return Written::Failed;
    }
    m_fileStamp = base::stampOf(path);
    return Written::Yes;
}

Document::Written Document::writeAs(album::Chooser &chooser)
{
    const auto path = chooser.saveProject(m_projectFileName);
    if (!path) {
        m_saveAsDone = false;
        return Written::Cancelled;
    }
    if (const Written written = writeTo(*path); written != Written::Yes)
        return written;
    m_projectFileName = *path;
    setChanged(false);
    m_saveAsDone = true;
    return Written::Yes;
}

bool Document::saveAs(album::Chooser &chooser)
{
    return writeAs(chooser) == Written::Yes;
}

bool Document::save(album::Chooser &chooser)
{
    if (m_projectFileName.empty())
        return saveAs(chooser);
    // What another writer put there since (a command-line --add, say) is not silently lost. A
    // file that is gone loses nothing.
    const std::optional<base::FileStamp> now = base::stampOf(m_projectFileName);
    if (now && now != m_fileStamp) {
        const album::Answer answer = m_prompts.ask(
            album::Prompt::asking(album::Question::ProjectChanged, projectChangedMessage(m_projectFileName)));
        if (answer == album::Answer::No)
            return saveAs(chooser);
        if (answer != album::Answer::Yes)
            return false;
    }
    if (writeTo(m_projectFileName) != Written::Yes)
        return false;
    setChanged(false);
    return true;
}

bool Document::savePrompt(album::Chooser &chooser)
{
    const bool neverSaved = m_projectFileName.empty() && !m_images.empty();
    if (!m_changed && !neverSaved)
        return true;
    const auto answer = m_prompts.ask(album::Prompt::asking(album::Question::SaveChanges, kSaveQuestion));
    if (answer == album::Answer::Cancel)
        return false;
    if (answer == album::Answer::Yes) {
        // A cancelled dialog discards the document; a failed write ends the command.
        if (writeAs(chooser) == Written::Failed)
            return false;
        setChanged(false);
    }
    return true;
}

bool Document::newProject(album::Chooser &chooser)
{
    if (!savePrompt(chooser))
        return false;
    // Forgotten before the reset, whose change handling would otherwise mark the old file changed.
    forgetProjectPath();
    resetProject();
    return true;
}

bool Document::load(const std::string &path)
{
    const album::AlbumSettings before = m_settings;
    std::vector<album::ImageEntry> entries;
    bool complete = false;
    // Taken before reading: a change that comes while it is read shows at Save rather than hides.
    m_fileStamp = base::stampOf(path);
    try {
        complete = applyProject(
            readProjectFile(path, m_pictureExists), LoadTarget { m_settings, m_editor, entries, m_prompts });
    } catch (const base::UserError &e) {
        showError(e.what());
    }
    m_images.assign(std::move(entries));
    if (complete && !m_images.empty()) {
        m_images.setCurrent(0);
        m_images.setSelected(0, true);
    }
    reportOptions(before);
    if (m_listener)
        m_listener->listReplaced();
    if (complete && !m_images.empty())
        m_edit.showCurrent();
    return complete;
}

bool Document::openProject(album::Chooser &chooser)
{
    if (!savePrompt(chooser))
        return false;
    const auto path = chooser.openProject();
    if (!path)
        return false;
    forgetProjectPath();
    resetProject();
    const bool complete = load(*path);
    // Only a complete load names the file: Save must not write over a file it could not read.
    if (complete)
        m_projectFileName = *path;
    setChanged(false);
    return complete;
}

bool Document::loadAtStart(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    const std::string full = ec ? path : absolute.lexically_normal().string();
    const bool complete = load(full);
    // As Open: only a complete load names the file, and the loaded document counts as unchanged.
    if (complete)
        m_projectFileName = full;
    setChanged(false);
    return complete;
}

} // namespace pictora::project
