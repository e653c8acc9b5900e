// SPDX-License-Identifier: MIT
#include "app/cli.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "The desktop window is not part of this build yet; use the command line:\n\n";
        return pictora::app::runCommandLine({ "--help" }, std::cerr, std::cerr);
    }
    return pictora::app::runCommandLine(args, std::cout, std::cerr);
}
