// SPDX-License-Identifier: MIT
#pragma once

#include "generate/make_album.h"

#include <string>

namespace pictora::test
{

/// A run's platform for suites that neither trash nor open anything: a trash always fails.
struct NoPlatform final : generate::RunPlatform {
    bool moveToTrash(const std::string &) override { return false; }
    void openDocument(const std::string &) override { }
};

} // namespace pictora::test
