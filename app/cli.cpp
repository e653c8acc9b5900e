// SPDX-License-Identifier: MIT
#include "app/cli.h"

#include "album/branding.h"
#include "album/errors.h"
#include "album/image_list.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "generate/make_album.h"
#include "generate/platform_services.h"
#include "imaging/capture_time.h"
#include "project/project_file.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace pictora::app
{

using album::Answer;
using album::OptionId;
using album::PromptKind;

namespace
{

constexpr const char *kUsage = R"(usage:
  pictora --make PROJECT.pxa [options]      make the album
  pictora --rebuild PROJECT.pxa [options]   rewrite pages and style sheet only
  pictora --new PROJECT.pxa PICTURE...      write a new project holding these pictures, in name order,
                                            each with the comment and time stamp that adding gives it
  pictora --help | --version

options:
  --out DIR               output folder instead of the project's
  --html-folder | --no-html-folder        answer to the html sub-folder question
  --yes                   answer Yes/OK to: create a missing output folder, overwrite an existing
                          cover page, move an existing html folder to the Trash (then go on making)
  --author ADDRESS        the author address; without it the author question is asked
                          (--yes answers it with the support address)
  --no-slideshow  --use-originals  --no-maker-link   options that project files do not keep
  --open                  open the cover page in the browser when done
  -j N                    worker threads (default: all cores)
)";

struct Options {
    enum class Command { None, Make, Rebuild, New, Help, Version } command = Command::None;
    std::string project;
    std::vector<std::string> pictures;
    std::optional<std::string> out;
    std::optional<bool> htmlFolder;
    bool yes = false;
    std::optional<std::string> author;
    bool noSlideshow = false;
    bool useOriginals = false;
    bool noMakerLink = false;
    bool open = false;
    int workers = 0;
};

/// Thrown when a question has no answer among the options.
struct Unanswered {
    std::string question;
};

struct UsageError {
    std::string text;
};

Options parse(const std::vector<std::string> &args)
{
    Options o;
    auto command = [&o](Options::Command c) {
        if (o.command != Options::Command::None)
            throw UsageError { "only one of --make, --rebuild, --new, --help, --version may be given" };
        o.command = c;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw UsageError { a + " needs a value" };
            return args[++i];
        };
        if (a == "--make" || a == "--rebuild" || a == "--new") {
            command(a == "--make"      ? Options::Command::Make
                    : a == "--rebuild" ? Options::Command::Rebuild
                                       : Options::Command::New);
            o.project = value();
        } else if (a == "--help" || a == "-h") {
            command(Options::Command::Help);
        } else if (a == "--version") {
            command(Options::Command::Version);
        } else if (a == "--out") {
            o.out = value();
        } else if (a == "--html-folder") {
            o.htmlFolder = true;
        } else if (a == "--no-html-folder") {
            o.htmlFolder = false;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--author") {
            o.author = value();
        } else if (a == "--no-slideshow") {
            o.noSlideshow = true;
        } else if (a == "--use-originals") {
            o.useOriginals = true;
        } else if (a == "--no-maker-link") {
            o.noMakerLink = true;
        } else if (a == "--open") {
            o.open = true;
        } else if (a == "-j" || a.starts_with("-j")) {
            const std::string n = a == "-j" ? value() : a.substr(2);
            int workers = 0;
            auto [ptr, ec] = std::from_chars(n.data(), n.data() + n.size(), workers);
            if (ec != std::errc() || ptr != n.data() + n.size() || workers < 1)
                throw UsageError { "-j needs a positive number of workers" };
            o.workers = workers;
        } else if (o.command == Options::Command::New && !a.starts_with("-")) {
            o.pictures.push_back(a);
        } else {
            throw UsageError { "unknown argument: " + a };
        }
    }
    if (o.command == Options::Command::None)
        throw UsageError { "nothing to do" };
    if (o.command == Options::Command::New && o.pictures.empty())
        throw UsageError { "--new needs at least one picture" };
    return o;
}

/// Answers the run's questions from the options; prints every message to standard error.
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
            m_err << prompt.text << "\n";
            if (prompt.topic == "html-folder-trashed")
                m_folderTrashed = true;
            return prompt.buttons.front();
        }
        std::optional<Answer> answer;
        if (prompt.topic == "html-folder" && m_options.htmlFolder)
            answer = *m_options.htmlFolder ? Answer::Yes : Answer::No;
        else if (m_options.yes && (prompt.topic == "author" || prompt.topic == "create-output"))
            answer = Answer::Yes;
        else if (m_options.yes && (prompt.topic == "delete-html" || prompt.topic == "overwrite-cover"))
            answer = Answer::Ok;
        if (!answer)
            throw Unanswered { prompt.text };
        return *answer;
    }

    [[nodiscard]] bool folderTrashed() const { return m_folderTrashed; }
    void clearTrashed() { m_folderTrashed = false; }

