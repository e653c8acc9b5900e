// SPDX-License-Identifier: MIT
#include "app/cli.h"

#include "album/branding.h"
#include "album/image_list.h"
#include "album/picture_files.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "album/time_shift.h"
#include "app/picture_folder.h"
#include "app/setting_values.h"
#include "app/terminal_progress.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"
#include "generate/make_album.h"
#include "imaging/capture_time.h"
#include "project/layout.h"
#include "project/project_file.h"
#include "shell/platform_services.h"

#include <QCommandLineParser>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <unistd.h>

namespace pictora::app
{

using album::Answer;
using album::OptionId;
using album::PromptKind;
using album::Question;

namespace
{

enum class Group { Command, Setting, Answer, Run };

/// One option of the command line: what the parser, --help and the man page are made from.
struct CliOption {
    const char *name; ///< a single letter is a short option
    const char *value; ///< the value's placeholder; nullptr for a flag
    Group group;
    const char *help;
};

constexpr CliOption kOptions[] = {
    { "new",
        "PROJECT.pxa",
        Group::Command,
        "write a new project of the pictures and folders that follow, in name order, each with its "
        "file name as comment and its capture time stamp; an existing file is replaced only with --yes" },
    { "add",
        "PROJECT.pxa",
        Group::Command,
        "append the pictures and folders that follow to the project, as --new does" },
    { "shift-time",
        "PROJECT.pxa",
        Group::Command,
        "move the time stamps of the project's pictures by the OFFSET that follows, in days, hours "
        "and minutes with a sign (+1h30m, -2d, +1d12h, -45m; a negative one after --, as in "
        "--shift-time my.pxa -- -1h), across midnight, month and year ends; for a camera whose clock "
        "was off. Stamps that are no date are left as they are and named" },
    { "make", "PROJECT.pxa", Group::Command, "make the album of the project" },
    { "rebuild",
        "PROJECT.pxa",
        Group::Command,
        "rewrite the pages and the style sheet of an album made before; no picture is written" },
    { "list-options",
        nullptr,
        Group::Command,
        "list every album option --set knows: name, kind, accepted values, start value, whether "
        "projects keep it, caption" },
    { "help", nullptr, Group::Command, "print this help" },
    { "version",
        nullptr,
        Group::Command,
        "print the program's version and the project file version it writes" },
    { "title", "TEXT", Group::Setting, "the album title (edTitle), which every album needs" },
    { "set",
        "NAME=VALUE",
        Group::Setting,
        "set an album option by its name, as the window does (repeatable): a check box takes true or "
        "false, a choice the name of its button (rbL=rbS), a colour RRGGBB; see --list-options" },
    { "out", "DIR", Group::Setting, "the output folder (edHTMLPath)" },
    { "author",
        "ADDRESS",
        Group::Setting,
        "the author address; without it the author question is asked (--yes answers it with the "
        "support address)" },
    { "no-slideshow", nullptr, Group::Setting, "write no slideshow pages (cbMakeSlide=false)" },
    { "use-originals",
        nullptr,
        Group::Setting,
        "the pages show the source pictures themselves (cbMainOrigin=true)" },
    { "no-maker-link", nullptr, Group::Setting, "leave out the link to the maker's page (ViewTavuri=false)" },
    { "save",
        nullptr,
        Group::Setting,
        "with --make or --rebuild: once the run is done, write the settings given back into the project; "
        "without it the project file is left as it is" },
    { "only",
        "PATTERN",
        Group::Setting,
        "with --shift-time: only the pictures whose file name matches the pattern (* and ?, as in "
        "'DSC_*'; letter case counts)" },
    { "sort-by-time",
        nullptr,
        Group::Setting,
        "with --shift-time: then put the pictures in the order of their time stamps" },
    { "html-folder", nullptr, Group::Answer, "make the album in an html folder inside the output folder" },
    { "no-html-folder", nullptr, Group::Answer, "make the album directly in the output folder" },
    { "yes",
        nullptr,
        Group::Answer,
        "answer Yes/OK to: create a missing output folder, overwrite an existing cover page, move an "
        "existing html folder to the Trash (then go on making), replace an existing project (--new)" },
    { "open", nullptr, Group::Run, "open the cover page in the browser when done" },
    { "full",
        nullptr,
        Group::Run,
        "with --make: encode every main picture and thumbnail again. Without it, a make into an album "
        "made before leaves alone each one that an earlier make wrote there and that nobody touched "
        "since (same size, times and inode), when its source is unchanged (same file, size and times) "
        "and every setting that decides its bytes (sizes, fit sides, quality, sampling, "
        "use-originals, resize) is the same: it would be written byte for byte again. What was "
        "written is recorded under $XDG_CACHE_HOME/pictora, never in the album" },
    { "j", "N", Group::Run, "picture workers (default: one per core)" },
    { "quiet", nullptr, Group::Run, "print only errors: no progress, no notes, no summary" },
};

constexpr const char *kUsageLines[] = {
    "pictora --new PROJECT.pxa PICTURE|FOLDER... [--title TEXT] [--set NAME=VALUE]...",
    "pictora --add PROJECT.pxa PICTURE|FOLDER...",
    "pictora --shift-time PROJECT.pxa OFFSET [--only PATTERN] [--sort-by-time]",
    "pictora --make PROJECT.pxa [options]",
    "pictora --rebuild PROJECT.pxa [options]",
    "pictora --list-options | --help | --version",
};

constexpr std::pair<int, const char *> kExitStatuses[] = {
    { kExitSuccess, "done" },
    { kExitError, "an error; its message is printed" },
    { kExitUnanswered,
        "a usage error, or a question without an answer among the options; nothing is written" },
    { kExitUnreadable,
        "--make or --rebuild wrote the album, but pictures could not be read: each is named with "
        "its reason as it comes, and all of them again at the end" },
    { 128 + SIGINT,
        "--make or --rebuild stopped by SIGINT (143: SIGTERM) once the pictures in flight were "
        "written; a second signal ends it at once" },
};

constexpr std::pair<Group, const char *> kGroupTitles[] = {
    { Group::Command, "Commands" },
    { Group::Setting, "Settings" },
    { Group::Answer, "Answers to the questions of a run" },
    { Group::Run, "Running" },
};

std::string optionSynopsis(const CliOption &option)
{
    std::string text = std::string(option.name).size() == 1 ? std::string("-") + option.name
                                                            : std::string("--") + option.name;
    if (option.value)
        text += std::string(" ") + option.value;
    return text;
}

/// Breaks a text into lines of at most `width` columns, each led by `indent` blanks.
std::string wrapped(const std::string &text, std::size_t indent, std::size_t width)
{
    std::string result;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            result += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty())
        result += std::string(indent, ' ') + line + "\n";
    return result;
}

/// The pictures the program reads, from the one table of picture files.
std::string picturesRead()
{
    std::string text;
    for (const album::PictureFileKind &kind : album::kPictureFileKinds) {
        std::string extensions = kind.extensions;
        std::ranges::replace(extensions, ';', ' ');
        text += (text.empty() ? "" : ", ") + std::string(kind.description) + " (" + extensions + ")";
    }
    return "Pictures read: " + text
        + ", the extension in any letter case; a HEIC's own rotation is applied, colours are turned "
          "into sRGB, and of a sequence the first picture is taken. Main pictures, thumbnails and the "
          "background are written as JPEG.";
}

std::string helpText()
{
    std::string text = "Usage:\n";
    for (const char *line : kUsageLines)
        text += std::string("  ") + line + "\n";
    for (const auto &[group, title] : kGroupTitles) {
        text += std::string("\n") + title + ":\n";
        for (const auto &option : kOptions) {
            if (option.group != group)
                continue;
            text += "  " + optionSynopsis(option) + "\n" + wrapped(option.help, 6, 100);
        }
    }
    text += "\n" + wrapped(picturesRead(), 0, 100);
    text += "\nExit status:\n";
    for (const auto &[status, meaning] : kExitStatuses)
        text += "  " + std::to_string(status) + "  " + meaning + "\n";
    return text;
}

std::string projectFileVersion(project::ProjectVersion version)
{
    // "[PictoraProject 0.2.13.0]" names its version after the blank.
    const std::string_view header = project::versionHeader(version);
    const auto blank = header.find(' ');
    return std::string(header.substr(blank + 1, header.size() - blank - 2));
}

std::string versionText()
{
    return std::string("Pictora ") + branding::kVersion + " (project files "
        + projectFileVersion(project::kCurrentVersion) + ", " + projectFileVersion(project::kNewestVersion)
        + " with the screen options)\n";
}

struct Options {
    enum class Command {
        Make,
        Rebuild,
        New,
        Add,
        ShiftTime,
        ListOptions,
        Help,
        Version
    } command
        = Command::Help;
    std::string project;
    std::vector<std::string> pictures;
    std::vector<SettingAssignment> settings; ///< in the order they are applied
    std::optional<bool> htmlFolder;
    bool yes = false;
    bool save = false;
    bool open = false;
    bool quiet = false;
    bool full = false;
    int workers = 0;
    long long shiftMinutes = 0; ///< --shift-time's offset
    std::string only; ///< --only's pattern
    bool sortByTime = false;

