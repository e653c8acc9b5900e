// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

/// Shift_JIS (code page 932) at the file boundary; text in memory is UTF-8.
///
/// A character "fits" CP932 only when its bytes decode back to the same character: glibc maps
/// U+00A5 (yen) to 0x5C, the backslash, and U+301C (wave dash) to the code of U+FF5E, so a plain
/// "conversion succeeded" would silently change such text.
namespace pictora::base::cp932
{

/// Whether the bytes are valid UTF-8 (what every text in memory must be).
[[nodiscard]] bool isUtf8(std::string_view bytes);

/// Whether every character of the UTF-8 text survives a trip through CP932.
[[nodiscard]] bool fits(std::string_view utf8);

/// Encodes UTF-8 text; a character that does not fit is written as the reference "&#N;" (N decimal).
/// Bytes that are not valid UTF-8 are written as "&#65533;".
[[nodiscard]] std::string encodeWithReferences(std::string_view utf8);

/// Encodes UTF-8 text; nullopt when some character does not fit.
[[nodiscard]] std::optional<std::string> encode(std::string_view utf8);

/// Decodes CP932 bytes; nullopt when they are not valid CP932.
[[nodiscard]] std::optional<std::string> decode(std::string_view bytes);

/// Decodes CP932 bytes; each byte that starts no valid character becomes U+FFFD.
[[nodiscard]] std::string decodeLenient(std::string_view bytes);

} // namespace pictora::base::cp932
