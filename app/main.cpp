// SPDX-License-Identifier: MIT
#include "app/cli.h"

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
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "The desktop window is not part of this build yet; use the command line:\n\n";
        return pictora::app::runCommandLine({ "--help" }, std::cerr, std::cerr);
    }
    return pictora::app::runCommandLine(args, std::cout, std::cerr);
}