    [[nodiscard]] bool runs() const { return command == Command::Make || command == Command::Rebuild; }
    [[nodiscard]] bool writesProject() const { return command == Command::New || command == Command::Add; }
};

/// Thrown when a question has no answer among the options.
struct Unanswered {
    std::string question;
};

struct UsageError {
    std::string text;
};

std::string toStd(const QString &text)
{
    return text.toStdString();
}

/// The command line as QCommandLineParser read it, asked by option name.
class Arguments
{
public:
    explicit Arguments(const std::vector<std::string> &args)
    {
        for (const auto &option : kOptions) {
            QCommandLineOption parsed(QString::fromUtf8(option.name), QString::fromUtf8(option.help));
            if (option.value)
                parsed.setValueName(QString::fromUtf8(option.value));
            m_parser.addOption(parsed);
        }
        QStringList arguments { QStringLiteral("pictora") };
        for (const auto &a : args)
            arguments << QString::fromStdString(a);
        if (!m_parser.parse(arguments))
            throw UsageError { toStd(m_parser.errorText()) };
    }

    [[nodiscard]] bool given(const char *name) const { return m_parser.isSet(QString::fromUtf8(name)); }

    /// The value of an option that may be given once.
    [[nodiscard]] std::string single(const char *name) const
    {
        const QStringList values = m_parser.values(QString::fromUtf8(name));
        if (values.size() > 1)
            throw UsageError { (std::string(name).size() == 1 ? "-" : "--") + std::string(name)
                + " may be given once" };
        return toStd(values.value(0));
    }

