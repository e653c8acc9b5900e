// SPDX-License-Identifier: MIT
#include "app/setting_values.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <ostream>
#include <vector>

namespace pictora::app
{

using album::OptionDecl;
using album::OptionKind;

namespace
{

std::string_view kindName(OptionKind kind)
{
    switch (kind) {
    case OptionKind::Text:
        return "text";
    case OptionKind::NumberText:
        return "number text";
    case OptionKind::Spin:
        return "spin";
    case OptionKind::Check:
        return "check";
    case OptionKind::Choice:
        return "choice";
    case OptionKind::Slider:
        return "slider";
    case OptionKind::ChoiceText:
        return "drop-down";
    case OptionKind::Memo:
        return "memo";
    case OptionKind::Colour:
        return "colour";
    }
    return {};
}

std::optional<int> wholeNumber(std::string_view text)
{
    int n = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, n);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return n;
}

bool isColourText(std::string_view text)
{
    return text.size() == 6
        && std::ranges::all_of(text, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::string joinChoices(std::span<const std::string_view> items)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " or " : ", ";
        text += items[i];
    }
    return text;
}

/// A memo holds its lines separated by CR LF, whatever line ends the argument had.
std::string memoLines(std::string_view text)
{
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines += "\r\n";
        } else {
            lines += text[i];
        }
    }
    return lines;
}

std::optional<album::OptionValue> parseValue(const OptionDecl &decl, std::string_view text)
{
    switch (decl.kind) {
    case OptionKind::Text:
        if (text.find_first_of("\r\n") != std::string_view::npos)
            return std::nullopt;
        return std::string(text);
    case OptionKind::Memo:
        return memoLines(text);
    case OptionKind::NumberText:
        if (!wholeNumber(text))
            return std::nullopt;
        return std::string(text);
    case OptionKind::Spin:
    case OptionKind::Slider:
        if (const auto n = wholeNumber(text))
            return *n;
        return std::nullopt;
    case OptionKind::Check:
        if (text == "true" || text == "false")
            return text == "true";
        return std::nullopt;
    case OptionKind::Choice: {
        const auto it = std::ranges::find(decl.buttons, text);
        if (it == decl.buttons.end())
            return std::nullopt;
        return static_cast<int>(it - decl.buttons.begin());
    }
    case OptionKind::ChoiceText:
        if (!decl.buttons.empty() && std::ranges::find(decl.buttons, text) == decl.buttons.end())
            return std::nullopt;
        return std::string(text);
    case OptionKind::Colour:
        if (!isColourText(text))
            return std::nullopt;
        return std::string(text);
    }
    return std::nullopt;
}

/// Columns on a terminal: a Japanese character (three bytes in UTF-8) takes two.
std::size_t displayWidth(std::string_view text)
{
    std::size_t width = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            width += 1;
        else if (byte >= 0xE0)
            width += 2;
        else if (byte >= 0xC0)
            width += 1;
    }
    return width;
}

} // namespace

std::string acceptedValues(const OptionDecl &decl)
{
    switch (decl.kind) {
    case OptionKind::Text:
        return "one line of text";
    case OptionKind::Memo:
        return "text of several lines";
    case OptionKind::NumberText:
        if (decl.maximum > decl.minimum)
            return "a whole number, " + std::to_string(decl.minimum) + " to " + std::to_string(decl.maximum);
        return "a whole number";
    case OptionKind::Spin:
    case OptionKind::Slider: {
        std::string range
            = "a whole number, " + std::to_string(decl.minimum) + " to " + std::to_string(decl.maximum);
        if (decl.limitedBy)
            range += ", at most " + std::string(album::optionDecl(*decl.limitedBy).control);
        return range;
    }
    case OptionKind::Check:
        return "true or false";
    case OptionKind::Choice:
    case OptionKind::ChoiceText:
        return decl.buttons.empty() ? "text" : joinChoices(decl.buttons);
    case OptionKind::Colour:
        return "RRGGBB (six hexadecimal digits)";
    }
    return {};
}

std::string valueText(const OptionDecl &decl, const album::OptionValue &value)
{
    if (const auto *text = std::get_if<std::string>(&value)) {
        std::string shown;
        for (const char c : *text)
            shown += c == '\r' ? std::string() : c == '\n' ? std::string("\\n") : std::string(1, c);
        return shown;
    }
    if (const auto *checked = std::get_if<bool>(&value))
        return *checked ? "true" : "false";
    const int n = std::get<int>(value);
    if (decl.kind == OptionKind::Choice)
        return n >= 0 && static_cast<std::size_t>(n) < decl.buttons.size() ? std::string(decl.buttons[n])
                                                                           : std::string("(none)");
    return std::to_string(n);
}

std::optional<SettingAssignment> parseSetting(std::string_view assignment, std::string &error)
{
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        error = "--set needs NAME=VALUE, not \"" + std::string(assignment) + "\"";
        return std::nullopt;
    }
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view text = assignment.substr(equals + 1);
    const auto id = album::findOption(name);
    if (!id) {
        error = "no option is named " + std::string(name) + " (--list-options lists them)";
        return std::nullopt;
    }
    const OptionDecl &decl = album::optionDecl(*id);
    auto value = parseValue(decl, text);
    if (!value) {
        error
            = std::string(name) + " accepts " + acceptedValues(decl) + ", not \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    return SettingAssignment { *id, std::move(*value) };
}

void writeOptionList(std::ostream &out)
{
    const std::array<std::string, 6> headings { "NAME", "KIND", "ACCEPTS", "START", "SAVED", "CAPTION" };
    std::vector<std::array<std::string, 6>> rows;
    for (const auto &decl : album::optionTable()) {
        rows.push_back({ std::string(decl.control),
            std::string(kindName(decl.kind)),
            acceptedValues(decl),
            decl.start == album::OptionValue(std::string()) ? std::string("\"\"")
                                                            : valueText(decl, decl.start),
            decl.saved ? "yes" : "no",
            std::string(decl.caption) });
    }
    // Every column but the last (captions are Japanese, of varying width) is padded to its widest.
    std::array<std::size_t, 6> width {};
    for (std::size_t c = 0; c + 1 < width.size(); ++c) {
        width[c] = displayWidth(headings[c]);
        for (const auto &row : rows)
            width[c] = std::max(width[c], displayWidth(row[c]));
    }
    auto write = [&](const std::array<std::string, 6> &row) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(width[c] - displayWidth(row[c]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out << line << "\n";
    };
    write(headings);
    for (const auto &row : rows)
        write(row);
}

} // namespace pictora::app
