// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace pictora::album
{

enum class PromptKind { Information, Warning, Error, Confirmation };
enum class Answer { Ok, Cancel, Yes, No };

/// Every box a rule shows by name, so that a front end answering without showing it (the command
/// line, the tests) matches a value the compiler checks. A new one is a name here and its box in
/// boxOf(); the switch there does not compile without it.
enum class Question {
    None, ///< a message nobody answers by name
    Author, ///< fill in the support address as the author's (yes/no)
    CreateOutput, ///< create the missing output folder (yes/no)
    HtmlFolder, ///< make the album in an "html" folder (yes/no/cancel)
    DeleteHtml, ///< move the existing "html" folder to the trash (ok/cancel)
    HtmlFolderTrashed, ///< the "html" folder was trashed; run again (ok)
    OverwriteCover, ///< overwrite the existing cover page (ok/cancel)
    Unreadable, ///< a picture could not be read and is skipped (ok)
    Cancelled, ///< the user stopped the run (ok)
    SortByName, ///< sort the added pictures by name (yes/no/cancel)
    SaveChanges, ///< save the changed project first (yes/no/cancel)
    ReRegister, ///< register the project file type again (yes/no)
    VisitorReport, ///< after a make: what a visitor of the album would hit (ok)
    ProjectChanged, ///< the project file changed on disk since it was read: overwrite / save as / cancel
};

/// What a question's box looks like: its kind and its buttons, the first one the default.
struct QuestionBox {
    PromptKind kind;
    std::vector<Answer> buttons;
};

/// The box of every named question, declared once.
QuestionBox boxOf(Question question);

/// One message box: what kind it is, its text and the buttons it offers.
struct Prompt {
    PromptKind kind = PromptKind::Information;
    std::string text;
    std::vector<Answer> buttons { Answer::Ok };
    Question question = Question::None;
    /// More for the user who asks (a box's "details"): which file, for instance.
    std::string details {};
    /// For a picture that cannot be read: the user's own file and why ("<path>: <cause>"), which the
    /// command line names beside the box's text (the window's box keeps to the album's names).
    std::string unreadableFile {};
    std::string unreadableReason {};

    /// A named question's box with this text.
    static Prompt asking(Question question, std::string text);
};

/// Every message box and question goes through this seam, so that the windows, the command line
/// and the tests share one implementation of every rule that asks the user something.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual Answer ask(const Prompt &prompt) = 0;

    void inform(PromptKind kind, const std::string &text) { ask(Prompt { kind, text, { Answer::Ok } }); }
};

/// The progress window's operations, so that long runs report without knowing who draws them.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    virtual void show() = 0;
    virtual void setPosition(int percent) = 0;
    virtual void setLabel(const std::string &text) = 0;
    virtual void hide() = 0;
};

/// A progress sink that draws nothing.
class NullProgress final : public ProgressSink
{
public:
    void show() override { }
    void setPosition(int) override { }
    void setLabel(const std::string &) override { }
    void hide() override { }
};

} // namespace pictora::album
