// SPDX-License-Identifier: MIT
#include "project/project_reader.h"

#include "album/conversions.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"

#include <cerrno>
#include <filesystem>
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

/// The lines of a project file one after another (see splitLines), from memory or straight
/// from the file: only the line being read is held, never the whole file or a list of its lines.
class LineSource
{
public:
    explicit LineSource(std::string_view bytes)
        : m_pending(bytes)
    {
    }
    explicit LineSource(base::InputFile &file)
        : m_file(&file)
    {
    }

    /// The next line into `line`; false at the end of the file or when reading failed (see failure()).
    bool next(std::string &line)
    {
        line.clear();
        bool started = false;
        for (;;) {
            if (m_pending.empty() && !refill())
                return started && m_failure == LoadFailure::None;
            if (m_skipLf) {
                // The LF of a CR LF that two reads split: part of the line before.
                m_skipLf = false;
                if (m_pending.front() == '\n') {
                    m_pending.remove_prefix(1);
                    continue;
                }
            }
            started = true;
            const auto end = m_pending.find_first_of("\r\n");
            if (end == std::string_view::npos) {
                line.append(m_pending);
                m_pending = {};
                continue;
            }
            line.append(m_pending.substr(0, end));
            const bool cr = m_pending[end] == '\r';
            m_pending.remove_prefix(end + 1);
            if (cr && m_pending.empty())
                m_skipLf = true;
            else if (cr && m_pending.front() == '\n')
                m_pending.remove_prefix(1);
            return true;
        }
    }

    [[nodiscard]] LoadFailure failure() const { return m_failure; }
    [[nodiscard]] int readError() const { return m_readError; }

private:
    bool refill()
    {
        if (!m_file || m_failure != LoadFailure::None)
            return false;
        m_chunk.resize(kChunkSize);
        const long got = m_file->read(m_chunk.data(), m_chunk.size());
        if (got < 0) {
            m_readError = errno;
            m_failure = LoadFailure::Unreadable;
            return false;
        }
        m_total += static_cast<std::size_t>(got);
        // The size was checked on opening; a file that grows past the limit meanwhile is refused too.
        if (m_total > kMaxProjectBytes) {
            m_failure = LoadFailure::TooLarge;
            return false;
        }
        m_pending = std::string_view(m_chunk.data(), static_cast<std::size_t>(got));
        return got > 0;
    }

    static constexpr std::size_t kChunkSize = 64 * 1024;
    base::InputFile *m_file = nullptr;
    std::string m_chunk;
    std::string_view m_pending;
    std::size_t m_total = 0;
    bool m_skipLf = false;
    LoadFailure m_failure = LoadFailure::None;
    int m_readError = 0;
};

