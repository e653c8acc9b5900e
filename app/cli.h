// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pictora::app
{

/// Exit statuses of the command line.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitError = 1, ///< the run ended with an error message
    kExitUnanswered = 2, ///< a question had no answer among the options, or the usage was wrong
    kExitUnreadable = 3, ///< the album was written without pictures that could not be read
};

/// Whether the arguments ask for the headless command line rather than the window.
[[nodiscard]] bool isCommandLineRequest(const std::vector<std::string> &args);

/// Runs the headless command line (arguments without the program name). Messages go to `err`,
/// results (the cover page's path, help, version) to `out`.
int runCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

/// The manual page pictora.1 in roff, made from the same table as --help.
void writeManPage(std::ostream &out);

} // namespace pictora::app
