// SPDX-License-Identifier: MIT
// Writes pictora.1 at build time, from the table the command line parses with.
#include "app/cli.h"

#include <fstream>
#include <iostream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: pictora_man_page OUTPUT.1\n";
        return 2;
    }
    std::ofstream file(argv[1], std::ios::binary);
    pictora::app::writeManPage(file);
    file.close();
    if (!file) {
        std::cerr << argv[1] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