    [[nodiscard]] std::vector<std::string> values(const char *name) const
    {
        std::vector<std::string> all;
        for (const auto &value : m_parser.values(QString::fromUtf8(name)))
            all.push_back(toStd(value));
        return all;
    }

    [[nodiscard]] std::vector<std::string> positional() const
    {
        std::vector<std::string> all;
        for (const auto &p : m_parser.positionalArguments())
            all.push_back(toStd(p));
        return all;
    }

private:
    QCommandLineParser m_parser;
};

/// The one command of the line, its project and its pictures.
void readCommand(const Arguments &line, Options &o)
{
    const std::pair<const char *, Options::Command> kCommands[] = {
        { "new", Options::Command::New },
        { "add", Options::Command::Add },
        { "shift-time", Options::Command::ShiftTime },
        { "make", Options::Command::Make },
        { "rebuild", Options::Command::Rebuild },
        { "list-options", Options::Command::ListOptions },
        { "help", Options::Command::Help },
        { "version", Options::Command::Version },
    };
    int commands = 0;
    const char *commandName = nullptr;
    for (const auto &[name, command] : kCommands) {
        if (line.given(name)) {
            ++commands;
            o.command = command;
            commandName = name;
        }
    }
    if (commands != 1)
        throw UsageError { commands == 0
                ? "nothing to do: give one of --new, --add, --make, --rebuild, --shift-time"
                : "give only one of --new, --add, --shift-time, --make, --rebuild, "
                  "--list-options, --help, --version" };
    const bool shifts = o.command == Options::Command::ShiftTime;
    if (o.runs() || o.writesProject() || shifts)
        o.project = line.single(commandName);

    o.pictures = line.positional();
    if (shifts) {
        const auto minutes
            = o.pictures.size() == 1 ? album::parseTimeOffset(o.pictures.front()) : std::nullopt;
        if (!minutes)
            throw UsageError { "--shift-time needs one offset such as +1h30m, -2d or +45m "
                               "(a negative one after --: --shift-time my.pxa -- -1h)" };
        o.shiftMinutes = *minutes;
        o.pictures.clear();
    }
    if (o.writesProject() && o.pictures.empty())
        throw UsageError { (o.command == Options::Command::New ? "--new" : "--add")
            + std::string(" needs at least one picture or folder") };
    if (!o.writesProject() && !o.pictures.empty())
        throw UsageError { "unexpected argument: " + o.pictures.front() };
}

/// The album settings in the order they are applied: the named options first, then every --set.
std::vector<SettingAssignment> readSettings(const Arguments &line)
{
    std::vector<SettingAssignment> settings;
    auto setting = [&settings](OptionId id, album::OptionValue value) {
        settings.push_back({ id, std::move(value) });
    };
    if (line.given("title")) {
        std::string error;
        const auto title = parseSetting("edTitle=" + line.single("title"), error);
        if (!title)
            throw UsageError { "--title is one line of text" };
        settings.push_back(*title);
    }
    if (line.given("out")) {
        // Kept as a full path, as the folder browser gives it, so the project works from any folder.
        std::string folder = std::filesystem::absolute(line.single("out")).lexically_normal().string();
        if (folder.size() > 1 && folder.ends_with('/'))
            folder.pop_back();
        setting(OptionId::edHTMLPath, folder);
    }
    if (line.given("author"))
        setting(OptionId::edRevMade, line.single("author"));
    if (line.given("no-slideshow"))
        setting(OptionId::cbMakeSlide, false);
    if (line.given("use-originals"))
        setting(OptionId::cbMainOrigin, true);
    if (line.given("no-maker-link"))
        setting(OptionId::ViewTavuri, false);
    for (const auto &assignment : line.values("set")) {
        std::string error;
        const auto parsed = parseSetting(assignment, error);
        if (!parsed)
            throw UsageError { error };
        settings.push_back(*parsed);
    }
    return settings;
}

/// The answers and run flags, each refused beside a command it does not go with.
void readRunFlags(const Arguments &line, Options &o)
{
    if (!o.settings.empty() && !o.runs() && !o.writesProject())
        throw UsageError { "settings go with --new, --add, --make or --rebuild" };
    o.save = line.given("save");
    if (o.save && !o.runs())
        throw UsageError { "--save goes with --make or --rebuild (--new and --add always write)" };
    if (line.given("html-folder") && line.given("no-html-folder"))
        throw UsageError { "give --html-folder or --no-html-folder, not both" };
    if (line.given("html-folder") || line.given("no-html-folder"))
        o.htmlFolder = line.given("html-folder");
    o.yes = line.given("yes");
    o.open = line.given("open");
    o.quiet = line.given("quiet");
    if ((o.htmlFolder || o.open || line.given("j")) && !o.runs())
        throw UsageError { "--html-folder, --no-html-folder, --open and -j go with --make or --rebuild" };
    const bool shifts = o.command == Options::Command::ShiftTime;
    if ((line.given("only") || line.given("sort-by-time")) && !shifts)
        throw UsageError { "--only and --sort-by-time go with --shift-time" };
    if (line.given("only"))
        o.only = line.single("only");
    o.sortByTime = line.given("sort-by-time");
    o.full = line.given("full");
    if (o.full && o.command != Options::Command::Make)
        throw UsageError { "--full goes with --make" };
    if (line.given("j")) {
        const std::string n = line.single("j");
        auto [ptr, ec] = std::from_chars(n.data(), n.data() + n.size(), o.workers);
        if (ec != std::errc() || ptr != n.data() + n.size() || o.workers < 1)
            throw UsageError { "-j needs a positive number of workers, not \"" + n + "\"" };
    }
}

Options parse(const std::vector<std::string> &args)
{
    const Arguments line(args);
    Options o;
    readCommand(line, o);
    o.settings = readSettings(line);
    readRunFlags(line, o);
    return o;
}

/// "<path>: 読み込めない画像です (<cause>)", the cause on one line without the path that leads it.
std::string unreadableLine(const std::string &path, const std::string &reason)
{
    std::string cause = reason.starts_with(path + ": ") ? reason.substr(path.size() + 2) : reason;
    for (char &c : cause) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    while (!cause.empty() && cause.back() == ' ')
        cause.pop_back();
    return path + ": 読み込めない画像です" + (cause.empty() ? "" : " (" + cause + ")");
}

void printMessage(std::ostream &err, const std::string &text)
{
    err << text;
    if (text.empty() || text.back() != '\n')
        err << "\n";
}

/// Answers the run's questions from the options; prints the messages to standard error.
class FlagPrompter final : public album::Prompter
{
public:
    FlagPrompter(const Options &options, std::ostream &err)
        : m_options(options)
        , m_err(err)
    {
    }

