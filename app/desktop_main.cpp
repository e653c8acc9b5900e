// SPDX-License-Identifier: MIT
// The window's executable. The `pictora` command hands over to it, so that a command-line run never
// loads the window's libraries (Qt Widgets, Qt GUI and what they pull in).
#include "ui/application.h"

#include <malloc.h>

int main(int argc, char **argv)
{
    // As in the command: picture buffers stay in the heap instead of being mapped for each picture.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    return pictora::ui::runDesktop(argc, argv);
}