private:
    const Options &m_options;
    std::ostream &m_err;
    bool m_folderTrashed = false;
};

/// A "[ i / n ]" bar on standard error, drawn only when that is a terminal.
class TerminalProgress final : public album::ProgressSink
{
public:
    explicit TerminalProgress(std::ostream &err)
        : m_err(err)
        , m_enabled(&err == &std::cerr && isatty(STDERR_FILENO))
    {
    }
    void show() override { }
    void setPosition(int percent) override
    {
        m_percent = percent;
        draw();
    }
    void setLabel(const std::string &text) override
    {
        m_label = text;
        draw();
    }
    void hide() override
    {
        if (m_enabled && m_drawn)
            m_err << "\r\033[K" << std::flush;
        m_drawn = false;
    }

private:
    void draw()
    {
        if (!m_enabled || m_label.empty())
            return;
        const int filled = std::clamp(m_percent, 0, 100) * 30 / 100;
        m_err << "\r" << m_label << " [" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(30 - filled), '.') << "] " << m_percent << "%"
              << std::flush;
        m_drawn = true;
    }

    std::ostream &m_err;
    bool m_enabled;
    bool m_drawn = false;
    int m_percent = 0;
    std::string m_label;
};

class CommandLinePlatform final : public generate::RunPlatform
{
public:
    CommandLinePlatform(bool open, std::ostream &out)
        : m_open(open)
        , m_out(out)
    {
    }
    bool moveToTrash(const std::string &path) override { return generate::moveToTrash(path); }
    void openDocument(const std::string &path) override
    {
        m_out << path << "\n";
        if (m_open)
            QProcess::startDetached("xdg-open", QStringList { QString::fromStdString(path) });
    }

private:
    bool m_open;
    std::ostream &m_out;
};

int makeOrRebuild(const Options &o, std::ostream &out, std::ostream &err)
{
    FlagPrompter prompts(o, err);
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    if (!project::loadProjectFile(o.project, settings, entries, prompts))
        return kExitError;

    if (o.out)
        settings.store(OptionId::edHTMLPath, *o.out);
    if (o.author)
        settings.store(OptionId::edRevMade, *o.author);
    if (o.noSlideshow)
        settings.store(OptionId::cbMakeSlide, false);
    if (o.useOriginals)
        settings.store(OptionId::cbMainOrigin, true);
    if (o.noMakerLink)
        settings.store(OptionId::ViewTavuri, false);

    const bool make = o.command == Options::Command::Make;
    // The html sub-folder question always comes, after the output folder may have been created:
    // ask for its answer before anything is written.
    if (make && !o.htmlFolder) {
        err << "出力先フォルダにhtmlフォルダを作成しますか? (--html-folder / --no-html-folder)\n";
        return kExitUnanswered;
    }

    TerminalProgress progress(err);
    CommandLinePlatform platform(o.open, out);
    generate::RunContext context { settings, entries, prompts, progress, platform, o.workers };
    generate::RunResult result = make ? generate::makeAlbum(context) : generate::rebuildPages(context);
    // With --yes, a trashed html folder is made anew at once.
    if (make && !result.completed && prompts.folderTrashed()) {
        prompts.clearTrashed();
        result = generate::makeAlbum(context);
    }
    // A run that ended early has already said why on standard error.
    return result.completed ? kExitSuccess : kExitError;
}

int makeNewProject(const Options &o, std::ostream &err)
{
    for (const auto &picture : o.pictures) {
        if (access(picture.c_str(), R_OK) != 0) {
            err << picture << "\nが見つかりません。\n";
            return kExitError;
        }
    }
    album::ImageList list;
    list.appendInOrder(o.pictures, generate::localeNameOrder(), imaging::captureTimeStamp);
    project::SaveProjectFile(o.project, album::AlbumSettings(), list.entries());
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
        const Options o = parse(args);
        switch (o.command) {
        case Options::Command::Help:
            out << kUsage;
            return kExitSuccess;
        case Options::Command::Version:
            out << "Pictora " << branding::kVersion << "\n";
            return kExitSuccess;
        case Options::Command::New:
            return makeNewProject(o, err);
        default:
            return makeOrRebuild(o, out, err);
        }
    } catch (const UsageError &e) {
        err << "pictora: " << e.text << "\n\n" << kUsage;
        return kExitUnanswered;
    } catch (const Unanswered &q) {
        err << q.question << "\n(no answer given on the command line)\n";
        return kExitUnanswered;
    } catch (const album::UserError &e) {
        err << e.what() << "\n";
        return kExitError;
    } catch (const std::exception &e) {
        err << "pictora: " << e.what() << "\n";
        return kExitError;
    }
}

} // namespace pictora::app
