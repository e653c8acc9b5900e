// SPDX-License-Identifier: MIT
#include "app/cli.h"
#include "shell/startup.h"

#include <QCoreApplication>

#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace
{

/// Starts the window's executable, which sits beside this one, in this process. Returns only when
/// it could not be started.
int runWindow(char **argv)
{
    // This executable's own path, not one a window that started this program passed on.
    ::unsetenv(pictora::shell::kLauncherVariable);
    const std::string self = pictora::shell::programPath(argv[0]);
    const std::string window = self.substr(0, self.rfind('/') + 1) + "pictora-desktop";
    ::setenv(pictora::shell::kLauncherVariable, self.c_str(), 1);
    ::execv(window.c_str(), argv);
    std::cerr << "pictora: the window cannot be started: " << window << ": " << std::strerror(errno) << "\n";
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Every picture passes through buffers of a few megabytes; keeping them in the heap instead of
    // mapping and unmapping them for each picture saves the page faults of fresh memory.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    const std::vector<std::string> args(argv + 1, argv + argc);
    // No argument, or a project file to open: the window. Options: the headless command line.
    if (!pictora::app::isCommandLineRequest(args))
        return runWindow(argv);
    QCoreApplication app(argc, argv);
    return pictora::app::runCommandLine(args, std::cout, std::cerr);
}
