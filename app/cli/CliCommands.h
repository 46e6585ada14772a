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

/// The reason column of the job log: why a chip failed; empty for one that passed.
const char* reasonOf(CommandOutcome outcome);

/// The exit status of a chip command that ended so (an image command refused on an empty buffer
/// is a file error).
int exitStatusOf(CommandOutcome outcome, const DataBuffer& buffer);

} // namespace kestrum::cli
