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

/// Binds the window's option controls to the album settings by walking the option table: each
/// control is found by its object name, shows its option's value, and hands a user's edit to
/// album::SettingsEditor. After every change the controls show the values again and the enabling
/// rules are applied, so a value set by a rule (or by the program) is seen at once. Knows no single
/// option by name.
class OptionBinding : public QObject
{
    Q_OBJECT
public:
    OptionBinding(QWidget &window,
        album::AlbumSettings &settings,
        album::ChangeSink &changes,
        album::Prompter &prompts);

    /// Sets an option as the program does (reset, load, colour dialog): the coupling rules run
    /// once, in the core, and the controls follow.
    void set(album::OptionId id, const album::OptionValue &value);
    /// The reset of New/Open.
    void reset();
    /// Shows every option's value and applies the enabling rules.
    void showAll();

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

    /// Shows prompts after the controls are up to date, so a message describes what is seen.
    class ShowingPrompter final : public album::Prompter
    {
    public:
        ShowingPrompter(OptionBinding &binding, album::Prompter &prompts)
            : m_binding(binding)
            , m_prompts(prompts)
        {
        }
        album::Answer ask(const album::Prompt &prompt) override;

    private:
        OptionBinding &m_binding;
        album::Prompter &m_prompts;
    };

    void bind(QWidget &window, const album::OptionDecl &decl);
    void connectEdits(const Bound &bound);
    /// A user's edit: through the editor, a conversion error told as an error, then shown.
    void userEdit(album::OptionId id, const album::OptionValue &value);
    void show(const Bound &bound);
    /// Runs a change through the editor; a text that is not a number is told as an error.
    void run(const std::function<void()> &change);

    album::AlbumSettings &m_settings;
    album::Prompter &m_prompts;
    ShowingPrompter m_showingPrompts;
    album::SettingsEditor m_editor;
    std::vector<Bound> m_bound;
    std::vector<QWidget *> m_ruled; ///< controls under an enabling rule
    bool m_showing = false;
};

} // namespace pictora::ui
