#pragma once

// The command line's commands, their help and their exit statuses.

#include "buffer/DataBuffer.h"
#include "ops/ChipOperations.h"

#include <QString>

namespace kestrum::cli {

struct CommandHelp
{
    const char* name;
    const char* synopsis;
    const char* what;
    bool chip; ///< needs a chip choice
    int files; ///< file operands
};

/// The options part of the help text.
extern const char* const OptionsText;

/// The command of that name; null for none.
const CommandHelp* findCommand(const QString& name);

} // namespace kestrum::cli
