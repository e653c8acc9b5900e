// SPDX-License-Identifier: MIT
#include "app/picture_folder.h"

#include "album/picture_files.h"
#include "base/errors.h"
#include "base/file_messages.h"
#include "project/project_writer.h"

#include <filesystem>

namespace pictora::app
{

namespace fs = std::filesystem;

namespace
{

std::string fullPath(const fs::path &path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal().string();
}

/// The full path of a picture the project can keep and find again.
std::string storablePath(const fs::path &path)
{
    std::string full = fullPath(path);
    if (const std::optional<std::string> refused = project::unstorablePathMessage(full))
        throw base::UserError(*refused);
    return full;
}

} // namespace

std::vector<std::string> picturesNamedBy(const std::vector<std::string> &arguments)
{
    std::vector<std::string> pictures;
    for (const auto &argument : arguments) {
        std::error_code ec;
        const auto status = fs::status(argument, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw base::UserError(base::cannotReadMessage(argument, ec.value()));
        if (!fs::exists(status))
            throw base::UserError(argument + "\nが見つかりません。");
        if (!fs::is_directory(status)) {
            // A FIFO or a device is no picture, and reading one would wait for ever.
            if (!fs::is_regular_file(status))
                throw base::UserError(base::cannotReadMessage(argument, base::kReasonNotRegular));
            pictures.push_back(storablePath(argument));
            continue;
        }
        std::size_t found = 0;
        fs::directory_iterator it(argument, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code kindError;
            if (name.starts_with(".") || !album::isPictureFileName(name) || !it->is_regular_file(kindError))
                continue;
            pictures.push_back(storablePath(it->path()));
            ++found;
        }
        if (ec)
            throw base::UserError(base::cannotReadMessage(argument, ec.value()));
        if (found == 0)
            throw base::UserError(argument + "\nに画像がありません。");
    }
    return pictures;
}

} // namespace pictora::app
