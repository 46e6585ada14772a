#pragma once

#include <functional>

namespace kestrum {

/// Runs an event handler so that an error escaping it is shown in the error box and the program
/// goes on (the main window's `runGuarded`). The dialogs run every handler of theirs through it.
using HandlerGuard = std::function<void(const std::function<void()>&)>;

} // namespace kestrum
