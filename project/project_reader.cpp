// SPDX-License-Identifier: MIT
#include "project/project_reader.h"

#include "album/conversions.h"
#include "album/cp932.h"
#include "album/errors.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace pictora::project
{

namespace
{

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "<BR>";

/// A joined text back as lines, each ended by CR LF ("a<BR>b" gives "a\r\nb\r\n", "" gives "\r\n").
std::string splitJoined(std::string_view joined)
{
    std::string out;
    out.reserve(joined.size() + 2);
    for (;;) {
        const auto at = joined.find(kLineBreak);
        out += joined.substr(0, at);
        out += "\r\n";
        if (at == std::string_view::npos)
            return out;
        joined.remove_prefix(at + kLineBreak.size());
    }
}

/// The text with every byte that starts no valid UTF-8 sequence replaced by U+FFFD, so that text in
/// memory is always UTF-8 whatever the file held.
std::string validUtf8(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const auto lead = static_cast<unsigned char>(raw[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead >= 0xC2 && lead <= 0xDF)   ? 2
            : (lead >= 0xE0 && lead <= 0xEF)   ? 3
            : (lead >= 0xF0 && lead <= 0xF4)   ? 4
                                               : 0;
        bool valid = length > 0 && i + length <= raw.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(raw[i + k]) & 0xC0) == 0x80;
        if (valid && length >= 3) {
            // No overlong forms, no surrogates, nothing above U+10FFFF.
            const auto second = static_cast<unsigned char>(raw[i + 1]);
            valid = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second > 0x9F)
                && !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second > 0x8F);
        }
        if (valid) {
            out.append(raw.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

/// Stops the reader where the file fails; caught in parseProject.
struct Stop {
};

class Reader
{
public:
    Reader(std::string_view bytes, const std::string &path, const PictureExists &exists, ProjectContents &out)
        : m_path(path)
        , m_exists(exists)
        , m_out(out)
    {
        if (bytes.starts_with(kByteOrderMark)) {
            m_out.utf8 = true;
            bytes.remove_prefix(kByteOrderMark.size());
        }
        m_lines = splitLines(bytes);
    }

    void run()
    {
        const auto version = versionOfHeader(line(0));
        if (!version)
            fail(LoadFailure::UnsupportedVersion, 0, unsupportedVersionMessage(m_path));
        m_out.version = version;
        // Each header is sought after the last value line read: a text that reads like the next
        // header ("[Cells]" as a button's address) is a value, not the header.
        std::size_t from = 1;
        for (const auto &section : projectLayout(*version)) {
            const std::size_t header = find(section.header, from);
            for (const auto &field : section.fields) {
                const std::size_t at = header + static_cast<std::size_t>(field.offset);
                switch (field.kind) {
                case FieldKind::Option:
                    readOption(field.option, at);
                    break;
                case FieldKind::EntryCount:
                    m_entryCount = integer(at);
                    break;
                case FieldKind::Entries:
                    readEntries(at);
                    break;
                }
                from = at + 1;
            }
        }
    }

private:
    [[noreturn]] void fail(LoadFailure failure, std::size_t at, std::string message)
    {
        m_out.failure = failure;
        m_out.errorLine = at;
        m_out.error = std::move(message);
        throw Stop {};
    }

    std::string where(std::size_t at) const { return m_path + "\nの " + std::to_string(at + 1) + " 行目"; }

    std::string_view line(std::size_t at)
    {
        if (at >= m_lines.size())
            fail(LoadFailure::PastEnd, at, where(at) + "がありません(ファイルが途中で終わっています)。");
        return m_lines[at];
    }

    std::string text(std::size_t at)
    {
        const std::string_view raw = line(at);
        return m_out.utf8 ? validUtf8(raw) : album::cp932::decodeLenient(raw);
    }

    int integer(std::size_t at)
    {
        const std::string value = text(at);
        try {
            return album::toInteger(value);
        } catch (const album::ConversionError &e) {
            fail(LoadFailure::NotInteger, at, where(at) + ": " + e.what());
        }
    }

    std::size_t find(std::string_view header, std::size_t from)
    {
        for (std::size_t at = from; at < m_lines.size(); ++at) {
            if (m_lines[at] == header)
                return at;
        }
        fail(LoadFailure::MissingHeader,
            m_lines.size(),
            m_path + "\nに " + std::string(header) + " の行が見つかりません。");
    }

    void set(album::OptionId id, album::OptionValue value)
    {
        LoadStep step;
        step.option = id;
        step.value = std::move(value);
        m_out.steps.push_back(std::move(step));
    }

    void readOption(album::OptionId id, std::size_t at)
    {
        using K = album::OptionKind;
        const auto &decl = album::optionDecl(id);
        switch (decl.kind) {
        case K::Text:
        case K::NumberText:
        case K::ChoiceText:
            set(id, text(at));
            return;
        case K::Memo:
            set(id, splitJoined(text(at)));
            return;
        case K::Spin:
        case K::Slider:
            set(id, integer(at));
            return;
        case K::Check:
            set(id, integer(at) != 0);
            return;
        case K::Choice: {
            const int n = integer(at);
            if (decl.buttons.size() == 2)
                set(id, n != 0 ? 0 : 1); // the state of the first button
            else if (n >= decl.minimum && n <= decl.maximum)
                set(id, n);
            // Any other number leaves the group as it was.
            return;
        }
        case K::Colour:
            set(id, album::ColorToHexText(static_cast<std::uint32_t>(integer(at))));
            return;
        }
    }

    void readEntries(std::size_t first)
    {
        // Every entry takes three lines, whether it is kept or skipped.
        for (int i = 0; i < m_entryCount; ++i) {
            const std::size_t at = first + 3 * static_cast<std::size_t>(i);
            LoadStep step;
            step.entry.path = text(at);
            const std::string found = findPicture(m_path, step.entry.path, m_exists);
            if (found.empty()) {
                step.kind = LoadStep::Kind::MissingPicture;
                m_out.steps.push_back(std::move(step));
                continue;
            }
            step.entry.path = found;
            // Both remaining lines are read before the entry counts, so a cut file never leaves half an
            // entry.
            step.entry.comment = splitJoined(text(at + 1));
            step.entry.timeStamp = text(at + 2);
            step.kind = LoadStep::Kind::Entry;
            m_out.steps.push_back(std::move(step));
        }
    }

    const std::string &m_path;
    const PictureExists &m_exists;
    ProjectContents &m_out;
    std::vector<std::string_view> m_lines;
    int m_entryCount = 0;
};

std::string appendLines(const std::string &memo, const std::string &lines)
{
    if (memo.empty() || memo.ends_with("\r\n"))
        return memo + lines;
    return memo + "\r\n" + lines;
}

} // namespace

bool pictureFileExists(const std::string &path)
{
    // A name with a NUL would be cut short by the system and could name another file.
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

std::string missingPictureMessage(const std::string &path)
{
    return path + "\nが見つかりません。リストから削除します。";
}

std::string unsupportedVersionMessage(const std::string &path)
{
    return path + "\nは対応していないバージョンのプロジェクトファイルです。";
}

std::vector<std::string_view> splitLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n')
            ++start;
    }
    return lines;
}

std::string findPicture(
    const std::string &projectPath, const std::string &picture, const PictureExists &exists)
{
    if (exists(picture))
        return picture;
    // A relative path that leads nowhere from the working folder may still name a picture beside the
    // project file, as a project moved or shared together with its pictures has it.
    if (picture.empty() || picture.front() == '/')
        return {};
    std::error_code ec;
    const std::filesystem::path beside
        = std::filesystem::absolute(std::filesystem::path(projectPath).parent_path() / picture, ec);
    if (ec)
        return {};
    const std::string normal = beside.lexically_normal().string();
    return exists(normal) ? normal : std::string();
}

ProjectContents parseProject(std::string_view bytes, const std::string &path, const PictureExists &exists)
{
    ProjectContents contents;
    try {
        Reader reader(bytes, path, exists, contents);
        reader.run();
    } catch (const Stop &) {
        if (contents.failure == LoadFailure::UnsupportedVersion)
            contents.steps.clear();
    }
    return contents;
}

ProjectContents readProjectFile(const std::string &path, const PictureExists &exists)
{
    const auto unreadable = [&path](const std::string &reason) {
        ProjectContents contents;
        contents.failure = LoadFailure::Unreadable;
        contents.error = path + "\nを開けません。\n(" + reason + ")";
        return contents;
    };
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return unreadable("ファイルがありません");
    if (status.type() == std::filesystem::file_type::directory)
        return unreadable("フォルダーです");
    if (ec)
        return unreadable(ec.message());
    if (status.type() != std::filesystem::file_type::regular)
        return unreadable("通常のファイルではありません");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return unreadable(std::generic_category().message(errno));
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return unreadable(std::generic_category().message(errno));
    return parseProject(bytes, path, exists);
}

void applyStep(const LoadStep &step, const LoadTarget &target)
{
    switch (step.kind) {
    case LoadStep::Kind::Option: {
        const auto &decl = album::optionDecl(step.option);
        if (decl.kind == album::OptionKind::Memo)
            target.editor.set(step.option,
                appendLines(target.settings.text(step.option), std::get<std::string>(step.value)));
        else if (decl.effects & album::kCellLimit)
            // Without its limit the cell size has no change effect, so storing it is the whole change.
            target.settings.store(step.option, step.value);
        else
            target.editor.set(step.option, step.value);
        return;
    }
    case LoadStep::Kind::Entry:
        target.images.push_back(step.entry);
        return;
    case LoadStep::Kind::MissingPicture:
        target.prompts.inform(album::PromptKind::Warning, missingPictureMessage(step.entry.path));
        return;
    }
}

bool applyProject(const ProjectContents &contents, const LoadTarget &target)
{
    for (const auto &step : contents.steps)
        applyStep(step, target);
    switch (contents.failure) {
    case LoadFailure::None:
        return true;
    case LoadFailure::UnsupportedVersion:
        target.prompts.inform(album::PromptKind::Error, contents.error);
        return false;
    default:
        throw album::UserError(contents.error);
    }
}

bool LoadProject(const std::string &path, const LoadTarget &target, const PictureExists &exists)
{
    return applyProject(readProjectFile(path, exists), target);
}

} // namespace pictora::project
