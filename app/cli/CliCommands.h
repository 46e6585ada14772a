#pragma once

// The command line's commands, their help and their exit statuses.

#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipRecord.h"
#include "link/ProgrammerList.h"
#include "ops/ChipOperations.h"

#include <QString>

namespace kestrum::cli {

/// What carries out a command.
enum class CommandHandler {
    ChipList, ///< the chips of the database
    ProgrammerList, ///< the attached programmers
    FileInfo, ///< facts of an image file
    Convert, ///< one image file into another; reads its own arguments
    ChipOperation, ///< an operation on the chip in a programmer's socket
    Regions, ///< the regions an image holds
    Store, ///< the record store's series and records; reads its own arguments
};

/// One command of the table: its name, arguments, handler and help line.
struct CommandHelp
{
    const char* name;
    const char* synopsis; ///< the name with its arguments
    const char* what; ///< the help line
    CommandHandler handler;
    void (ChipOperations::*operation)() = nullptr; ///< ChipOperation: what runs on the chip
    bool chip = false; ///< needs a chip choice
    int files = 0; ///< file operands; -1 for any number
    bool loadsImage = false; ///< the file is loaded into the image before the operation
    bool production = false; ///< may run as a production run (--repeat, --all-programmers)

    /// The command takes its arguments as they are, past the common options' parsing.
    [[nodiscard]] constexpr bool readsOwnArguments() const
    {
        return handler == CommandHandler::Convert || handler == CommandHandler::Store;
    }
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
