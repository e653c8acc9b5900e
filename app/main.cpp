// SPDX-License-Identifier: MIT
#include "album/branding.h"

#include <cstdio>

int main()
{
    std::printf("Pictora %s\n", pictora::branding::kVersion);
    return 0;
}
