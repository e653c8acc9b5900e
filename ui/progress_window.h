// SPDX-License-Identifier: MIT
#pragma once

#include "album/prompts.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace pictora::ui
{

/// The progress window of long runs: a small tool window beside the main window with a bar and
/// a "[ i / n ]" counter. Esc in it, or closing it, asks the run to stop after the pictures in
/// flight; the run reads that through cancelRequested().
class TfrProgress : public QWidget, public album::ProgressSink
{
    Q_OBJECT
public:
    /// `mainWindow` is what the window places itself beside; it is also its parent.
    explicit TfrProgress(QWidget *mainWindow);

    // ProgressSink; show() and hide() replace QWidget's on purpose, so callers need not care.
    void show() override;
    void setPosition(int percent) override;
    void setLabel(const std::string &text) override;
    void hide() override;

    /// Whether the user asked the current run to stop; cleared by show().
    [[nodiscard]] bool cancelRequested() const { return m_cancelRequested; }
    [[nodiscard]] int position() const;
    [[nodiscard]] QString label() const;

signals:
    void cancelRequestedByUser();
    /// Each operation as it happens ("show", "pos 33", "label [ 1 / 3 ]", "hide"), for observers.
    void reported(const QString &call);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void requestCancel();

    QWidget *m_mainWindow;
    QLabel *m_caption;
    QProgressBar *m_bar;
    QLabel *m_counter;
    bool m_cancelRequested = false;
};

} // namespace pictora::ui