class Reader
{
public:
    Reader(LineSource &source, const std::string &path, const PictureExists &exists, ProjectContents &out)
        : m_source(source)
        , m_path(path)
        , m_exists(exists)
        , m_out(out)
    {
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
                    if (m_entryCount > static_cast<int>(kMaxProjectEntries))
                        fail(LoadFailure::TooLarge,
                            at,
                            base::cannotOpenMessage(m_path,
                                "画像が " + std::to_string(kMaxProjectEntries) + " 枚を超えています"));
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

    /// Reads on to line `at` (lines are read in file order only); false when the file ends first.
    bool reach(std::size_t at)
    {
        while (m_count <= at) {
            if (!m_source.next(m_current)) {
                if (m_source.failure() == LoadFailure::TooLarge)
                    fail(LoadFailure::TooLarge, m_count, tooLargeMessage(m_path));
                if (m_source.failure() == LoadFailure::Unreadable)
                    fail(LoadFailure::Unreadable,
                        m_count,
                        base::cannotReadMessage(m_path, m_source.readError()));
                return false;
            }
            if (m_count == 0 && std::string_view(m_current).starts_with(kByteOrderMark)) {
                m_out.utf8 = true;
                m_current.erase(0, kByteOrderMark.size());
            }
            ++m_count;
        }
        return at + 1 == m_count;
    }

    std::string_view line(std::size_t at)
    {
        if (!reach(at))
            fail(LoadFailure::PastEnd, at, where(at) + "がありません(ファイルが途中で終わっています)。");
        return m_current;
    }

    std::string text(std::size_t at)
    {
        const std::string_view raw = line(at);
        try {
            return m_out.utf8 ? validUtf8(raw) : base::cp932::decodeLenient(raw);
        } catch (const base::UserError &e) {
            // Not the file's fault: say what stopped the reading rather than misread its lines.
            fail(LoadFailure::Unreadable, at, m_path + "\nを読み込めません。\n" + e.what());
        }
    }

    int integer(std::size_t at)
    {
        const std::string value = text(at);
        try {
            return album::toInteger(value);
        } catch (const base::ConversionError &e) {
            fail(LoadFailure::NotInteger, at, where(at) + ": " + e.what());
        }
    }

    std::size_t find(std::string_view header, std::size_t from)
    {
        for (std::size_t at = from; reach(at); ++at) {
            if (m_current == header)
                return at;
        }
        fail(LoadFailure::MissingHeader,
            m_count,
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

    LineSource &m_source;
    const std::string &m_path;
    const PictureExists &m_exists;
    ProjectContents &m_out;
    std::string m_current; ///< the line m_count - 1
    std::size_t m_count = 0; ///< lines read so far
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

std::vector<std::string> splitLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    LineSource source(bytes);
    for (std::string line; source.next(line);)
        lines.push_back(line);
    return lines;
}

std::string findPicture(
    const std::string &projectPath, const std::string &picture, const PictureExists &exists)
{
    if (picture.empty())
        return {};
    if (picture.front() == '/')
        return exists(picture) ? picture : std::string();
    // A relative path names a picture beside the project file, as a project moved or shared together
    // with its pictures has it; never one that happens to lie so beside the working folder.
    std::error_code ec;
    const std::filesystem::path beside
        = std::filesystem::absolute(std::filesystem::path(projectPath).parent_path() / picture, ec);
    if (ec)
        return {};
    const std::string normal = beside.lexically_normal().string();
    return exists(normal) ? normal : std::string();
}

namespace
{

ProjectContents parse(LineSource &source, const std::string &path, const PictureExists &exists)
{
    ProjectContents contents;
    try {
        Reader reader(source, path, exists, contents);
        reader.run();
    } catch (const Stop &) {
        // A file refused as a whole applies nothing.
        if (contents.failure == LoadFailure::UnsupportedVersion || contents.failure == LoadFailure::TooLarge
            || contents.failure == LoadFailure::Unreadable)
            contents.steps.clear();
    }
    return contents;
}

} // namespace

ProjectContents parseProject(std::string_view bytes, const std::string &path, const PictureExists &exists)
{
    LineSource source(bytes);
    return parse(source, path, exists);
}

ProjectContents readProjectFile(const std::string &path, const PictureExists &exists)
{
    const auto refused = [&path](LoadFailure failure, std::string message) {
        ProjectContents contents;
        contents.failure = failure;
        contents.error = std::move(message);
        return contents;
    };
    // Opened only when it is a regular file: a FIFO or a device would keep the program waiting.
    base::InputFile in(path);
    if (!in.isOpen())
        return refused(LoadFailure::Unreadable, base::cannotOpenMessage(path, in.failure()));
    if (in.size() > kMaxProjectBytes)
        return refused(LoadFailure::TooLarge, tooLargeMessage(path));
    LineSource source(in);
    return parse(source, path, exists);
}

std::string tooLargeMessage(const std::string &path)
{
    return base::cannotOpenMessage(
        path, "ファイルが " + std::to_string(kMaxProjectBytes / (1024 * 1024)) + " MB を超えています");
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
        throw base::UserError(contents.error);
    }
}

bool LoadProject(const std::string &path, const LoadTarget &target, const PictureExists &exists)
{
    return applyProject(readProjectFile(path, exists), target);
}

} // namespace pictora::project
