// SPDX-License-Identifier: MIT
#include "album/image_list.h"

namespace pictora::album
{

std::string fileNamePart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace pictora::album
