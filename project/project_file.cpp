// SPDX-License-Identifier: MIT
#include "project/project_file.h"

namespace pictora::project
{

namespace
{

class NoChangeSink final : public album::ChangeSink
{
public:
    void markProjectChanged() override { }
    void withdrawRebuild() override { }
};

} // namespace

bool loadProjectFile(const std::string &path,
    album::AlbumSettings &settings,
    std::vector<album::ImageEntry> &images,
    album::Prompter &prompts,
    const PictureExists &exists)
{
    NoChangeSink changes;
    album::SettingsEditor editor(settings, changes, prompts);
    return LoadProject(path, LoadTarget { settings, editor, images, prompts }, exists);
}

} // namespace pictora::project
