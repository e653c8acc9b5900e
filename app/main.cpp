// SPDX-License-Identifier: MIT
#include "app/cli.h"
#include "ui/application.h"

#include <QCoreApplication>

#include <malloc.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    // Every picture passes through buffers of a few megabytes; keeping them in the heap instead of
    // mapping and unmapping them for each picture saves the page faults of fresh memory.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    const std::vector<std::string> args(argv + 1, argv + argc);
    // No argument, or a project file to open: the window. Options: the headless command line.
    if (!pictora::app::isCommandLineRequest(args))
        return pictora::ui::runDesktop(argc, argv);
    QCoreApplication app(argc, argv);
    return pictora::app::runCommandLine(args, std::cout, std::cerr);
}
