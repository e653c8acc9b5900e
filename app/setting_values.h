// SPDX-License-Identifier: MIT
#pragma once

#include "album/settings.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

/// Album options as the command line names them: "NAME=VALUE" by the control's name, read and
/// described from the option table alone.
namespace pictora::app
{

struct SettingAssignment {
    album::OptionId id = album::OptionId::Count;
    album::OptionValue value;
};

/// Reads "NAME=VALUE": a check box takes true or false, a choice the name of one of its buttons,
/// a drop-down one of its items, a colour RRGGBB, a number a whole number (a spin or slider value
/// beyond its range is pulled in by the settings, as in the window). Returns nullopt and sets
/// `error` (naming the option and what it accepts) for anything else.
[[nodiscard]] std::optional<SettingAssignment> parseSetting(std::string_view assignment, std::string &error);

/// What an option accepts, e.g. "0 to 64", "rbL or rbS", "true or false".
[[nodiscard]] std::string acceptedValues(const album::OptionDecl &decl);
/// A value as the command line writes it (the inverse of parseSetting).
[[nodiscard]] std::string valueText(const album::OptionDecl &decl, const album::OptionValue &value);

/// The option table: name, kind, accepted values, start value, whether projects keep it, caption.
void writeOptionList(std::ostream &out);

} // namespace pictora::app