    Answer ask(const album::Prompt &prompt) override
    {
        if (prompt.buttons.size() == 1) {
            // Quiet runs keep what went wrong and drop what is only for information.
            if (!m_options.quiet || prompt.kind != PromptKind::Information) {
                printMessage(m_err, prompt.text);
                // An unreadable picture's details name its source, which the line below says too.
                if (!prompt.details.empty() && prompt.unreadableFile.empty())
                    printMessage(m_err, prompt.details);
            }
            if (!prompt.unreadableFile.empty()) {
                // The box names the album's picture; the user knows the picture by its own file.
                m_err << unreadableLine(prompt.unreadableFile, prompt.unreadableReason) << "\n";
                m_unreadable.push_back(prompt.unreadableFile);
            }
            if (prompt.question == Question::HtmlFolderTrashed)
                m_folderTrashed = true;
            return prompt.buttons.front();
        }
        const std::optional<Answer> answer = answerOf(prompt.question);
        if (!answer)
            throw Unanswered { prompt.text };
        return *answer;
    }

    [[nodiscard]] bool folderTrashed() const { return m_folderTrashed; }
    void clearTrashed()
    {
        m_folderTrashed = false;
        m_unreadable.clear();
    }
    /// The user's files that could not be read, in the order they were told.
    [[nodiscard]] const std::vector<std::string> &unreadable() const { return m_unreadable; }

private:
    /// The options' answer to a question; nothing when the options leave it to the user.
    [[nodiscard]] std::optional<Answer> answerOf(Question question) const
    {
        switch (question) {
        case Question::HtmlFolder:
            if (m_options.htmlFolder)
                return *m_options.htmlFolder ? Answer::Yes : Answer::No;
            return std::nullopt;
        case Question::Author:
        case Question::CreateOutput:
            return m_options.yes ? std::optional(Answer::Yes) : std::nullopt;
        case Question::DeleteHtml:
        case Question::OverwriteCover:
            return m_options.yes ? std::optional(Answer::Ok) : std::nullopt;
        default:
            return std::nullopt;
        }
    }

