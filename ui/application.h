// SPDX-License-Identifier: MIT
#pragma once

class QApplication;

namespace pictora::ui
{

/// Japanese texts in Qt's own buttons and dialogs, the window font, tool tips shown.
void setUpApplication(QApplication &app);

/// Runs the desktop program: the main window and its message loop. Returns the exit status.
int runDesktop(int &argc, char **argv);

} // namespace pictora::ui
