// SPDX-License-Identifier: MIT
#include "ui/option_binding.h"

#include "base/errors.h"
#include "ui/colour_swatch.h"
#include "ui/qt_text.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <cassert>
#include <optional>

namespace pictora::ui
{

namespace
{

using album::OptionKind;

QWidget *findControl(QWidget &window, std::string_view name)
{
    return window.findChild<QWidget *>(toQString(std::string(name)));
}

} // namespace

album::Answer ShowingPrompter::ask(const album::Prompt &prompt)
{
    if (m_binding)
        m_binding->showAll();
    return m_prompts.ask(prompt);
}

OptionBinding::OptionBinding(
    QWidget &window, const album::AlbumSettings &settings, Apply apply, album::Prompter &prompts)
    : QObject(&window)
    , m_settings(settings)
    , m_apply(std::move(apply))
    , m_prompts(prompts)
{
    for (const auto &decl : album::optionTable())
        bind(window, decl);
    for (const auto &decl : album::optionTable()) {
        for (auto names : { decl.enables, decl.disables }) {
            for (auto name : names) {
                if (QWidget *control = findControl(window, name))
                    m_ruled.push_back(control);
            }
        }
    }
    showAll();
}

void OptionBinding::bind(QWidget &window, const album::OptionDecl &decl)
{
    Bound bound;
    bound.decl = &decl;
    if (decl.kind == OptionKind::Choice) {
        for (auto name : decl.buttons) {
            auto *button = qobject_cast<QAbstractButton *>(findControl(window, name));
            assert(button);
            if (button)
                bound.buttons.push_back(button);
        }
        bound.control = bound.buttons.empty() ? nullptr : bound.buttons.front();
    } else {
        bound.control = findControl(window, decl.control);
    }
    assert(bound.control && "every option has its control in the window");
    if (!bound.control)
        return;
    if (decl.kind == OptionKind::Colour) {
        // The swatch is named after its edit: edLink pairs with sLink.
        std::string swatchName = "s";
        swatchName.append(decl.control.substr(2));
        bound.swatch = qobject_cast<ColourSwatch *>(findControl(window, swatchName));
        assert(bound.swatch);
    }
    if (auto *spin = qobject_cast<QSpinBox *>(bound.control))
        spin->setRange(decl.minimum, decl.maximum);
    if (auto *slider = qobject_cast<QSlider *>(bound.control))
        slider->setRange(decl.minimum, decl.maximum);
    connectEdits(bound);
    m_bound.push_back(std::move(bound));
}

void OptionBinding::connectEdits(const Bound &bound)
{
    const album::OptionId id = bound.decl->id;
    QWidget *control = bound.control;
    if (bound.decl->kind == OptionKind::Choice) {
        for (std::size_t i = 0; i < bound.buttons.size(); ++i) {
            connect(bound.buttons[i], &QAbstractButton::toggled, this, [this, id, i](bool on) {
                if (on)
                    userEdit(id, static_cast<int>(i));
            });
        }
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        connect(edit, &QLineEdit::textChanged, this, [this, id](const QString &text) {
            userEdit(id, toStdString(text));
        });
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        connect(memo, &QPlainTextEdit::textChanged, this, [this, id, memo] {
            userEdit(id, storedMemoText(memo->toPlainText()));
        });
    } else if (auto *box = qobject_cast<QComboBox *>(control)) {
        connect(box, &QComboBox::currentTextChanged, this, [this, id](const QString &text) {
            userEdit(id, toStdString(text));
        });
    } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
        connect(check, &QCheckBox::toggled, this, [this, id](bool on) { userEdit(id, on); });
    } else if (auto *spin = qobject_cast<QSpinBox *>(control)) {
        connect(spin, &QSpinBox::valueChanged, this, [this, id](int value) { userEdit(id, value); });
    } else if (auto *slider = qobject_cast<QSlider *>(control)) {
        connect(slider, &QSlider::valueChanged, this, [this, id](int value) { userEdit(id, value); });
    } else {
        assert(!"an option control of an unknown class");
    }
    if (bound.swatch)
        connect(bound.swatch, &ColourSwatch::pressed, this, [this, id] { emit swatchPressed(id); });
}

void OptionBinding::userEdit(album::OptionId id, const album::OptionValue &value)
{
    if (m_showing)
        return;
    set(id, value);
}

void OptionBinding::set(album::OptionId id, const album::OptionValue &value)
{
    std::optional<std::string> failure;
    try {
        m_apply(id, value);
    } catch (const base::UserError &error) {
        // The rule stops where the text failed to convert; the window goes on.
        failure = error.what();
    }
    showAll();
    if (failure)
        m_prompts.inform(album::PromptKind::Error, *failure);
}

void OptionBinding::showAll()
{
    if (m_showing)
        return;
    m_showing = true;
    for (const Bound &bound : m_bound)
        show(bound);
    applyEnablingRules();
    m_showing = false;
}

void OptionBinding::showOption(album::OptionId id)
{
    if (m_showing)
        return;
    m_showing = true;
    for (const Bound &bound : m_bound) {
        if (bound.decl->id == id)
            show(bound);
    }
    applyEnablingRules();
    m_showing = false;
}

void OptionBinding::applyEnablingRules()
{
    for (QWidget *control : m_ruled)
        control->setEnabled(m_settings.isEnabled(control->objectName().toStdString()));
}

void OptionBinding::show(const Bound &bound)
{
    const album::OptionId id = bound.decl->id;
    const album::OptionValue &value = m_settings.value(id);
    QWidget *control = bound.control;
    // Only what differs is written, so the caret of a field being typed in stays where it is.
    const QSignalBlocker blocker(control);
    if (bound.decl->kind == OptionKind::Choice) {
        const int chosen = std::get<int>(value);
        for (std::size_t i = 0; i < bound.buttons.size(); ++i) {
            QAbstractButton *button = bound.buttons[i];
            const bool on = static_cast<int>(i) == chosen;
            if (button->isChecked() == on)
                continue;
            const QSignalBlocker buttonBlocker(button);
            // An exclusive group cannot be emptied; "none selected" is a value the project may hold.
            button->setAutoExclusive(false);
            button->setChecked(on);
            button->setAutoExclusive(true);
        }
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        const QString text = toQString(std::get<std::string>(value));
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        const std::string &stored = std::get<std::string>(value);
        if (!memoShows(memo->toPlainText(), stored))
            memo->setPlainText(memoText(stored));
    } else if (auto *box = qobject_cast<QComboBox *>(control)) {
        const QString text = toQString(std::get<std::string>(value));
        if (box->currentText() != text)
            box->setCurrentText(text);
    } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
        if (check->isChecked() != std::get<bool>(value))
            check->setChecked(std::get<bool>(value));
    } else if (auto *spin = qobject_cast<QSpinBox *>(control)) {
        if (spin->value() != std::get<int>(value))
            spin->setValue(std::get<int>(value));
    } else if (auto *slider = qobject_cast<QSlider *>(control)) {
        if (slider->value() != std::get<int>(value))
            slider->setValue(std::get<int>(value));
    }
    if (bound.swatch)
        bound.swatch->setColour(m_settings.swatch(id));
}

} // namespace pictora::ui