    const Options &m_options;
    std::ostream &m_err;
    bool m_folderTrashed = false;
    std::vector<std::string> m_unreadable;
};

/// The signal that asked the running make or rebuild to stop; 0 while none has.
volatile std::sig_atomic_t g_stopSignal = 0;

void noteStopSignal(int signal)
{
    g_stopSignal = signal;
}

/// While a run works, SIGINT and SIGTERM stop it as Esc does in the window: the pictures in flight
/// are finished, no page is written and nothing half-written stays. A second signal ends the
/// program at once.
class StopSignals
{
public:
    StopSignals()
    {
        g_stopSignal = 0;
        struct sigaction action {
        };
        action.sa_handler = noteStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(SIGINT, &action, &m_oldInterrupt);
        sigaction(SIGTERM, &action, &m_oldTerminate);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &m_oldInterrupt, nullptr);
        sigaction(SIGTERM, &m_oldTerminate, nullptr);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    /// The exit status a shell gives a program ended by the signal (130, 143); 0 when none came.
    [[nodiscard]] static int exitStatus() { return g_stopSignal != 0 ? 128 + g_stopSignal : 0; }

private:
    struct sigaction m_oldInterrupt {
    };
    struct sigaction m_oldTerminate {
    };
};

class CommandLinePlatform final : public generate::RunPlatform
{
public:
    CommandLinePlatform(bool open, std::ostream &out)
        : m_open(open)
        , m_out(out)
    {
    }
    bool moveToTrash(const std::string &path) override { return shell::moveToTrash(path); }
    void openDocument(const std::string &path) override
    {
        m_out << path << "\n";
        if (m_open)
            QProcess::startDetached("xdg-open", QStringList { QString::fromStdString(path) });
    }
    bool cancelRequested() override { return g_stopSignal != 0; }

private:
    bool m_open;
    std::ostream &m_out;
};

class NoChanges final : public album::ChangeSink
{
public:
    void markProjectChanged() override { }
    void withdrawRebuild() override { }
};

/// Sets the options as the window would, one after another, and says where a rule of the window
/// gave a value other than the one asked for.
void applySettings(
    const Options &o, album::AlbumSettings &settings, album::Prompter &prompts, std::ostream &err)
{
    NoChanges changes;
    album::SettingsEditor editor(settings, changes, prompts);
    for (const auto &[id, value] : o.settings) {
        editor.set(id, value);
        if (settings.value(id) != value && !o.quiet) {
            const auto &decl = album::optionDecl(id);
            err << "pictora: " << decl.control << "=" << valueText(decl, value) << " was taken as "
                << valueText(decl, settings.value(id)) << " (" << acceptedValues(decl) << ")\n";
        }
    }
}

/// Loads a project keeping every entry, also those whose picture is missing now, so that a
/// project written back loses none of them.
bool loadWholeProject(const std::string &path,
    album::AlbumSettings &settings,
    std::vector<album::ImageEntry> &entries,
    album::Prompter &prompts)
{
    return project::loadProjectFile(
        path, settings, entries, prompts, [](const std::string &) { return true; });
}

/// Holds the project's lock for a command that rewrites it. Another command writing it meanwhile
/// is waited for, so that neither loses what the other wrote.
void lockProject(base::FileLock &lock, const Options &o, std::ostream &err)
{
    if (lock.lock(o.project, false) != base::FileLock::Outcome::Busy)
        return;
    if (!o.quiet)
        err << "「" << o.project << "」には、ほかの処理が書き込んでいます。終わるまで待ちます。\n";
    (void)lock.lock(o.project, true);
}

/// A picture a run goes without, while the project keeps its entry.
std::string missingPictureKeptMessage(const std::string &path)
{
    return path + "\nが見つかりません。この画像を除いて作成します(プロジェクトのリストには残します)。";
}

std::string secondsText(std::chrono::steady_clock::duration elapsed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::chrono::duration<double>(elapsed).count());
    return text;
}

