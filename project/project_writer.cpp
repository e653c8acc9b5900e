// SPDX-License-Identifier: MIT
#include "project/project_writer.h"

#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"
#include "project/layout.h"

#include <cassert>
#include <climits>

namespace pictora::project
{

namespace
{

constexpr std::string_view kLineBreak = "<BR>";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool holdsLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

const std::string &singleLine(const std::string &text, const std::string &what)
{
    if (holdsLineBreak(text))
        throw base::UserError(what + "に改行が含まれているため、プロジェクトファイルに保存できません。");
    return text;
}

std::string optionLine(const album::AlbumSettings &settings, album::OptionId id)
{
    using K = album::OptionKind;
    const auto &decl = album::optionDecl(id);
    switch (decl.kind) {
    case K::Text:
    case K::NumberText:
    case K::ChoiceText:
        return singleLine(
            settings.text(id), "「" + std::string(decl.caption) + "」(" + std::string(decl.control) + ")");
    case K::Memo:
        return joinLines(settings.text(id));
    case K::Spin:
    case K::Slider:
        return std::to_string(settings.number(id));
    case K::Check:
        return settings.checked(id) ? "1" : "0";
    case K::Choice:
        // A pair is stored as the state of its first button; a group of three as the index.
        if (decl.buttons.size() == 2)
            return settings.number(id) == 0 ? "1" : "0";
        return std::to_string(settings.number(id));
    case K::Colour:
        return std::to_string(settings.swatch(id));
    }
    return {};
}

/// The path as a message can show it: a byte that is no UTF-8 character, or a control character,
/// becomes "?".
std::string shownPath(std::string_view path)
{
    std::string shown;
    for (std::size_t i = 0; i < path.size();) {
        std::size_t length = 1;
        while (length < 4 && i + length < path.size() && !base::cp932::isUtf8(path.substr(i, length)))
            ++length;
        const std::string_view character = path.substr(i, length);
        const auto lead = static_cast<unsigned char>(path[i]);
        if (base::cp932::isUtf8(character) && lead >= 0x20 && lead != 0x7F) {
            shown.append(character);
            i += length;
        } else {
            shown += '?';
            ++i;
        }
    }
    return shown;
}

} // namespace

std::optional<std::string> unstorablePathMessage(const std::string &path)
{
    const std::string shown = "「" + shownPath(path) + "」\n";
    if (!base::cp932::isUtf8(path))
        return shown
            + "のファイル名は文字として読めないバイトを含むため、プロジェクトに入れられません。\n"
              "ファイル名を変えてから、もう一度追加してください。";
    if (holdsLineBreak(path))
        return shown
            + "のファイル名に改行が含まれているため、プロジェクトに入れられません。\n"
              "ファイル名から改行を除いてから、もう一度追加してください。";
    // The system finds no file by a longer path, however it was made.
    if (path.size() >= PATH_MAX)
        return shown + "のパスが長すぎるため(" + std::to_string(PATH_MAX - 1)
            + " バイトまで)"
              "、プロジェクトに入れられません。\n短いパスのフォルダに移してから、もう一度追加してください。";
    return std::nullopt;
}

std::string joinLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            // CR LF, a lone LF and a lone CR are each one break: a raw CR would split the line on reading.
            out += kLineBreak;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    // Breaks and blanks at the end go in turns, so that a last line of blanks leaves no break behind
    // and a saved, loaded and saved text stays the same.
    for (;;) {
        if (out.ends_with(kLineBreak))
            out.resize(out.size() - kLineBreak.size());
        else if (!out.empty() && static_cast<unsigned char>(out.back()) <= 32)
            out.pop_back();
        else
            return out;
    }
}

std::vector<std::string> projectFileLines(
    const album::AlbumSettings &settings, const std::vector<album::ImageEntry> &images)
{
    std::vector<std::string> lines;
    const ProjectVersion version = versionToWrite(settings);
    lines.reserve(90 + 3 * images.size());
    lines.emplace_back(versionHeader(version));
    for (const auto &section : projectLayout(version)) {
        lines.emplace_back();
        lines.emplace_back(section.header);
        [[maybe_unused]] const std::size_t headerLine = lines.size() - 1;
        for (const auto &field : section.fields) {
            // The current layout has no gaps: every value line follows the previous one.
            assert(static_cast<std::size_t>(field.offset) == lines.size() - headerLine);
            switch (field.kind) {
            case FieldKind::Option:
                lines.push_back(optionLine(settings, field.option));
                break;
            case FieldKind::EntryCount:
                lines.push_back(std::to_string(images.size()));
                break;
            case FieldKind::Entries:
                for (std::size_t i = 0; i < images.size(); ++i) {
                    const auto &entry = images[i];
                    const std::string which = "画像リストの " + std::to_string(i + 1) + " 番目の";
                    if (holdsLineBreak(entry.path))
                        throw base::UserError(*unstorablePathMessage(entry.path));
                    lines.push_back(entry.path);
                    lines.push_back(joinLines(entry.comment));
                    lines.push_back(singleLine(entry.timeStamp, which + "タイムスタンプ"));
                }
                break;
            }
        }
    }
    return lines;
}

std::string projectFileBytes(
    const album::AlbumSettings &settings, const std::vector<album::ImageEntry> &images)
{
    std::string text;
    for (const auto &line : projectFileLines(settings, images)) {
        text += line;
        text += "\r\n";
    }
    if (auto bytes = base::cp932::encode(text))
        return *bytes;
    // Some text would come back as a different one from CP932 (a path with a yen sign or a wave
    // dash, say): keep every character, and make older readers refuse the file rather than misread it.
    return std::string(kByteOrderMark) + text;
}

void SaveProjectFile(const std::string &path,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &images)
{
    std::string bytes;
    try {
        bytes = projectFileBytes(settings, images);
    } catch (const base::UserError &e) {
        throw base::UserError(base::cannotWriteMessage(path, e.what()));
    }
    // A write-protected project is not silently replaced.
    base::writeFileAtomically(path, bytes, { .refuseWriteProtected = true });
}

} // namespace pictora::project
