// SPDX-License-Identifier: MIT
#include "ui/busy_window.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

namespace pictora::ui
{

BusyWindow::BusyWindow(QMainWindow &window)
    : QObject(&window)
    , m_window(window)
{
}

void BusyWindow::begin()
{
    if (m_depth++ > 0)
        return;
    m_focused = QApplication::focusWidget();
    if (QWidget *central = m_window.centralWidget())
        central->setEnabled(false);
    m_window.menuBar()->setEnabled(false);
    m_window.setCursor(Qt::BusyCursor);
    emit busyChanged(true);
}

void BusyWindow::end()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    m_window.unsetCursor();
    if (QWidget *central = m_window.centralWidget())
        central->setEnabled(true);
    m_window.menuBar()->setEnabled(true);
    // Shutting the controls took the keyboard away from the one the user was in.
    if (m_focused && m_focused->isEnabled() && m_focused->window() == &m_window)
        m_focused->setFocus();
    emit busyChanged(false);
}

} // namespace pictora::ui
