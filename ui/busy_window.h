// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

class QMainWindow;
class QWidget;

namespace pictora::ui
{

/// The main window while work runs beside it (an album run, an effect): its controls and menu,
/// and so their keys, take no input, the cursor says it is busy, and afterwards the keyboard goes
/// back to the control that had it. Every kind of work shuts the window through this one object,
/// so the window knows whether anything is working.
class BusyWindow final : public QObject
{
    Q_OBJECT
public:
    explicit BusyWindow(QMainWindow &window);

    /// Shuts the window; work started while other work runs shuts it only once.
    void begin();
    /// Opens the window again once the last work that began has ended.
    void end();
    [[nodiscard]] bool isBusy() const { return m_depth > 0; }
    [[nodiscard]] QMainWindow &window() { return m_window; }

signals:
    void busyChanged(bool busy);

private:
    QMainWindow &m_window;
    int m_depth = 0;
    QPointer<QWidget> m_focused;
};

} // namespace pictora::ui