int makeOrRebuild(const Options &o, std::ostream &out, std::ostream &err)
{
    FlagPrompter prompts(o, err);
    // Held from the read to the write back, so that an --add meanwhile is not overwritten.
    base::FileLock projectLock;
    if (o.save)
        lockProject(projectLock, o, err);
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> kept;
    if (!loadWholeProject(o.project, settings, kept, prompts))
        return kExitError;
    // The run goes without the pictures that are missing, as a project opened in the window does.
    std::vector<album::ImageEntry> entries;
    for (const auto &entry : kept) {
        if (const std::string found = project::findPicture(o.project, entry.path); !found.empty()) {
            entries.push_back(entry);
            entries.back().path = found;
        } else {
            prompts.inform(PromptKind::Warning, missingPictureKeptMessage(entry.path));
        }
    }
    // An album of no picture would replace a good one with an empty one.
    if (!kept.empty() && entries.empty()) {
        printMessage(err,
            o.project
                + "\nの画像がひとつも見つからないため、アルバムを作成しませんでした。\n"
                  "画像を元の場所に戻すか、プロジェクトの画像リストを直してください。");
        return kExitError;
    }
    applySettings(o, settings, prompts, err);

    const bool make = o.command == Options::Command::Make;
    // The html sub-folder question always comes, after the output folder may have been created:
    // ask for its answer before anything is written.
    if (make && !o.htmlFolder) {
        err << "出力先フォルダにhtmlフォルダを作成しますか? (--html-folder / --no-html-folder)\n";
        return kExitUnanswered;
    }

    const auto start = std::chrono::steady_clock::now();
    TerminalProgress progress(err, !o.quiet && &err == &std::cerr && isatty(STDERR_FILENO));
    CommandLinePlatform platform(o.open, out);
    generate::RunContext context { settings, entries, prompts, progress, platform, o.workers };
    const StopSignals stopSignals;
    context.encodeAll = o.full;
    generate::RunResult result = make ? generate::makeAlbum(context) : generate::rebuildPages(context);
    // With --yes, a trashed html folder is made anew at once.
    if (make && !result.completed && prompts.folderTrashed() && !StopSignals::exitStatus()) {
        prompts.clearTrashed();
        result = generate::makeAlbum(context);
    }
    if (const int stopped = StopSignals::exitStatus())
        return stopped;
    // A run that ended early has already said why on standard error.
    if (!result.completed)
        return kExitError;
    if (!o.quiet) {
        err << entries.size() << (entries.size() == 1 ? " picture, " : " pictures, ")
            << secondsText(std::chrono::steady_clock::now() - start) << " s: " << result.indexPath << "\n";
    }
    if (o.save)
        project::SaveProjectFile(o.project, settings, kept);
    // Told once more at the end, where a long run's output leaves them easy to find.
    if (const std::vector<std::string> &unreadable = prompts.unreadable(); !unreadable.empty()) {
        err << "読み込めなかった画像 (" << unreadable.size() << "):\n";
        for (const std::string &path : unreadable)
            err << "  " << path << "\n";
        return kExitUnreadable;
    }
    return kExitSuccess;
}

