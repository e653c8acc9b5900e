// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace pictora::base
{

/// An error the user is told about in a message box; the command that raised it stops there.
class UserError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// A text that had to be a number and was not.
class ConversionError : public UserError
{
public:
    using UserError::UserError;
};

} // namespace pictora::base
