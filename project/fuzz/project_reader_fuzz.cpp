// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the project reader and applies what it gives to a document. Besides the
// sanitizers' findings it stops on a broken promise: a file that loads completely must save and load
// back to the same document.
#include "base/errors.h"
#include "project/project_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pictora;

namespace
{

class NoChanges final : public album::ChangeSink
{
public:
    void markProjectChanged() override { }
    void withdrawRebuild() override { }
};

class AnswerOk final : public album::Prompter
{
public:
    album::Answer ask(const album::Prompt &) override { return album::Answer::Ok; }
};

// Which pictures exist follows from the path alone, so runs repeat and never touch the disk.
bool fakeExists(const std::string &path)
{
    return path.size() % 2 == 1;
}

struct Document {
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> images;
    NoChanges changes;
    AnswerOk prompts;
    album::SettingsEditor editor { settings, changes, prompts };

    bool load(const project::ProjectContents &contents)
    {
        try {
            return project::applyProject(contents, { settings, editor, images, prompts });
        } catch (const base::UserError &) {
            return false;
        }
    }
};

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const auto contents = project::parseProject(bytes, "fuzz.pxa", fakeExists);
    if (contents.failure == project::LoadFailure::UnsupportedVersion && !contents.steps.empty())
        broken("steps from a file of unknown version");

    Document first;
    if (!first.load(contents))
        return 0;

    const std::string saved = project::projectFileBytes(first.settings, first.images);
    const auto again = project::parseProject(saved, "again.pxa", fakeExists);
    if (again.failure != project::LoadFailure::None
        || again.version != project::versionToWrite(first.settings))
        broken("a saved document does not read back");
    Document second;
    if (!second.load(again))
        broken("a saved document does not load back");

    // Joined texts lose trailing breaks and blanks, so memos and comments compare in their written form.
    for (const auto &decl : album::optionTable()) {
        const bool same = decl.kind == album::OptionKind::Memo
            ? project::joinLines(first.settings.text(decl.id))
                == project::joinLines(second.settings.text(decl.id))
            : first.settings.value(decl.id) == second.settings.value(decl.id);
        if (!same)
            broken("an option changed on the way back");
    }
    if (first.images.size() != second.images.size())
        broken("entries lost on the way back");
    for (std::size_t i = 0; i < first.images.size(); ++i) {
        const auto &a = first.images[i];
        const auto &b = second.images[i];
        if (a.path != b.path || a.timeStamp != b.timeStamp
            || project::joinLines(a.comment) != project::joinLines(b.comment))
            broken("an entry changed on the way back");
    }
    if (project::projectFileBytes(second.settings, second.images) != saved)
        broken("saving twice gives two different files");
    return 0;
}
