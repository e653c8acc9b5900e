// SPDX-License-Identifier: MIT
#pragma once

#include "album/settings.h"

#include <cstddef>

namespace pictora::project
{

/// What a window hears from the document when the core changed something it shows: after an edit
/// (the edited option as stored, clamped, and the options its rules set in turn), a reset, a load,
/// an effect or an apply. List operations the window calls itself are not echoed back.
class DocumentListener
{
public:
    virtual ~DocumentListener() = default;
    /// An option holds another value; the control showing it must follow.
    virtual void optionChanged(album::OptionId) { }
    /// The image list was replaced (New, Open): list box, picture editor (comment and time stamp)
    /// and current entry must be shown again.
    virtual void listReplaced() { }
    /// One entry's path changed (apply): its list item shows the new file name.
    virtual void entryChanged(std::size_t) { }
    /// The changed mark, the enabled state of `mnSave`.
    virtual void changedMarkChanged(bool) { }
    /// Whether `btReMakeHTML` is enabled.
    virtual void rebuildAvailabilityChanged(bool) { }
    /// The preview's picture changed or was erased.
    virtual void pictureChanged() { }
    /// `btAppend`/`mnAppend` or `btUndo`/`mnUndo` changed their enabled state.
    virtual void effectCommandsChanged() { }
};

} // namespace pictora::project
