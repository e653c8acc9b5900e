// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace pictora::album
{

enum class PromptKind { Information, Warning, Error, Confirmation };
enum class Answer { Ok, Cancel, Yes, No };

/// One message box: what kind it is, its text and the buttons it offers.
struct Prompt {
    PromptKind kind = PromptKind::Information;
    std::string text;
    std::vector<Answer> buttons { Answer::Ok };
    /// A stable name for questions that a front end answers without showing them (command line).
    std::string topic = {};
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
