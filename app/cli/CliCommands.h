#pragma once

// The command line's commands, their help and their exit statuses.

#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipRecord.h"
#include "link/ProgrammerList.h"
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

/// The name info prints for a kind of image file.
QString kindName(FileKind kind);
/// The chip lines of list and detect: names, ID, capacity, page size, voltage.
QString chipLine(const ChipRecord& r);
/// The line of programmers: location, product, state.
QString programmerLine(const ProgrammerInfo& p);

} // namespace kestrum::cli
