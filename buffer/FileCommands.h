#pragma once

#include "base/Reporter.h"
#include "buffer/DataBuffer.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace kestrum {

/// Filter of the Open dialog, in the "Text|*.ext|..." form; its first entry is selected.
inline const QString OpenFileFilter = QStringLiteral(
    "Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|Asus Rom (*.cap)|*.cap|All files (*.*)|*.*");
/// Filter of the Save dialog. ".src" (S-record) is not offered but honoured when typed.
inline const QString SaveFileFilter
    = QStringLiteral("Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|All files (*.*)|*.*");
/// Appended by the Save dialog to a name typed without extension.
inline const QString SaveDefaultSuffix = QStringLiteral("hex");

/// The Open and Save commands of the main window, without the window: the hex view is reached
/// through the two hand-overs that the window passes in.
class FileCommands
{
public:
    /// Reloads the hex view with `count` bytes of the data buffer from index 0.
    using RefreshView = std::function<void(std::uint32_t count)>;
    /// Takes the hex view's edits into the data buffer if the view was modified.
    using TakeViewEdits = std::function<void()>;

    FileCommands(Reporter& reporter, DataBuffer& buffer, RefreshView refreshView, TakeViewEdits takeViewEdits);

    /// Open: asks for a file, fills the buffer with 0xFF, loads the file (the used length becomes
    /// the loaded count, 0 after a failure), shows chipSize bytes in the view and logs
    /// "Open" + the full path. A cancelled dialog changes nothing.
    void open(std::uint32_t chipSize);

    /// Save: asks for a file, takes the view's edits into the buffer and saves chipSize bytes of
    /// the buffer by the file's kind. A cancelled dialog changes nothing.
    void save(std::uint32_t chipSize);

private:
    Reporter& m_reporter;
    DataBuffer& m_buffer;
    RefreshView m_refreshView;
    TakeViewEdits m_takeViewEdits;
};

} // namespace kestrum
