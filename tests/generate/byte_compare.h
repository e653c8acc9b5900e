// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace pictora::test
{

/// Bytes around an offset, with everything outside printable ASCII as \xNN.
inline std::string byteContext(const std::string &bytes, std::size_t offset)
{
    const std::size_t from = offset > 24 ? offset - 24 : 0;
    const std::size_t to = std::min(bytes.size(), offset + 24);
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (i == offset)
            out += "[>]";
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

/// Equal bytes, or a failure naming the first offset where they differ.
inline ::testing::AssertionResult sameBytes(const std::string &expected, const std::string &actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto offset = static_cast<std::size_t>(diff.first - expected.begin());
    return ::testing::AssertionFailure() << "first difference at offset " << offset << " (expected "
                                         << expected.size() << " bytes, got " << actual.size() << ")\n"
                                         << "  expected: " << byteContext(expected, offset) << "\n"
                                         << "  actual:   " << byteContext(actual, offset);
}

} // namespace pictora::test
