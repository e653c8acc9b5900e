// SPDX-License-Identifier: MIT
#pragma once

class QApplication;
class QCoreApplication;

namespace pictora::ui
{

/// Loads Qt's own Japanese texts (はい / いいえ / キャンセル, the file dialogs); false when the
/// translations are not installed, and Qt's texts stay English.
bool installQtTranslations(QCoreApplication &app);

/// Japanese texts in Qt's own buttons and dialogs, the window font, tool tips shown.
void setUpApplication(QApplication &app);

/// Runs the desktop program: the main window and its message loop. Returns the exit status.
int runDesktop(int &argc, char **argv);

} // namespace pictora::ui
