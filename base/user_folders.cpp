// SPDX-License-Identifier: MIT
#include "base/user_folders.h"

#include <cstdlib>

namespace pictora::base
{

std::string xdgUserFolder(const char *variable, const char *fallbackUnderHome)
{
    if (const char *set = std::getenv(variable); set && set[0] == '/')
        return set;
    if (const char *home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/" + fallbackUnderHome;
    return {};
}

} // namespace pictora::base
