// SPDX-License-Identifier: MIT
#pragma once

#include "project/project_reader.h"
#include "project/project_writer.h"

/// Project files for callers that hold the document as plain values (the command line, tests).
namespace pictora::project
{

/// Loads a project into `settings` and `images` through a settings editor whose changed mark and
/// rebuild withdrawal go nowhere; missing pictures are warned about through `prompts`. Returns false,
/// after the error message, for an unsupported version; throws base::UserError when the file cannot
/// be read or stops part-way (what came before that point stays applied).
bool loadProjectFile(const std::string &path,
    album::AlbumSettings &settings,
    std::vector<album::ImageEntry> &images,
    album::Prompter &prompts,
    const PictureExists &exists = pictureFileExists);

} // namespace pictora::project
