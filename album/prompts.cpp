// SPDX-License-Identifier: MIT
#include "album/prompts.h"

#include <utility>

namespace pictora::album
{

QuestionBox boxOf(Question question)
{
    using enum Answer;
    switch (question) {
    case Question::None:
        return { PromptKind::Information, { Ok } };
    case Question::Author:
    case Question::CreateOutput:
        return { PromptKind::Warning, { Yes, No } };
    case Question::ProjectChanged:
        return { PromptKind::Warning, { Yes, No, Cancel } };
    case Question::HtmlFolder:
    case Question::SortByName:
    case Question::SaveChanges:
        return { PromptKind::Confirmation, { Yes, No, Cancel } };
    case Question::DeleteHtml:
    case Question::OverwriteCover:
        return { PromptKind::Warning, { Ok, Cancel } };
    case Question::HtmlFolderTrashed:
    case Question::Cancelled:
    case Question::VisitorReport:
        return { PromptKind::Information, { Ok } };
    case Question::Unreadable:
        return { PromptKind::Confirmation, { Ok } };
    case Question::ReRegister:
        return { PromptKind::Confirmation, { Yes, No } };
    }
    return { PromptKind::Information, { Ok } };
}

Prompt Prompt::asking(Question question, std::string text)
{
    QuestionBox box = boxOf(question);
    return { box.kind, std::move(text), std::move(box.buttons), question };
}

} // namespace pictora::album
