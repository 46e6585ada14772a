#pragma once

#include <QLoggingCategory>

namespace kestrum {

/// Diagnostics of the programmer link (transport and protocol). They never reach the user.
Q_DECLARE_LOGGING_CATEGORY(lcLink)

} // namespace kestrum