/// Whether a file name matches a pattern of * and ?, letter case counting.
bool nameMatches(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

int shiftTime(const Options &o, std::ostream &err)
{
    FlagPrompter prompts(o, err);
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    if (!loadWholeProject(o.project, settings, entries, prompts))
        return kExitError;
    album::ImageList list;
    list.assign(std::move(entries));
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (o.only.empty() || nameMatches(o.only, album::fileNamePart(list[i].path)))
            chosen.push_back(i);
    }
    if (chosen.empty()) {
        err << "pictora: " << o.project << ": no picture"
            << (o.only.empty() ? std::string() : " whose name matches " + o.only) << "; nothing written\n";
        return kExitError;
    }
    NoChanges changes;
    const std::vector<album::ImageEntry> before = list.entries();
    const album::ShiftResult shifted
        = list.shiftTimeStamps(chosen, o.shiftMinutes, o.sortByTime, prompts, changes);
    if (list.entries() != before)
        project::SaveProjectFile(o.project, settings, list.entries());
    if (!o.quiet) {
        err << o.project << ": " << shifted.shifted << (shifted.shifted == 1 ? " time stamp" : " time stamps")
            << " moved by " << album::offsetText(o.shiftMinutes)
            << (o.sortByTime ? ", the pictures sorted by time" : "") << "\n";
    }
    return kExitSuccess;
}

int writeProject(const Options &o, std::ostream &err)
{
    FlagPrompter prompts(o, err);
    // The pictures are looked at before the project is touched: a name it cannot keep is refused.
    std::vector<std::string> pictures = picturesNamedBy(o.pictures);
    base::FileLock projectLock;
    lockProject(projectLock, o, err);
    album::AlbumSettings settings;
    album::ImageList list;
    if (o.command == Options::Command::New) {
        std::error_code ec;
        if (std::filesystem::exists(o.project, ec) && !o.yes) {
            err << o.project << "\nは既に存在します。置き換えますか? (--yes)\n";
            return kExitUnanswered;
        }
    } else {
        std::vector<album::ImageEntry> entries;
        if (!loadWholeProject(o.project, settings, entries, prompts))
            return kExitError;
        list.assign(std::move(entries));
    }
    applySettings(o, settings, prompts, err);
    const std::size_t before = list.size();
    list.appendInOrder(std::move(pictures), shell::localeNameOrder(), imaging::captureTimeStamp);
    project::SaveProjectFile(o.project, settings, list.entries());
    if (!o.quiet) {
        const std::size_t added = list.size() - before;
        err << o.project << ": " << added << (added == 1 ? " picture" : " pictures")
            << (o.command == Options::Command::Add ? " added, " + std::to_string(list.size()) + " in all"
                                                   : "")
            << "\n";
    }
    return kExitSuccess;
}

} // namespace

bool isCommandLineRequest(const std::vector<std::string> &args)
{
    return std::ranges::any_of(args, [](const std::string &a) { return a.starts_with("-"); });
}

int runCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    try {
        // The parser holds arguments as Unicode text: a name in another encoding would lose its bytes.
        for (const std::string &argument : args) {
            if (const auto refused = project::unstorablePathMessage(argument);
                refused && !base::cp932::isUtf8(argument))
                throw base::UserError(*refused);
        }
        const Options o = parse(args);
        switch (o.command) {
        case Options::Command::Help:
            out << helpText();
            return kExitSuccess;
        case Options::Command::Version:
            out << versionText();
            return kExitSuccess;
        case Options::Command::ListOptions:
            writeOptionList(out);
            return kExitSuccess;
        case Options::Command::New:
        case Options::Command::Add:
            return writeProject(o, err);
        case Options::Command::ShiftTime:
            return shiftTime(o, err);
        case Options::Command::Make:
        case Options::Command::Rebuild:
            return makeOrRebuild(o, out, err);
        }
        return kExitError;
    } catch (const UsageError &e) {
        err << "pictora: " << e.text << "\n(pictora --help lists the options)\n";
        return kExitUnanswered;
    } catch (const Unanswered &q) {
        printMessage(err, q.question);
        err << "(no answer given on the command line)\n";
        return kExitUnanswered;
    } catch (const base::UserError &e) {
        printMessage(err, e.what());
        return kExitError;
    } catch (const std::exception &e) {
        printMessage(err, base::messageOf(e));
        return kExitError;
    }
}

void writeManPage(std::ostream &out)
{
    // Roff treats a leading dot or quote as a request and "-" as a hyphen.
    auto roff = [](std::string_view text) {
        std::string escaped;
        for (const char c : text) {
            if (c == '\\')
                escaped += "\\e";
            else if (c == '-')
                escaped += "\\-";
            else
                escaped += c;
        }
        if (!escaped.empty() && (escaped.front() == '.' || escaped.front() == '\''))
            escaped.insert(0, "\\&");
        return escaped;
    };
    out << ".TH PICTORA 1 \"\" \"Pictora " << branding::kVersion << "\" \"User Commands\"\n"
        << ".SH NAME\npictora \\- make a static HTML photo album from a list of pictures\n"
        << ".SH SYNOPSIS\n";
    for (const char *line : kUsageLines)
        out << ".nf\n" << roff(line) << "\n.fi\n.br\n";
    out << ".SH DESCRIPTION\n"
        << "Pictora turns a list of photos into a static HTML photo album: a cover page with a table of "
           "thumbnails, one page per picture, optional slideshow pages, a style sheet, resized main "
           "pictures and thumbnails. Everything set is kept in a .pxa project file, which the command line "
           "writes and reads. Project files and pages are Shift_JIS (CP932) text.\n"
        << ".PP\nWithout options pictora opens its window, the program pictora\\-desktop installed beside "
           "it; a project file named on the command line (ending in .pxa) is opened in the window.\n";
    for (const auto &[group, title] : kGroupTitles) {
        std::string heading = title;
        std::ranges::transform(heading, heading.begin(), [](unsigned char c) { return std::toupper(c); });
        out << ".SH \"" << roff(heading) << "\"\n";
        for (const auto &option : kOptions) {
            if (option.group != group)
                continue;
            out << ".TP\n\\fB" << roff(optionSynopsis(option)) << "\\fR\n" << roff(option.help) << "\n";
        }
    }
    out << ".SH PICTURES\n" << roff(picturesRead()) << "\n";
    out << ".SH FILES\n"
        << ".TP\n\\fI$XDG_CACHE_HOME/pictora/\\fR (\\fI~/.cache/pictora/\\fR when it is not set)\n"
        << roff(
               "What runs remember between them: the sizes of the sources, so that a rebuild need not "
               "decode them again, and in albums/ one record per album folder of the pictures a make "
               "wrote there, so that the next make need not encode them again and a rebuild knows which list "
               "the pictures are of. Removing it makes the next runs slower, and an album's pages cannot "
               "be rebuilt before its next make.")
        << "\n";
    out << ".SH \"EXIT STATUS\"\n";
    for (const auto &[status, meaning] : kExitStatuses)
        out << ".TP\n" << status << "\n" << roff(meaning) << "\n";
    out << ".SH \"SEE ALSO\"\n\\fBpictora \\-\\-list\\-options\\fR lists every album option.\n";
}

} // namespace pictora::app
