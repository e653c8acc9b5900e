// SPDX-License-Identifier: MIT
#include "ui/resources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initPictoraResources()
{
    Q_INIT_RESOURCE(pictora);
}

namespace pictora::ui
{

void initResources()
{
    static std::once_flag once;
    std::call_once(once, initPictoraResources);
}

} // namespace pictora::ui
