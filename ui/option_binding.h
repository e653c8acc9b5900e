// SPDX-License-Identifier: MIT
#pragma once

#include "album/prompts.h"
#include "album/settings.h"

#include <QObject>

#include <functional>
#include <vector>

class QAbstractButton;
class QWidget;

namespace pictora::ui
{

class ColourSwatch;

class OptionBinding;

/// Brings the option controls up to date before a question or message is shown, so that it
/// describes what is seen. The document's prompts go through it.
class ShowingPrompter final : public album::Prompter
{
public:
    explicit ShowingPrompter(album::Prompter &prompts)
        : m_prompts(prompts)
    {
    }
    void attach(OptionBinding *binding) { m_binding = binding; }
    album::Answer ask(const album::Prompt &prompt) override;

private:
    album::Prompter &m_prompts;
    OptionBinding *m_binding = nullptr;
};

/// Binds the window's option controls to the album settings by walking the option table: each
/// control is found by its object name, shows its option's value, and hands a user's edit to the
/// document, whose rules apply it. After every change the controls show the values again and the
/// enabling rules are applied, so a value set by a rule (or by the program) is seen at once. Knows
/// no single option by name.
class OptionBinding : public QObject
{
    Q_OBJECT
public:
    /// Applies an edit with its rules; throws base::UserError for a text that does not convert.
    using Apply = std::function<void(album::OptionId, const album::OptionValue &)>;

    OptionBinding(
        QWidget &window, const album::AlbumSettings &settings, Apply apply, album::Prompter &prompts);

    /// Sets an option as the program does (colour dialog, folder browser): the coupling rules run
    /// once, in the core, and the controls follow.
    void set(album::OptionId id, const album::OptionValue &value);
    /// Shows every option's value and applies the enabling rules.
    void showAll();
    /// Shows one option's value (one the core changed) and applies the enabling rules.
    void showOption(album::OptionId id);

signals:
    /// A colour option's swatch was pressed (it is enabled).
    void swatchPressed(album::OptionId id);

private:
    struct Bound {
        const album::OptionDecl *decl = nullptr;
        QWidget *control = nullptr; ///< the edit, box, spin or slider; the first radio button
        ColourSwatch *swatch = nullptr;
        std::vector<QAbstractButton *> buttons; ///< a choice's radio buttons, in order
    };

    void bind(QWidget &window, const album::OptionDecl &decl);
    void connectEdits(const Bound &bound);
    /// A user's edit: through the editor, a conversion error told as an error, then shown.
    void userEdit(album::OptionId id, const album::OptionValue &value);
    void show(const Bound &bound);
    void applyEnablingRules();
    const album::AlbumSettings &m_settings;
    Apply m_apply;
    album::Prompter &m_prompts;
    std::vector<Bound> m_bound;
    std::vector<QWidget *> m_ruled; ///< controls under an enabling rule
    bool m_showing = false;
};

} // namespace pictora::ui
